#include "platform/window_gtk.h"

#include <gtk/gtk.h>

#include "platform/gobj.h"

namespace {

void center_mapped(GtkWindow* window) {
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  GdkRectangle frame;
  gdk_window_get_frame_extents(gdk_window, &frame);
  GdkMonitor* monitor =
      gdk_display_get_monitor_at_window(gdk_window_get_display(gdk_window), gdk_window);
  GdkRectangle area;
  gdk_monitor_get_workarea(monitor, &area);
  // With the default north-west gravity the position names the frame's top-left corner.
  gtk_window_move(window, area.x + (area.width - frame.width) / 2,
                  area.y + (area.height - frame.height) / 2);
}

gboolean center_on_map(GtkWidget* widget, GdkEvent*, gpointer) {
  g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(center_on_map), nullptr);
  center_mapped(GTK_WINDOW(widget));
  return FALSE;
}

// The work area of the window's monitor (the primary one before the window is shown).
bool window_workarea(GtkWindow* window, GdkRectangle& area) {
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window));
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  GdkMonitor* monitor = gdk_window ? gdk_display_get_monitor_at_window(display, gdk_window)
                                   : gdk_display_get_primary_monitor(display);
  if (!monitor && gdk_display_get_n_monitors(display) > 0) {
    monitor = gdk_display_get_monitor(display, 0);
  }
  if (!monitor) return false;
  gdk_monitor_get_workarea(monitor, &area);
  return true;
}

}  // namespace

void kelo_fit_to_workarea(GtkWindow* window, int& width, int& height) {
  GdkRectangle area;
  if (!window_workarea(window, area)) return;
  if (width > area.width) width = area.width;
  if (height > area.height) height = area.height;
}

bool kelo_pending_center_position(GtkWindow* window, int width, int height, int& x, int& y) {
  GdkRectangle area;
  if (!g_signal_handler_find(window, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                             reinterpret_cast<gpointer>(center_on_map), nullptr) ||
      !window_workarea(window, area)) {
    return false;
  }
  x = area.x + (area.width - width) / 2;
  y = area.y + (area.height - height) / 2;
  return true;
}

void kelo_hide_from_taskbar(GtkWindow* window) {
  gtk_window_set_skip_taskbar_hint(window, TRUE);
  gtk_window_set_skip_pager_hint(window, TRUE);
}

void kelo_set_window_title(GtkWindow* window, const char* title) {
  GCharPtr valid(g_utf8_make_valid(title, -1));
  gtk_window_set_title(window, valid.get());
}

void kelo_center_window(GtkWindow* window) {
  if (gtk_widget_get_mapped(GTK_WIDGET(window))) {
    center_mapped(window);
    return;
  }
  kelo_cancel_pending_center(window);
  gtk_window_set_position(window, GTK_WIN_POS_CENTER);
  g_signal_connect(window, "map-event", G_CALLBACK(center_on_map), nullptr);
}

void kelo_cancel_pending_center(GtkWindow* window) {
  g_signal_handlers_disconnect_by_func(window, reinterpret_cast<gpointer>(center_on_map), nullptr);
  gtk_window_set_position(window, GTK_WIN_POS_NONE);
}

bool kelo_pointer(double& x, double& y) {
  x = y = 0;
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return false;
  GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(display));
  GdkModifierType mask = GdkModifierType(0);
  gdk_window_get_device_position_double(gdk_get_default_root_window(), pointer, &x, &y, &mask);
  return mask & GDK_BUTTON1_MASK;
}
