// Reading X11 window properties (EWMH and ICCCM) on GTK's X11 display.
#pragma once

#include <X11/Xlib.h>

#include <vector>

typedef struct _GtkWindow GtkWindow;

// A property of 32-bit items (longs in Xlib's representation); empty when absent.
std::vector<unsigned long> x11_long_property(Display* dpy, Window win, const char* name, Atom type);

// Whether the window manager shows the window on every desktop (_NET_WM_DESKTOP 0xFFFFFFFF).
bool kelo_on_all_desktops(GtkWindow* window);
