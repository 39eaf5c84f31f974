// Window chrome on GTK/X11, and the body every launcher window is built with.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "windows/chrome.h"
#include "windows/screens.h"
#include "wire/main_queue.h"

typedef struct _GtkWindow GtkWindow;
typedef struct _WebKitWebView WebKitWebView;

// Puts the web view into the window, under a layer holding the launcher's own window buttons
// (shown while the title bar is hidden), and prepares the window for transparency.
void kelo_build_window_body(GtkWindow* window, WebKitWebView* view);

// Applies the non-empty fields of a request to a window.
void apply_chrome_fields(GtkWindow* window, WebKitWebView* view, const ChromeReq& req);

void do_chrome(webview_t w, std::unique_ptr<ChromeReq> req);

ChromeFacts window_chrome_facts(GtkWindow* window, WebKitWebView* view);

// The launcher's own close button in the window's coordinates, while it shows.
std::optional<Rect> own_close_button(GtkWindow* window);
