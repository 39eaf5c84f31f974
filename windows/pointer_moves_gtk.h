// Window moves and resizes driven by the pointer: DRAGWIN, RESIZEWIN, and the press cache
// they start from.
#pragma once

#include <memory>
#include <string>

#include "windows/winop.h"
#include "wire/main_queue.h"

typedef struct _GtkWindow GtkWindow;
typedef union _GdkEvent GdkEvent;

// Remembers the app's last left-button press until its release (installed once at start-up).
void install_mouse_down_cache();
// A copy of the press of the drag in progress in the window (free it with gdk_event_free),
// or null when the left button is not held after a press there.
GdkEvent* kelo_live_press(GtkWindow* window);

void do_dragwin(webview_t w, std::unique_ptr<std::string> id);
void do_resizewin(webview_t w, std::unique_ptr<ResizeReq> req);
