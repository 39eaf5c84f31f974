// WINCTRL: moves and sizes a window of another application through the window manager.
// Controlling other applications' windows needs trust (has_xtest).
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <vector>

#include "platform/x11_props.h"
#include "windows/screens_gtk.h"
#include "windows/winctrl.h"
#include "wire/link.h"

namespace {

bool owned_by(Display* dpy, Window win, long pid) {
  auto pids = x11_long_property(dpy, win, "_NET_WM_PID", XA_CARDINAL);
  return !pids.empty() && static_cast<long>(pids[0]) == pid;
}

// The application's main window: its active window, else its first managed window.
Window main_window_of(Display* dpy, long pid) {
  Window root = DefaultRootWindow(dpy);
  auto active = x11_long_property(dpy, root, "_NET_ACTIVE_WINDOW", XA_WINDOW);
  if (!active.empty() && active[0] && owned_by(dpy, active[0], pid)) return active[0];
  for (unsigned long win : x11_long_property(dpy, root, "_NET_CLIENT_LIST", XA_WINDOW)) {
    if (owned_by(dpy, win, pid)) return win;
  }
  return None;
}

bool wm_supports(Display* dpy, const char* name) {
  Atom wanted = XInternAtom(dpy, name, False);
  auto supported = x11_long_property(dpy, DefaultRootWindow(dpy), "_NET_SUPPORTED", XA_ATOM);
  return std::find(supported.begin(), supported.end(), wanted) != supported.end();
}

// Places the frame's top-left corner at (x, y) in root coordinates and gives the frame the
// size width x height; false on an X error.
bool move_resize(Display* dpy, Window win, int x, int y, int width, int height) {
  auto extents = x11_long_property(dpy, win, "_NET_FRAME_EXTENTS", XA_CARDINAL);
  int dw = 0, dh = 0;
  if (extents.size() == 4) {
    dw = static_cast<int>(extents[0] + extents[1]);
    dh = static_cast<int>(extents[2] + extents[3]);
  }
  int cw = std::max(1, width - dw);
  int ch = std::max(1, height - dh);
  GdkDisplay* display = gdk_display_get_default();
  gdk_x11_display_error_trap_push(display);
  if (wm_supports(dpy, "_NET_MOVERESIZE_WINDOW")) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = win;
    ev.xclient.message_type = XInternAtom(dpy, "_NET_MOVERESIZE_WINDOW", False);
    ev.xclient.format = 32;
    // North-west gravity, x, y, width and height given, sent on behalf of a pager.
    ev.xclient.data.l[0] = NorthWestGravity | (0xF << 8) | (2 << 12);
    ev.xclient.data.l[1] = x;
    ev.xclient.data.l[2] = y;
    ev.xclient.data.l[3] = cw;
    ev.xclient.data.l[4] = ch;
    XSendEvent(dpy, DefaultRootWindow(dpy), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &ev);
  } else {
    XMoveResizeWindow(dpy, win, x, y, static_cast<unsigned>(cw), static_cast<unsigned>(ch));
  }
  XSync(dpy, False);
  return gdk_x11_display_error_trap_pop(display) == 0;
}

}  // namespace

void do_winctrl(webview_t, std::unique_ptr<WinCtrlReq> req) {
  GdkDisplay* display = gdk_display_get_default();
  const char* reply = R"({"ok":false,"error":"needs Accessibility"})";
  if (display && GDK_IS_X11_DISPLAY(display) && has_xtest(gdk_x11_display_get_xdisplay(display))) {
    Display* dpy = gdk_x11_display_get_xdisplay(display);
    Window win = main_window_of(dpy, req->pid);
    int ox, oy;
    wire_origin(ox, oy);
    bool moved =
        win != None && move_resize(dpy, win, req->x + ox, req->y + oy, req->width, req->height);
    reply = moved ? R"({"ok":true,"error":null})" : R"({"ok":false,"error":"no movable window"})";
  }
  sock_write_line("GOT " + req->req_id + " " + reply);
}
