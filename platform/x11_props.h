// Reading X11 window properties (EWMH and ICCCM) on GTK's X11 display.
#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

typedef struct _GtkWindow GtkWindow;

// A property of 32-bit items (longs in Xlib's representation); empty when absent.
std::vector<unsigned long> x11_long_property(Display* dpy, Window win, const char* name, Atom type);

// A text property (UTF8_STRING or Latin-1); empty when absent.
std::string x11_text_property(Display* dpy, Window win, const char* name);
// The window's _NET_WM_PID, else its client leader's; 0 when neither says.
long x11_window_pid(Display* dpy, Window win);
// Controlling other applications (moving their windows, synthetic input) counts as trusted
// when the X server offers XTest.
bool has_xtest(Display* dpy);
// The X display of the launcher's GDK display; null when it is not an X11 one.
Display* kelo_x_display();

// Ignores the X errors of the requests made during its life (windows of other clients may go
// at any time; an error nobody traps ends the process).
class XErrorTrap {
 public:
  XErrorTrap();
  ~XErrorTrap();
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;
  // Waits for the server's answers and ends the trap: whether any request made so far failed.
  bool failed();

 private:
  bool ended_ = false;
};

// Whether the window manager shows the window on every desktop (_NET_WM_DESKTOP 0xFFFFFFFF).
bool kelo_on_all_desktops(GtkWindow* window);
