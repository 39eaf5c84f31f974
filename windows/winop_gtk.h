// The WINOP handler, and the window settings it keeps that the window system cannot report.
#pragma once

#include <memory>

#include "windows/winop.h"
#include "wire/main_queue.h"

typedef struct _GtkWindow GtkWindow;

void do_winop(webview_t w, std::unique_ptr<WinopReq> req);

// The level set by "ontop" or "level" (0 until then).
int window_level(GtkWindow* window);
// Set by "clickthrough 1".
bool window_click_through(GtkWindow* window);
// The minimum content size set by "minsize" (0 x 0 until then).
Size window_min_size(GtkWindow* window);
// Click-through windows and windows off the normal and floating levels.
bool is_overlay_window(GtkWindow* window);
