#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <string>

#include "launcher/app_state.h"
#include "launcher/webview.h"
#include "platform/window_gtk.h"
#include "windows/chrome_gtk.h"
#include "windows/registry.h"

struct kelo_webview {
  GtkWidget* window = nullptr;  // owned by GTK's toplevel list until destroyed
  WebKitWebView* view = nullptr;
};

namespace {
std::string g_window_class;
}

void webview_set_window_class(const char* name) {
  g_window_class = name ? name : "";
}

void kelo_show_window(GtkWindow* window) {
  if (g_suppress_order_front) return;
  gtk_window_present(window);
}

webview_t webview_create(bool debug, void* parent) {
  auto* w = new kelo_webview;
  w->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  if (!w->window) {
    delete w;
    return nullptr;
  }
  if (parent) gtk_window_set_transient_for(GTK_WINDOW(w->window), GTK_WINDOW(parent));
  if (g_window_class == "KeloPanel") make_panel(GTK_WINDOW(w->window));
  w->view = WEBKIT_WEB_VIEW(webkit_web_view_new());
  webkit_settings_set_enable_developer_extras(webkit_web_view_get_settings(w->view), debug);
  kelo_build_window_body(GTK_WINDOW(w->window), w->view);
  kelo_set_content_size(GTK_WINDOW(w->window), 800, 600);
  gtk_widget_grab_focus(GTK_WIDGET(w->view));
  return w;
}

void webview_destroy(webview_t w) {
  if (!w) return;
  if (w->window) gtk_widget_destroy(w->window);
  delete w;
}

void webview_set_title(webview_t w, const char* title) {
  kelo_set_window_title(GTK_WINDOW(w->window), title);
}

void webview_set_size(webview_t w, int width, int height, webview_hint) {
  if (width <= 0 || height <= 0) return;
  // The window's content is the page's area.
  kelo_set_content_size(GTK_WINDOW(w->window), width, height);
}

void webview_navigate(webview_t w, const char* url) {
  webkit_web_view_load_uri(w->view, url);
}

void webview_set_html(webview_t w, const char* html) {
  webkit_web_view_load_html(w->view, html, nullptr);
}

void* webview_get_native_handle(webview_t w, webview_native_handle_kind kind) {
  return kind == WEBVIEW_NATIVE_HANDLE_KIND_UI_WINDOW ? static_cast<void*>(w->window)
                                                      : static_cast<void*>(w->view);
}

GtkWindow* webview_window(webview_t w) {
  return w ? GTK_WINDOW(w->window) : nullptr;
}
WebKitWebView* webview_web_view(webview_t w) {
  return w ? w->view : nullptr;
}
