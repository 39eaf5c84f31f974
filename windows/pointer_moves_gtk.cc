// DRAGWIN and RESIZEWIN: moving and resizing a window from the press the page has just seen,
// only while the left button is still held.
#include "windows/pointer_moves_gtk.h"

#include <gtk/gtk.h>

#include <memory>

#include "platform/gobj.h"
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
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return false;
  GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(display));
  GdkModifierType mask = GdkModifierType(0);
  gdk_window_get_device_position(gdk_get_default_root_window(), pointer, nullptr, nullptr, &mask);
  return mask & GDK_BUTTON1_MASK;
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

// An edge resize in progress: the pointer's motion is the window's until the button is up.
struct ResizeTrack {
  GRef<GtkWindow> window;
  Rect start;          // frame at the start, wire coordinates
  Size decorations{};  // frame size minus content size
  double pointer_x = 0, pointer_y = 0;
  Edges edges;
  Size minimum;  // of the frame
  guint poll = 0;
};
ResizeTrack* g_resize = nullptr;

void end_resize() {
  if (!g_resize) return;
  if (g_resize->poll) g_source_remove(g_resize->poll);
  delete g_resize;
  g_resize = nullptr;
}

void track_resize(double x_root, double y_root) {
  GtkWindow* window = g_resize->window.get();
  if (!gtk_widget_get_visible(GTK_WIDGET(window))) {
    end_resize();
    return;
  }
  Rect f = resized_frame(g_resize->start, x_root - g_resize->pointer_x,
                         y_root - g_resize->pointer_y, g_resize->edges, g_resize->minimum);
  int ox, oy;
  wire_origin(ox, oy);
  gtk_window_resize(window, static_cast<int>(f.width) - g_resize->decorations.width,
                    static_cast<int>(f.height) - g_resize->decorations.height);
  gtk_window_move(window, static_cast<int>(f.x) + ox, static_cast<int>(f.y) + oy);
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
        end_resize();
      }
      break;
    case GDK_MOTION_NOTIFY:
      if (g_resize) {
        track_resize(event->motion.x_root, event->motion.y_root);
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

void do_dragwin(webview_t w, std::unique_ptr<std::string> id) {
  GtkWindow* window = window_for_id(w, *id);
  EventPtr press = live_press(window);
  if (!press) return;
  double x = 0, y = 0;
  gdk_event_get_root_coords(press.get(), &x, &y);
  gtk_window_begin_move_drag(window, 1, static_cast<int>(x), static_cast<int>(y),
                             gdk_event_get_time(press.get()));
}

void do_resizewin(webview_t w, std::unique_ptr<ResizeReq> req) {
  GtkWindow* window = window_for_id(w, req->id);
  if (!window || !gtk_window_get_resizable(window) ||
      !gtk_widget_get_realized(GTK_WIDGET(window)) || !left_button_held()) {
    return;
  }
  end_resize();
  auto* t = new ResizeTrack;
  t->window = GRef<GtkWindow>::retain(window);
  t->start = window_frame(window);
  Rect content = window_content(window);
  t->decorations = Size{static_cast<int>(t->start.width - content.width),
                        static_cast<int>(t->start.height - content.height)};
  Size own = window_min_size(window);
  t->minimum =
      resize_minimum(Size{own.width + t->decorations.width, own.height + t->decorations.height});
  t->edges = parse_edges(req->edges);
  GdkDevice* pointer =
      gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
  gdk_window_get_device_position_double(gdk_get_default_root_window(), pointer, &t->pointer_x,
                                        &t->pointer_y, nullptr);
  // A release the app never sees (another client grabbed the pointer) ends it too.
  t->poll = g_timeout_add(
      500,
      [](gpointer) -> gboolean {
        if (left_button_held()) return G_SOURCE_CONTINUE;
        g_resize->poll = 0;
        end_resize();
        return G_SOURCE_REMOVE;
      },
      nullptr);
  g_resize = t;
}
