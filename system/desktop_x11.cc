#include "system/desktop_x11.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/scrnsaver.h>
#include <unistd.h>

#include <map>
#include <optional>
#include <tuple>
#include <vector>

#include "platform/window_gtk.h"
#include "platform/x11_props.h"
#include "system/apps_gio.h"
#include "system/clipboard.h"
#include "windows/screens_gtk.h"

namespace {

std::vector<std::string> wm_classes(Display* dpy, Window win) {
  std::vector<std::string> classes;
  XClassHint hint{};
  if (XGetClassHint(dpy, win, &hint)) {
    if (hint.res_class) classes.emplace_back(hint.res_class);
    if (hint.res_name) classes.emplace_back(hint.res_name);
    XFree(hint.res_name);
    XFree(hint.res_class);
  }
  return classes;
}

std::string window_title(Display* dpy, Window win) {
  std::string title = x11_text_property(dpy, win, "_NET_WM_NAME");
  return title.empty() ? x11_text_property(dpy, win, "WM_NAME") : title;
}

// Frame (decorations included) in wire coordinates.
std::optional<Rect> frame_of(Display* dpy, Window win) {
  Window root, child;
  int x, y;
  unsigned width, height, border, depth;
  if (!XGetGeometry(dpy, win, &root, &x, &y, &width, &height, &border, &depth) ||
      !XTranslateCoordinates(dpy, win, root, 0, 0, &x, &y, &child)) {
    return std::nullopt;
  }
  auto extents = x11_long_property(dpy, win, "_NET_FRAME_EXTENTS", XA_CARDINAL);
  if (extents.size() != 4) extents.assign(4, 0);
  int ox, oy;
  wire_origin(ox, oy);
  return Rect{double(x - long(extents[0]) - ox), double(y - long(extents[2]) - oy),
              double(width + extents[0] + extents[1]), double(height + extents[2] + extents[3])};
}

// Normal, dialog and utility windows (and those without a type) belong to applications.
bool is_app_window(Display* dpy, Window win) {
  auto types = x11_long_property(dpy, win, "_NET_WM_WINDOW_TYPE", XA_ATOM);
  if (types.empty()) return true;
  for (const char* name : {"_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WM_WINDOW_TYPE_DIALOG",
                           "_NET_WM_WINDOW_TYPE_UTILITY"}) {
    if (types[0] == XInternAtom(dpy, name, False)) return true;
  }
  return false;
}

Window active_window(Display* dpy) {
  auto active = x11_long_property(dpy, DefaultRootWindow(dpy), "_NET_ACTIVE_WINDOW", XA_WINDOW);
  return active.empty() ? None : active[0];
}

// Managed windows, bottom to top.
std::vector<unsigned long> stacking(Display* dpy) {
  auto ids = x11_long_property(dpy, DefaultRootWindow(dpy), "_NET_CLIENT_LIST_STACKING", XA_WINDOW);
  return ids.empty() ? x11_long_property(dpy, DefaultRootWindow(dpy), "_NET_CLIENT_LIST", XA_WINDOW)
                     : ids;
}

// The application of a process, named through the window classes of the window given, else
// of its managed windows (a selection owner is often a hidden window without a class).
AppIdentity identity(Display* dpy, Window win, long pid) {
  std::vector<std::string> classes = wm_classes(dpy, win);
  for (unsigned long other : stacking(dpy)) {
    if (!classes.empty()) break;
    if (x11_window_pid(dpy, other) == pid) classes = wm_classes(dpy, other);
  }
  return app_for_pid(pid, classes);
}

// The frontmost application's process and its active window; pid 0 for none.
std::pair<long, Window> frontmost(Display* dpy) {
  Window win = active_window(dpy);
  return {win ? x11_window_pid(dpy, win) : 0, win};
}

}  // namespace

std::string frontmost_answer() {
  Display* dpy = kelo_x_display();
  if (!dpy) return "null";
  XErrorTrap trap;
  auto [pid, win] = frontmost(dpy);
  return pid > 0 ? frontmost_json(identity(dpy, win, pid), pid) : "null";
}

std::string other_windows_answer() {
  Display* dpy = kelo_x_display();
  if (!dpy || !has_xtest(dpy)) return "null";
  XErrorTrap trap;
  std::vector<OtherWindow> windows;
  std::map<long, AppIdentity> apps;
  std::vector<unsigned long> ids = stacking(dpy);
  for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
    OtherWindow w;
    w.pid = x11_window_pid(dpy, *it);
    if (w.pid <= 0) continue;
    w.app_window = is_app_window(dpy, *it);
    w.title = window_title(dpy, *it);
    w.frame = frame_of(dpy, *it);
    auto known = apps.find(w.pid);
    if (known == apps.end()) known = apps.emplace(w.pid, identity(dpy, *it, w.pid)).first;
    w.app = known->second;
    windows.push_back(std::move(w));
  }
  return other_windows_json(windows, getpid());
}

std::string fgscreen_answer() {
  Display* dpy = kelo_x_display();
  if (!dpy) return "null";
  XErrorTrap trap;
  long pid = frontmost(dpy).first;
  std::optional<Rect> front;
  std::vector<unsigned long> ids = stacking(dpy);
  for (auto it = ids.rbegin(); pid > 0 && it != ids.rend() && !front; ++it) {
    if (x11_window_pid(dpy, *it) == pid && is_app_window(dpy, *it)) front = frame_of(dpy, *it);
  }
  double px, py;
  kelo_pointer(px, py);
  int ox, oy;
  wire_origin(ox, oy);
  std::vector<ScreenInfo> screens = current_screens();
  int i = fgscreen_index(screens, front, px - ox, py - oy);
  return i >= 0 ? std::to_string(screens[i].id) : "null";
}

std::string idle_answer() {
  Display* dpy = kelo_x_display();
  int event, error;
  if (!dpy || !XScreenSaverQueryExtension(dpy, &event, &error)) return "null";
  XScreenSaverInfo* info = XScreenSaverAllocInfo();
  if (!info) return "null";
  std::string out = "null";
  if (XScreenSaverQueryInfo(dpy, DefaultRootWindow(dpy), info))
    out = idle_json(info->idle / 1000.0);
  XFree(info);
  return out;
}

std::string selection_owner_app(const char* selection) {
  Display* dpy = kelo_x_display();
  if (!dpy) return "null";
  XErrorTrap trap;
  Window owner = XGetSelectionOwner(dpy, XInternAtom(dpy, selection, False));
  long pid = owner ? x11_window_pid(dpy, owner) : 0;
  Window win = owner;
  if (pid <= 0) std::tie(pid, win) = frontmost(dpy);
  if (pid <= 0) return "null";
  AppIdentity app = identity(dpy, win, pid);
  return source_app_json(app.name, app.id);
}
