// Window chrome on GTK/X11, and the body every launcher window is built with.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "windows/chrome.h"
#include "windows/screens.h"
#include "wire/main_queue.h"

typedef struct _GtkWindow GtkWindow;
typedef struct _GtkWidget GtkWidget;
typedef struct _WebKitWebView WebKitWebView;

// Puts the web view into the window, under a layer holding the launcher's own window buttons
// (shown while the title bar is hidden) and below the window's menu bar, and prepares the
// window for transparency.
void kelo_build_window_body(GtkWindow* window, WebKitWebView* view);

// Puts a widget above the page (the menu bar), replacing the one there; null removes it. It
// shows while the window has a standard title bar and is not a panel. The page keeps its size
// when it comes and goes: the window grows and shrinks around it.
void kelo_set_window_top(GtkWindow* window, GtkWidget* top);
// The height of what the window shows above its page; 0 when nothing.
int kelo_page_top(GtkWindow* window);
// Sets the size of a window's page; the window is that and what it shows above the page.
void kelo_set_content_size(GtkWindow* window, int width, int height);

// Applies the non-empty fields of a request to a window.
void apply_chrome_fields(GtkWindow* window, WebKitWebView* view, const ChromeReq& req);

void do_chrome(webview_t w, std::unique_ptr<ChromeReq> req);

ChromeFacts window_chrome_facts(GtkWindow* window, WebKitWebView* view);

// The launcher's own close button in the window's coordinates, while it shows.
std::optional<Rect> own_close_button(GtkWindow* window);
