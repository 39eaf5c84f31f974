// The tray item: a StatusNotifierItem of the launcher's own on the session bus, with its menu
// exported through dbusmenu. Without a watcher on the bus the item waits and registers as soon
// as one appears; its state is kept and reported either way.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "menus/menu_spec.h"
#include "wire/main_queue.h"

// TRAYEND and TRAYREMOVE.
void do_tray(webview_t w, std::unique_ptr<TraySpec> spec);
// MENUUPD changed these items; those of the tray menu follow.
void tray_items_changed(const std::vector<const MenuItemSpec*>& items);

// "traypos": where the desktop last said the item was clicked, as a rectangle, or null.
std::string tray_pos_json();
// "debug:tray".
std::string tray_debug();
