#include "services/window_handle_x11.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstdio>

#include "launcher/webview.h"

std::string main_window_handle(webview_t w) {
  GtkWindow* window = w ? webview_window(w) : nullptr;
  GdkWindow* gdk_window = window ? gtk_widget_get_window(GTK_WIDGET(window)) : nullptr;
  if (!gdk_window || !GDK_IS_X11_WINDOW(gdk_window)) return {};
  char handle[32];
  std::snprintf(handle, sizeof handle, "x11:%lx", gdk_x11_window_get_xid(gdk_window));
  return handle;
}
