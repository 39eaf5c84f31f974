// Menu bars on GTK: every window shows the bar of its own or the app bar in a GtkMenuBar above
// its page, and answers that bar's accelerators, also while the bar is hidden.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "menus/menu_spec.h"
#include "wire/main_queue.h"

typedef struct _GtkWindow GtkWindow;
typedef struct _WebKitWebView WebKitWebView;
class MenuState;

// The menus' state, shared by the bars, the tray and the context menu. Main thread.
MenuState& menu_state();

// Gives a window its menu bar and accelerators; once, when its body is built.
void kelo_attach_menu_bar(GtkWindow* window);
// A secondary window closes: its own bar goes with it.
void forget_window_menus(const std::string& id);

// MENUEND (the app bar or a window's bar) and MENURESET@.
void do_menu_bar(webview_t w, std::unique_ptr<MenuBarReq> req);
// MENUUPD and MENUUPD@.
void do_menu_update(webview_t w, std::unique_ptr<MenuUpdReq> req);

// Runs a stock role ("copy", "undo"...) in a web view.
void run_editing_command(WebKitWebView* view, std::string_view role);

// The app became a regular one while a menu refresh was pending. Every window already shows
// its bar here, so only the pending flag is cleared.
void refresh_menu_bar();

// The answers of "item:" and "item@" queries; nothing for other keys.
std::optional<std::string> menu_answer(std::string_view key);
