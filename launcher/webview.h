// The launcher's small web-view library: one top-level window holding one web view, on GTK 3
// and WebKitGTK.
#pragma once

#include "wire/main_queue.h"

typedef struct _GtkWindow GtkWindow;
typedef struct _WebKitWebView WebKitWebView;

enum webview_hint { WEBVIEW_HINT_NONE = 0 };

enum webview_native_handle_kind {
  WEBVIEW_NATIVE_HANDLE_KIND_UI_WINDOW = 0,
  WEBVIEW_NATIVE_HANDLE_KIND_BROWSER_CONTROLLER = 1,
};

// The window class of windows created from now on: "" for a normal window, "KeloPanel" for a
// panel (a utility window that does not take focus when shown, but does on click).
void webview_set_window_class(const char* name);

// Creates the window and its web view; developer extras when debug is set. The caller shows the
// window once it has its title and size (kelo_show_window), so it never appears half set up.
webview_t webview_create(bool debug, void* parent);
void webview_destroy(webview_t w);
void webview_set_title(webview_t w, const char* title);
// Sets the size of the web view's area; the window keeps its top-left corner.
void webview_set_size(webview_t w, int width, int height, webview_hint hint);
void webview_navigate(webview_t w, const char* url);
void webview_set_html(webview_t w, const char* html);
void* webview_get_native_handle(webview_t w, webview_native_handle_kind kind);

GtkWindow* webview_window(webview_t w);
WebKitWebView* webview_web_view(webview_t w);

// Shows and raises a window unless showing is suppressed at start (g_suppress_order_front).
void kelo_show_window(GtkWindow* window);
