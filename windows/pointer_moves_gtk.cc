// DRAGWIN and RESIZEWIN: moving and resizing a window from the press the page has just seen,
// only while the left button is still held.
#include "windows/pointer_moves_gtk.h"

#include <gtk/gtk.h>

#include <memory>

#include "platform/gobj.h"
#include "platform/window_gtk.h"
#include "windows/chrome_gtk.h"
#include "windows/registry.h"
#include "windows/resize.h"
#include "windows/screens_gtk.h"
#include "windows/winop_gtk.h"

namespace {

// The last left-button press of the app, until its release.
GdkEvent* g_last_mouse_down = nullptr;

void forget_press() {
  if (g_last_mouse_down) gdk_event_free(g_last_mouse_down);
  g_last_mouse_down = nullptr;
}

bool left_button_held() {
  double x, y;
  return kelo_pointer(x, y);
}

bool belongs_to(const GdkEvent* event, GtkWindow* window) {
  GdkWindow* target = event->any.window;
  return target && gdk_window_get_toplevel(target) == gtk_widget_get_window(GTK_WIDGET(window));
}

struct EventFree {
  void operator()(GdkEvent* e) const { gdk_event_free(e); }
};
using EventPtr = std::unique_ptr<GdkEvent, EventFree>;

// A copy of the press of the drag in progress in this window: the event being handled when it
// is that press or a drag with the left button, else the last left press, if in this window.
EventPtr live_press(GtkWindow* window) {
  if (!window || !left_button_held()) return nullptr;
  EventPtr current(gtk_get_current_event());
  if (current && belongs_to(current.get(), window) &&
      ((current->type == GDK_BUTTON_PRESS && current->button.button == 1) ||
       (current->type == GDK_MOTION_NOTIFY && (current->motion.state & GDK_BUTTON1_MASK)))) {
    return current;
  }
  if (g_last_mouse_down && belongs_to(g_last_mouse_down, window))
    return EventPtr(gdk_event_copy(g_last_mouse_down));
  return nullptr;
}

// A move or edge resize in progress: the pointer's motion is the window's until the button is
// up. Window managers differ in whether they take over a move asked for by a client while
// the client's own press is in progress, so the launcher follows the pointer itself.
struct PointerTrack {
  GRef<GtkWindow> window;
  Rect start;          // frame at the start, wire coordinates
  Size decorations{};  // frame size minus content size
  double pointer_x = 0, pointer_y = 0;
  bool move = false;  // else a resize of these edges
  Edges edges;
  Size minimum;  // of the frame
  guint poll = 0;
};
PointerTrack* g_track = nullptr;

void end_track() {
  if (!g_track) return;
  if (g_track->poll) g_source_remove(g_track->poll);
  delete g_track;
  g_track = nullptr;
}

void follow_pointer(double x_root, double y_root) {
  GtkWindow* window = g_track->window.get();
  if (!gtk_widget_get_visible(GTK_WIDGET(window))) {
    end_track();
    return;
  }
  double dx = x_root - g_track->pointer_x, dy = y_root - g_track->pointer_y;
  if (g_track->move) {
    move_to_wire_point(window, static_cast<int>(g_track->start.x + dx),
                       static_cast<int>(g_track->start.y + dy));
    return;
  }
  Rect f = resized_frame(g_track->start, dx, dy, g_track->edges, g_track->minimum);
  kelo_set_content_size(window, static_cast<int>(f.width) - g_track->decorations.width,
                        static_cast<int>(f.height) - g_track->decorations.height);
  move_to_wire_point(window, static_cast<int>(f.x), static_cast<int>(f.y));
}

// Starts following the pointer from (x_root, y_root) for the window.
PointerTrack* start_track(GtkWindow* window, double x_root, double y_root) {
  end_track();
  auto* t = new PointerTrack;
  t->window = GRef<GtkWindow>::retain(window);
  t->start = window_frame(window);
  t->pointer_x = x_root;
  t->pointer_y = y_root;
  // A release the app never sees (another client grabbed the pointer) ends it too.
  t->poll = g_timeout_add(
      500,
      [](gpointer) -> gboolean {
        if (left_button_held()) return G_SOURCE_CONTINUE;
        g_track->poll = 0;
        end_track();
        return G_SOURCE_REMOVE;
      },
      nullptr);
  g_track = t;
  return t;
}

// Remembers left presses, and feeds the pointer's motion to a running resize. The release
// still reaches the page, so that it does not see a button that never comes up.
void on_event(GdkEvent* event, gpointer) {
  switch (event->type) {
    case GDK_BUTTON_PRESS:
      if (event->button.button == 1) {
        forget_press();
        g_last_mouse_down = gdk_event_copy(event);
      }
      break;
    case GDK_BUTTON_RELEASE:
      if (event->button.button == 1) {
        forget_press();
        end_track();
      }
      break;
    case GDK_MOTION_NOTIFY:
      if (g_track) {
        follow_pointer(event->motion.x_root, event->motion.y_root);
        return;
      }
      break;
    default:
      break;
  }
  gtk_main_do_event(event);
}

}  // namespace

void install_mouse_down_cache() {
  gdk_event_handler_set(on_event, nullptr, nullptr);
}

GdkEvent* kelo_live_press(GtkWindow* window) {
  return live_press(window).release();
}

void do_dragwin(webview_t w, std::unique_ptr<std::string> id) {
  GtkWindow* window = window_for_id(w, *id);
  EventPtr press = live_press(window);
  if (!press) return;
  double x = 0, y = 0;
  gdk_event_get_root_coords(press.get(), &x, &y);
  start_track(window, x, y)->move = true;
}

void do_resizewin(webview_t w, std::unique_ptr<ResizeReq> req) {
  GtkWindow* window = window_for_id(w, req->id);
  double x, y;
  if (!window || !gtk_window_get_resizable(window) ||
      !gtk_widget_get_realized(GTK_WIDGET(window)) || !kelo_pointer(x, y)) {
    return;
  }
  PointerTrack* t = start_track(window, x, y);
  Rect content = window_content(window);
  t->decorations = Size{static_cast<int>(t->start.width - content.width),
                        static_cast<int>(t->start.height - content.height)};
  Size own = window_min_size(window);
  t->minimum =
      resize_minimum(Size{own.width + t->decorations.width, own.height + t->decorations.height});
  t->edges = parse_edges(req->edges);
}
