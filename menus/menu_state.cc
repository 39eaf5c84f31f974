#include "menus/menu_state.h"

#include "wire/text.h"

namespace {

// Backend items by id, a submenu's items before the item that opens it, so that the last
// built item of an id wins.
void register_items(std::vector<MenuItemSpec>& items, std::map<std::string, MenuItemSpec*>& reg) {
  for (MenuItemSpec& item : items) {
    if (item.separator || !item.role.empty()) continue;
    register_items(item.submenu, reg);
    if (!item.id.empty()) reg[item.id] = &item;
  }
}

// Depth first, an item before its submenu.
MenuItemSpec* find_item(std::vector<MenuItemSpec>& items, const std::string& id) {
  for (MenuItemSpec& item : items) {
    if (item.separator || !item.role.empty()) continue;
    if (item.id == id) return &item;
    if (MenuItemSpec* inner = find_item(item.submenu, id)) return inner;
  }
  return nullptr;
}

std::string item_record(const MenuItemSpec* item) {
  if (!item) return "{\"exists\":false}";
  std::string out = "{\"exists\":true,\"label\":";
  json_escape_to(out, item->label);
  out += item->checked ? ",\"checked\":true" : ",\"checked\":false";
  out += item->disabled ? ",\"enabled\":false}" : ",\"enabled\":true}";
  return out;
}

}  // namespace

void MenuState::build(Bar& bar) {
  bar.layout = build_bar(bar.menus, options);
  bar.registry.clear();
  for (MenuSpec& menu : bar.layout)
    register_items(menu.items, bar.registry);
  bar.generation = next_generation_++;
}

const Bar& MenuState::app_bar() {
  if (app_.generation == 0) build(app_);
  return app_;
}

void MenuState::apply_menus(std::vector<MenuSpec> menus) {
  app_.menus = std::move(menus);
  build(app_);
}

void MenuState::set_window_menus(const std::string& win, std::vector<MenuSpec> menus) {
  Bar& bar = windows_[win];
  bar.menus = std::move(menus);
  build(bar);
}

bool MenuState::drop_window_menus(const std::string& win) {
  return windows_.erase(win) > 0;
}

const Bar& MenuState::bar_for(const std::string& win) {
  auto it = windows_.find(win);
  return it != windows_.end() ? it->second : app_bar();
}

void MenuState::set_tray_items(std::vector<MenuItemSpec> items) {
  tray_ = expand_roles(items, false);
  tray_registry_.clear();
  register_items(tray_, tray_registry_);
}

void MenuState::set_ctx(std::vector<MenuItemSpec> items, bool active) {
  ctx_ = std::move(items);
  ctx_active_ = active;
}

std::vector<const MenuState::Registry*> MenuState::registries(const std::string& win) {
  if (!win.empty()) return {&bar_for(win).registry};
  std::vector<const Registry*> out{&app_bar().registry};
  for (auto& [id, bar] : windows_)
    out.push_back(&bar.registry);
  return out;
}

MenuItemSpec* MenuState::find_ctx(const std::string& id) {
  return find_item(ctx_, id);
}

std::vector<const MenuItemSpec*> MenuState::update(const MenuUpdReq& req) {
  std::vector<const Registry*> regs = registries(req.win);
  if (req.win.empty()) regs.push_back(&tray_registry_);
  std::vector<const MenuItemSpec*> changed;
  for (const Registry* reg : regs) {
    auto it = reg->find(req.id);
    if (it == reg->end()) continue;
    MenuItemSpec& item = *it->second;
    if (!req.label.empty()) item.label = req.label;
    if (!req.checked.empty()) item.checked = req.checked == "1";
    if (!req.enabled.empty()) item.disabled = req.enabled != "1";
    changed.push_back(&item);
  }
  // The context-menu model disables only on "0".
  if (MenuItemSpec* item = find_ctx(req.id)) {
    if (!req.label.empty()) item->label = req.label;
    if (!req.checked.empty()) item->checked = req.checked == "1";
    if (!req.enabled.empty()) item->disabled = req.enabled == "0";
  }
  return changed;
}

std::string MenuState::item_json(std::string_view rest, bool win_scoped) {
  std::string win, id(rest);
  if (win_scoped) {
    size_t colon = rest.find(':');
    win = rest.substr(0, colon);
    id = colon == std::string_view::npos ? "" : std::string(rest.substr(colon + 1));
  }
  std::vector<const Registry*> regs{&bar_for(win).registry};
  if (!win_scoped) {
    regs = registries("");
    regs.push_back(&tray_registry_);
  }
  for (const Registry* reg : regs) {
    auto it = reg->find(id);
    if (it != reg->end()) return item_record(it->second);
  }
  return item_record(find_ctx(id));
}
