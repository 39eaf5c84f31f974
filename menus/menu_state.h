// What the launcher's menus hold between commands: the app bar, the windows' own bars, the tray
// menu and the context-menu model, with the registries that find their items by id.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "menus/menu_bar.h"
#include "menus/menu_spec.h"

// A built bar. Registry entries point into the layout and live until the next build.
struct Bar {
  std::vector<MenuSpec> menus;                    // as last received
  std::vector<MenuSpec> layout;                   // what build_bar made of them
  std::map<std::string, MenuItemSpec*> registry;  // backend items by id; the last built wins
  unsigned generation = 0;                        // 0: never built; new with every build
};

// Main thread only.
class MenuState {
 public:
  BarOptions options;  // set before the first bar is built

  // The app bar, shown by every window without a bar of its own; the default bar (an empty
  // list) until the first block.
  const Bar& app_bar();
  void apply_menus(std::vector<MenuSpec> menus);
  void set_window_menus(const std::string& win, std::vector<MenuSpec> menus);
  // False when the window had no bar of its own.
  bool drop_window_menus(const std::string& win);
  // The bar a window shows: its own, else the app bar.
  const Bar& bar_for(const std::string& win);

  // The tray menu, without role entries.
  void set_tray_items(std::vector<MenuItemSpec> items);
  const std::vector<MenuItemSpec>& tray_items() const { return tray_; }

  void set_ctx(std::vector<MenuItemSpec> items, bool active);
  void set_ctx_suppressed(bool on) { ctx_suppressed_ = on; }
  const std::vector<MenuItemSpec>& ctx_items() const { return ctx_; }
  bool ctx_active() const { return ctx_active_; }
  bool ctx_suppressed() const { return ctx_suppressed_; }

  // MENUUPD: changes the items under the id in the bars the window id names (every bar and
  // the tray for ""), then the first such item of the context-menu model. Returns the bar and
  // tray items it changed, so that what shows them can follow.
  std::vector<const MenuItemSpec*> update(const MenuUpdReq& req);

  // The answer to "item:<id>" (win_scoped false: every bar, then the tray) and to
  // "item@<win>:<id>" (win_scoped: the bar that window shows), then the context-menu model:
  // {"exists":true,"label":..,"checked":..,"enabled":..} or {"exists":false}.
  std::string item_json(std::string_view rest, bool win_scoped);

 private:
  void build(Bar& bar);
  // The registries a lookup by id searches for a window id.
  using Registry = std::map<std::string, MenuItemSpec*>;
  std::vector<const Registry*> registries(const std::string& win);
  MenuItemSpec* find_ctx(const std::string& id);

  Bar app_;
  std::map<std::string, Bar> windows_;
  std::vector<MenuItemSpec> tray_;
  Registry tray_registry_;
  std::vector<MenuItemSpec> ctx_;
  bool ctx_active_ = false;
  bool ctx_suppressed_ = false;
  unsigned next_generation_ = 1;
};
