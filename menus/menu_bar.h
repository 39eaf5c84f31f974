// The layout of a menu bar: the backend's menus inside the launcher's own (application menu,
// Edit, Develop, Help), and the accelerators of its items.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "menus/menu_spec.h"

struct BarOptions {
  std::string app_name;    // in "About ", "Quit " and " Help"
  bool debug = false;      // a Develop menu with the web inspector
  bool help_book = false;  // the package names a help book
};

// The launcher's own entries carry one of these roles; every item without a role is the
// backend's and reports "MENU " + id.
namespace roles {
inline constexpr std::string_view kAbout = "about";
inline constexpr std::string_view kQuit = "quit";
inline constexpr std::string_view kInspector = "inspector";
inline constexpr std::string_view kHelp = "help";
}  // namespace roles

// The entries of a stock role: "undo", "redo", "cut", "copy", "paste", "selectAll", and
// "standard" for all six with a separator after redo. Unknown roles give nothing.
std::vector<MenuItemSpec> stock_items(std::string_view role);

// The items with every role entry replaced by its stock entries, in submenus too; in the tray
// (keep_roles false) role entries are dropped instead.
std::vector<MenuItemSpec> expand_roles(const std::vector<MenuItemSpec>& items, bool keep_roles);

// The bar shown for a list of backend menus: the application menu first (titled with the app
// name), the Edit menu, the backend's menus without a role, Develop in debug mode, and Help.
// Role menus other than "edit" contribute only where the layout puts them.
std::vector<MenuSpec> build_bar(const std::vector<MenuSpec>& menus, const BarOptions& options);

// Modifier bits in the platform of record's values, as accelerator texts name them.
enum : uint32_t {
  kModCommand = 0x100000,
  kModOption = 0x80000,
  kModControl = 0x40000,
  kModShift = 0x20000,
};

struct SplitAccel {
  uint32_t mask = kModCommand;
  std::string key;
};

// "cmd+shift+s" -> Command+Shift and key "s". Words before a "+" add modifiers until one is
// not a modifier word; the key keeps its case; Command is always part of it.
SplitAccel split_accel(std::string_view text);

// An accelerator as this desktop presses it: Command and Control are Control, Option is Alt,
// and an upper-case letter key is that letter with Shift.
enum : uint8_t { kKeyCtrl = 1, kKeyAlt = 2, kKeyShift = 4 };
struct Accel {
  std::string key;  // as written, letters in lower case; empty: no accelerator
  uint8_t mods = 0;
  bool operator==(const Accel&) const = default;
};
Accel desktop_accel(std::string_view text);

struct AccelBinding {
  Accel accel;
  const MenuItemSpec* item;
};

// The key bindings of a laid-out bar, one per distinct accelerator: the backend's items win
// over the launcher's own entries, and otherwise the first item in menu order wins.
// Separators and items that open submenus have none.
std::vector<AccelBinding> bar_accelerators(const std::vector<MenuSpec>& layout);
