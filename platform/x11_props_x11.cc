#include "platform/x11_props.h"

#include <X11/Xatom.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <utility>

std::vector<unsigned long> x11_long_property(Display* dpy, Window win, const char* name,
                                             Atom type) {
  std::vector<unsigned long> values;
  Atom actual;
  int format;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(dpy, win, XInternAtom(dpy, name, False), 0, 4096, False, type, &actual,
                         &format, &count, &after, &data) == Success &&
      data && format == 32) {
    auto* items = reinterpret_cast<unsigned long*>(data);
    values.assign(items, items + count);
  }
  if (data) XFree(data);
  return values;
}

bool kelo_on_all_desktops(GtkWindow* window) {
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  if (!gdk_window || !GDK_IS_X11_WINDOW(gdk_window)) return false;
  Display* dpy = GDK_WINDOW_XDISPLAY(gdk_window);
  auto desktop = x11_long_property(dpy, GDK_WINDOW_XID(gdk_window), "_NET_WM_DESKTOP", XA_CARDINAL);
  return !desktop.empty() && (desktop[0] & 0xFFFFFFFFul) == 0xFFFFFFFFul;
}

std::string x11_text_property(Display* dpy, Window win, const char* name) {
  std::string text;
  Atom actual;
  int format;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(dpy, win, XInternAtom(dpy, name, False), 0, 65536, False, AnyPropertyType,
                         &actual, &format, &count, &after, &data) == Success &&
      data && format == 8) {
    text.assign(reinterpret_cast<char*>(data), count);
  }
  if (data) XFree(data);
  return text;
}

long x11_window_pid(Display* dpy, Window win) {
  auto pid = x11_long_property(dpy, win, "_NET_WM_PID", XA_CARDINAL);
  if (pid.empty()) {
    auto leader = x11_long_property(dpy, win, "WM_CLIENT_LEADER", XA_WINDOW);
    if (!leader.empty() && leader[0])
      pid = x11_long_property(dpy, leader[0], "_NET_WM_PID", XA_CARDINAL);
  }
  return pid.empty() ? 0 : static_cast<long>(pid[0]);
}

bool has_xtest(Display* dpy) {
  int opcode, event, error;
  return XQueryExtension(dpy, "XTEST", &opcode, &event, &error);
}

Display* kelo_x_display() {
  GdkDisplay* display = gdk_display_get_default();
  return display && GDK_IS_X11_DISPLAY(display) ? gdk_x11_display_get_xdisplay(display) : nullptr;
}

XErrorTrap::XErrorTrap() {
  gdk_x11_display_error_trap_push(gdk_display_get_default());
}

XErrorTrap::~XErrorTrap() {
  if (!ended_) gdk_x11_display_error_trap_pop_ignored(gdk_display_get_default());
}

bool XErrorTrap::failed() {
  if (std::exchange(ended_, true)) return false;
  return gdk_x11_display_error_trap_pop(gdk_display_get_default()) != 0;
}
