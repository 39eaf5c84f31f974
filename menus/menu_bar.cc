#include "menus/menu_bar.h"

#include <algorithm>
#include <set>
#include <utility>

#include "wire/text.h"

namespace {

MenuItemSpec entry(std::string_view role, std::string label, std::string accelerator) {
  MenuItemSpec item;
  item.role = role;
  item.label = std::move(label);
  item.accelerator = std::move(accelerator);
  return item;
}

MenuItemSpec separator() {
  MenuItemSpec item;
  item.separator = true;
  return item;
}

const MenuSpec* first_with_role(const std::vector<MenuSpec>& menus, std::string_view role) {
  auto it =
      std::find_if(menus.begin(), menus.end(), [&](const MenuSpec& m) { return m.role == role; });
  return it == menus.end() ? nullptr : &*it;
}

void append(std::vector<MenuItemSpec>& to, std::vector<MenuItemSpec> items) {
  std::move(items.begin(), items.end(), std::back_inserter(to));
}

MenuSpec app_menu(const std::vector<MenuSpec>& menus, const BarOptions& o) {
  MenuSpec menu{o.app_name, {}, "app", false};
  menu.items.push_back(entry(roles::kAbout, "About " + o.app_name, ""));
  menu.items.push_back(separator());
  const MenuSpec* app = first_with_role(menus, "app");
  if (app && !app->items.empty()) {
    append(menu.items, expand_roles(app->items, true));
    menu.items.push_back(separator());
  }
  menu.items.push_back(entry(roles::kQuit, "Quit " + o.app_name, "cmd+q"));
  return menu;
}

// The Edit menu: the standard editing block unless the backend's Edit menu places stock entries
// itself or asks for none, then the backend's items. Empty: no Edit menu.
std::vector<MenuItemSpec> edit_items(const MenuSpec* edit) {
  std::vector<MenuItemSpec> items;
  bool has_role = edit && std::any_of(edit->items.begin(), edit->items.end(),
                                      [](const MenuItemSpec& i) { return !i.role.empty(); });
  if (!has_role && !(edit && edit->nostd)) {
    items = stock_items("standard");
    if (edit && !edit->items.empty()) items.push_back(separator());
  }
  if (edit) append(items, expand_roles(edit->items, true));
  return items;
}

void add_edit_menu(std::vector<MenuSpec>& bar, const MenuSpec* edit) {
  std::vector<MenuItemSpec> items = edit_items(edit);
  if (!items.empty()) bar.push_back(MenuSpec{"Edit", std::move(items), "edit", false});
}

void add_help_menu(std::vector<MenuSpec>& bar, const std::vector<MenuSpec>& menus,
                   const BarOptions& o) {
  const MenuSpec* help = first_with_role(menus, "help");
  bool book = o.help_book && !(help && help->nostd);
  bool own_items = help && !help->items.empty();
  if (!book && !own_items) return;
  MenuSpec menu{"Help", {}, "help", false};
  if (book) {
    menu.items.push_back(entry(roles::kHelp, o.app_name + " Help", "cmd+?"));
    if (own_items) menu.items.push_back(separator());
  }
  if (own_items) append(menu.items, expand_roles(help->items, true));
  bar.push_back(std::move(menu));
}

void collect_bindings(const std::vector<MenuItemSpec>& items, std::vector<AccelBinding>& mine,
                      std::vector<AccelBinding>& stock) {
  for (const MenuItemSpec& item : items) {
    if (item.separator) continue;
    if (!item.submenu.empty()) {
      collect_bindings(item.submenu, mine, stock);
      continue;
    }
    Accel accel = desktop_accel(item.accelerator);
    if (accel.key.empty()) continue;
    (item.role.empty() ? mine : stock).push_back(AccelBinding{accel, &item});
  }
}

}  // namespace

