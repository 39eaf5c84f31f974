#include "platform/x11_props.h"

#include <X11/Xatom.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

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
