// The records of menus, the tray and the context menu, as the backend describes them in its
// blocks and as the main thread receives them.
#pragma once

#include <string>
#include <vector>

// One item of a menu bar, the tray menu or the context menu.
struct MenuItemSpec {
  std::string id;           // reported when the item is chosen; may be empty
  std::string label;        // the title shown
  std::string accelerator;  // "cmd+shift+s" and the like (split_accel); empty: none
  std::string image;        // "sf:name", "emoji:text" or a file path; empty: none
  bool separator = false;   // a separator line; the other fields do not count
  bool checked = false;
  bool disabled = false;
  std::vector<MenuItemSpec> submenu;  // non-empty: the item opens a submenu
  std::string role;  // non-empty: a stock entry ("copy", "standard"...); the rest does not count
};

// One top-level menu of a bar.
struct MenuSpec {
  std::string title;
  std::vector<MenuItemSpec> items;
  std::string role;  // "", "app", "edit", "help" or any other word
  bool nostd = false;
};

// The tray item.
struct TraySpec {
  std::string title;
  std::string icon;  // "sf:name" or an image file; empty: no image
  std::string tooltip;
  std::string title_colour;  // "#RRGGBB[AA]", optionally ",#RRGGBB[AA]" for dark
  std::string title_font;    // "monospacedDigit", "monospaced", else the standard font
  bool template_icon = true;
  bool primary_action = false;  // a left click is reported instead of opening the menu
  std::vector<MenuItemSpec> items;
  bool remove = false;  // this description removes the tray item
};

// A menu block's end or MENURESET@: the menus of the app bar (win empty) or of one window.
struct MenuBarReq {
  std::string win;
  bool reset = false;  // MENURESET@: the window's own bar is dropped
  std::vector<MenuSpec> menus;
};

// CTXEND (active) and CTXCLEAR (not active, no items).
struct CtxReq {
  std::vector<MenuItemSpec> items;
  bool active = false;
};

// MENUUPD: empty fields leave that property as it is.
struct MenuUpdReq {
  std::string win;  // "": every bar, the tray and the context menu
  std::string id;
  std::string label;
  std::string checked;  // "1" checks, anything else unchecks
  std::string enabled;  // "1" enables, anything else disables
};