std::vector<MenuItemSpec> stock_items(std::string_view role) {
  struct Stock {
    std::string_view role, label, accelerator;
  };
  static constexpr Stock kStock[] = {
      {"undo", "Undo", "cmd+z"}, {"redo", "Redo", "cmd+Z"},   {"cut", "Cut", "cmd+x"},
      {"copy", "Copy", "cmd+c"}, {"paste", "Paste", "cmd+v"}, {"selectAll", "Select All", "cmd+a"},
  };
  std::vector<MenuItemSpec> items;
  for (const Stock& s : kStock) {
    if (role == "standard" || role == s.role) {
      items.push_back(entry(s.role, std::string(s.label), std::string(s.accelerator)));
    }
    if (role == "standard" && s.role == "redo") items.push_back(separator());
  }
  return items;
}

std::vector<MenuItemSpec> expand_roles(const std::vector<MenuItemSpec>& items, bool keep_roles) {
  std::vector<MenuItemSpec> out;
  out.reserve(items.size());
  for (const MenuItemSpec& item : items) {
    if (!item.role.empty()) {
      if (keep_roles) append(out, stock_items(item.role));
      continue;
    }
    MenuItemSpec copy = item;
    if (!copy.submenu.empty()) copy.submenu = expand_roles(item.submenu, keep_roles);
    out.push_back(std::move(copy));
  }
  return out;
}

std::vector<MenuSpec> build_bar(const std::vector<MenuSpec>& menus, const BarOptions& options) {
  std::vector<MenuSpec> bar;
  bar.push_back(app_menu(menus, options));
  const MenuSpec* edit = first_with_role(menus, "edit");
  if (!edit) add_edit_menu(bar, nullptr);
  for (const MenuSpec& m : menus) {
    if (m.role.empty()) {
      bar.push_back(MenuSpec{m.title, expand_roles(m.items, true), "", false});
    } else if (&m == edit) {
      add_edit_menu(bar, edit);
    }
  }
  if (options.debug) {
    bar.push_back(MenuSpec{"Develop",
                           {entry(roles::kInspector, "Show Web Inspector", "cmd+alt+i")},
                           "develop",
                           false});
  }
  add_help_menu(bar, menus, options);
  return bar;
}

SplitAccel split_accel(std::string_view text) {
  SplitAccel out;
  for (;;) {
    size_t plus = text.find('+');
    if (plus == std::string_view::npos || plus == 0) break;
    std::string word = ascii_lower(text.substr(0, plus));
    if (word == "alt" || word == "opt" || word == "option") {
      out.mask |= kModOption;
    } else if (word == "ctrl" || word == "control") {
      out.mask |= kModControl;
    } else if (word == "shift") {
      out.mask |= kModShift;
    } else if (word != "cmd" && word != "command" && word != "meta" && word != "super") {
      break;
    }
    text.remove_prefix(plus + 1);
  }
  out.key = text;
  return out;
}

Accel desktop_accel(std::string_view text) {
  Accel accel;
  if (text.empty()) return accel;
  SplitAccel split = split_accel(text);
  accel.key = split.key;
  accel.mods = kKeyCtrl;  // Command, and Control as well
  if (split.mask & kModOption) accel.mods |= kKeyAlt;
  if (split.mask & kModShift) accel.mods |= kKeyShift;
  if (accel.key.size() == 1 && accel.key[0] >= 'A' && accel.key[0] <= 'Z') {
    accel.key[0] = static_cast<char>(accel.key[0] - 'A' + 'a');
    accel.mods |= kKeyShift;
  }
  return accel;
}

std::vector<AccelBinding> bar_accelerators(const std::vector<MenuSpec>& layout) {
  std::vector<AccelBinding> mine, stock;
  for (const MenuSpec& menu : layout)
    collect_bindings(menu.items, mine, stock);
  std::vector<AccelBinding> out;
  std::set<std::pair<std::string, uint8_t>> taken;
  for (const auto* list : {&mine, &stock}) {
    for (const AccelBinding& b : *list) {
      if (taken.emplace(b.accel.key, b.accel.mods).second) out.push_back(b);
    }
  }
  return out;
}
