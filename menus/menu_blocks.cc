#include "menus/menu_blocks.h"

#include <utility>

#include "wire/text.h"

namespace {

// The field at index i, or "" past the end.
std::string field(const std::vector<std::string>& f, size_t i) {
  return i < f.size() ? f[i] : std::string();
}

// The label defaults to the id.
std::string label_or_id(const std::vector<std::string>& f) {
  std::string label = field(f, 1);
  return label.empty() ? field(f, 0) : label;
}

template <class R>
void send(Handler<R> fn, std::unique_ptr<R> rec) {
  if (fn) launcher_dispatch(fn, std::move(rec));
}

}  // namespace

std::unique_ptr<BlockDecoder> make_block_reader(const MenuSinks& sinks) {
  return std::make_unique<MenuBlockReader>(sinks);
}

MenuItemSpec parse_item_fields(std::string_view fields) {
  std::vector<std::string> f = split_tabs(fields);
  MenuItemSpec item;
  item.id = field(f, 0);
  item.label = label_or_id(f);
  item.accelerator = field(f, 2);
  std::string flags = field(f, 3);
  item.checked = flags.find('c') != std::string::npos;
  item.disabled = flags.find('d') != std::string::npos;
  item.image = field(f, 4);
  return item;
}

MenuItemSpec parse_sub_fields(std::string_view fields) {
  std::vector<std::string> f = split_tabs(fields);
  MenuItemSpec sub;
  sub.id = field(f, 0);
  sub.label = label_or_id(f);
  sub.image = field(f, 2);
  return sub;
}

TraySpec parse_tray_fields(std::string_view fields) {
  std::vector<std::string> f = split_tabs(fields);
  TraySpec spec;
  spec.title = field(f, 0);
  spec.icon = field(f, 1);
  spec.template_icon = field(f, 2) != "0";
  spec.tooltip = field(f, 3);
  spec.primary_action = field(f, 4) == "1";
  spec.title_colour = field(f, 5);
  spec.title_font = field(f, 6);
  return spec;
}

void MenuBlockReader::open_submenu(MenuItemSpec sub) {
  if (open_subs_.size() >= kMaxMenuDepth) {
    ++overflow_;
    return;
  }
  open_subs_.push_back(std::move(sub));
  lists_.emplace_back();
}

void MenuBlockReader::close_submenu() {
  if (overflow_ > 0) {
    --overflow_;
    return;
  }
  if (open_subs_.empty()) return;
  MenuItemSpec sub = std::move(open_subs_.back());
  open_subs_.pop_back();
  sub.submenu = std::move(lists_.back());
  lists_.pop_back();
  add(std::move(sub));
}

void MenuBlockReader::close_submenus() {
  overflow_ = 0;
  while (!open_subs_.empty())
    close_submenu();
}

std::vector<MenuItemSpec> MenuBlockReader::take_items() {
  close_submenus();
  return std::exchange(lists_.back(), {});
}

void MenuBlockReader::finish_menu() {
  std::vector<MenuItemSpec> items = take_items();
  if (!menus_.empty()) menus_.back().items = std::move(items);
}

void MenuBlockReader::decode(Verb verb, std::string_view line, size_t after) {
  std::string_view rest = line.substr(after);
  switch (verb) {
    case Verb::MenuBegin:
    case Verb::MenuBeginAt:
      menu_win_ = rest;
      menus_.clear();
      take_items();
      in_menu_ = true;
      break;
    case Verb::Menu:
    case Verb::MenuRole:
      if (!in_menu_) break;
      finish_menu();
      if (verb == Verb::Menu) {
        menus_.push_back(MenuSpec{std::string(rest), {}, "", false});
      } else {
        std::vector<std::string> f = split_tabs(rest);
        menus_.push_back(MenuSpec{"", {}, f[0], field(f, 1) == "nostd"});
      }
      break;
    case Verb::MenuEnd:
      if (!in_menu_) break;
      finish_menu();
      in_menu_ = false;
      send(sinks_.bar,
           std::make_unique<MenuBarReq>(MenuBarReq{menu_win_, false, std::move(menus_)}));
      menus_.clear();
      break;
    case Verb::TrayBegin:
      tray_ = parse_tray_fields(rest.empty() ? rest : rest.substr(1));
      take_items();
      in_tray_ = true;
      break;
    case Verb::TrayEnd:
      if (!in_tray_) break;
      in_tray_ = false;
      tray_.items = take_items();
      send(sinks_.tray, std::make_unique<TraySpec>(std::exchange(tray_, {})));
      break;
    case Verb::CtxBegin:
      take_items();
      in_ctx_ = true;
      break;
    case Verb::CtxEnd:
      if (!in_ctx_) break;
      in_ctx_ = false;
      send(sinks_.ctx, std::make_unique<CtxReq>(CtxReq{take_items(), true}));
      break;
    case Verb::Item:
      if (in_block()) add(parse_item_fields(rest));
      break;
    case Verb::RoleItem:
      if (in_block()) {
        MenuItemSpec stock;
        stock.role = rest;
        add(std::move(stock));
      }
      break;
    case Verb::Sep:
      if (in_block()) {
        MenuItemSpec sep;
        sep.separator = true;
        add(std::move(sep));
      }
      break;
    case Verb::Sub:
      if (in_block()) open_submenu(parse_sub_fields(rest));
      break;
    case Verb::SubEnd:
      if (in_block()) close_submenu();
      break;
    default:
      break;
  }
}

std::unique_ptr<MenuBarReq> parse_menu_reset(std::string_view line, size_t after) {
  return std::make_unique<MenuBarReq>(MenuBarReq{std::string(line.substr(after)), true, {}});
}

// "MENUUPD id\tlabel\tchecked\tenabled", or "MENUUPD@win " and the same fields.
std::unique_ptr<MenuUpdReq> parse_menu_update(std::string_view line, size_t after) {
  auto req = std::make_unique<MenuUpdReq>();
  std::string_view rest = line.substr(after + 1);
  if (line[after] == '@') {
    std::string_view win;
    if (!take_token(rest, win)) return nullptr;
    req->win = win;
  }
  std::vector<std::string> f = split_tabs(rest);
  req->id = f[0];
  req->label = field(f, 1);
  req->checked = field(f, 2);
  req->enabled = field(f, 3);
  return req;
}

std::unique_ptr<CtxReq> parse_ctx_clear(std::string_view, size_t) {
  return std::make_unique<CtxReq>();
}

std::unique_ptr<bool> parse_ctx_suppress(std::string_view line, size_t after) {
  return std::make_unique<bool>(line.substr(after) == "1");
}

std::unique_ptr<TraySpec> parse_tray_remove(std::string_view, size_t) {
  auto spec = std::make_unique<TraySpec>();
  spec->remove = true;
  return spec;
}
