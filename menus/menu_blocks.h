// The menu, tray and context-menu blocks of the wire: their grammar on the reader thread, and
// the parsers of the menu commands that stand alone.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "menus/menu_spec.h"
#include "wire/dispatcher.h"

// Submenus nest at most this deep. A SUB line below the deepest level opens nothing: the items
// up to its SUBEND join the submenu it stands in.
constexpr size_t kMaxMenuDepth = 32;

// Where finished blocks go, on the main thread.
struct MenuSinks {
  Handler<MenuBarReq> bar = nullptr;  // MENUEND
  Handler<TraySpec> tray = nullptr;   // TRAYEND
  Handler<CtxReq> ctx = nullptr;      // CTXEND
};

// The block state of one parser. The three kinds of block are independent but fill one item
// stack, which every BEGIN resets. Item lines outside every block, and an END line outside its
// own block, are ignored.
class MenuBlockReader final : public BlockDecoder {
 public:
  explicit MenuBlockReader(const MenuSinks& sinks) : sinks_(sinks) {}
  void decode(Verb verb, std::string_view line, size_t after) override;

 private:
  bool in_block() const { return in_menu_ || in_tray_ || in_ctx_; }
  void add(MenuItemSpec item) { lists_.back().push_back(std::move(item)); }
  void open_submenu(MenuItemSpec sub);
  void close_submenu();
  void close_submenus();
  // Closes the open submenus and takes the items collected since the last reset.
  std::vector<MenuItemSpec> take_items();
  // The items collected so far belong to the last menu; items before the first are dropped.
  void finish_menu();

  MenuSinks sinks_;
  bool in_menu_ = false;
  bool in_tray_ = false;
  bool in_ctx_ = false;
  std::string menu_win_;
  std::vector<MenuSpec> menus_;
  std::vector<std::vector<MenuItemSpec>> lists_{1};  // never empty; the bottom list is the menu
  std::vector<MenuItemSpec> open_subs_;              // one per list above the bottom one
  size_t overflow_ = 0;  // SUB lines below the deepest level still waiting for their SUBEND
  TraySpec tray_;
};

std::unique_ptr<BlockDecoder> make_block_reader(const MenuSinks& sinks);

// "ITEM id[\tlabel[\taccelerator[\tflags[\timage]]]]": the fields after the verb.
MenuItemSpec parse_item_fields(std::string_view fields);
// "SUB id[\tlabel[\timage]]".
MenuItemSpec parse_sub_fields(std::string_view fields);
// The fields of "TRAYBEGIN title\ticon\ttemplate\ttooltip\tprimary\tcolour\tfont".
TraySpec parse_tray_fields(std::string_view fields);

// The commands that stand alone, as family parsers of the route table.
std::unique_ptr<MenuBarReq> parse_menu_reset(std::string_view line, size_t after);
std::unique_ptr<MenuUpdReq> parse_menu_update(std::string_view line, size_t after);
std::unique_ptr<CtxReq> parse_ctx_clear(std::string_view line, size_t after);
std::unique_ptr<bool> parse_ctx_suppress(std::string_view line, size_t after);
std::unique_ptr<TraySpec> parse_tray_remove(std::string_view line, size_t after);
