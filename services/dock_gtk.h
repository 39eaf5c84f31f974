// BADGE, PROGRESS, ATTENTION and APPICON: the window icon of every app window drawn as the
// app's tile, the urgency hint, and the launcher entry on the session bus.
#pragma once

#include <memory>
#include <string>

#include "wire/main_queue.h"

typedef struct _GtkWindow GtkWindow;

void do_badge(webview_t w, std::unique_ptr<std::string> text);
void do_progress(webview_t w, std::unique_ptr<double> progress);
void do_attention(webview_t w, std::unique_ptr<int> level);
void do_appicon(webview_t w, std::unique_ptr<std::string> path);

// Start-up: the KELOJS_ICON image becomes the default icon (and the custom one while none is
// set); the main window, when there is one, shows it.
void apply_dev_icon(GtkWindow* main_window);
// A new app window shows the app's current icon and takes part in attention requests.
void dock_adopt_window(GtkWindow* window);

// The "debug:icon" record.
std::string dock_icon_debug_json();
