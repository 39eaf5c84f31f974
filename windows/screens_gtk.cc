#include "windows/screens_gtk.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstring>

#include "launcher/webview.h"
#include "platform/window_gtk.h"
#include "windows/chrome_gtk.h"
#include "windows/registry.h"
#include "windows/winstate.h"
#include "wire/link.h"

bool g_geom_events = false;
bool g_rescue_on = true;

namespace {

WinStateMemo g_last_winstate;
int g_screen_generation = 0;

Rect to_rect(const GdkRectangle& r) {
  return Rect{double(r.x), double(r.y), double(r.width), double(r.height)};
}

bool is_internal_connector(const char* name) {
  return name && (std::strncmp(name, "eDP", 3) == 0 || std::strncmp(name, "LVDS", 4) == 0 ||
                  std::strncmp(name, "DSI", 3) == 0);
}

ScreenInfo screen_info(GdkMonitor* monitor) {
  ScreenInfo s;
  if (GDK_IS_X11_MONITOR(monitor)) {
    s.id = static_cast<uint32_t>(gdk_x11_monitor_get_output(monitor));
  }
  const char* model = gdk_monitor_get_model(monitor);
  const char* maker = gdk_monitor_get_manufacturer(monitor);
  s.name = model ? model : "";
  if (maker && *maker) s.name = std::string(maker) + (s.name.empty() ? "" : " ") + s.name;
  GdkRectangle r;
  gdk_monitor_get_geometry(monitor, &r);
  s.frame = to_rect(r);
  gdk_monitor_get_workarea(monitor, &r);
  s.visible = to_rect(r);
  s.scale = gdk_monitor_get_scale_factor(monitor);
  s.primary = gdk_monitor_is_primary(monitor);
  s.internal = is_internal_connector(model);
  return s;
}

WinState state_of(GtkWindow* window) {
  WinState st;
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  GdkWindowState flags = gdk_window ? gdk_window_get_state(gdk_window) : GdkWindowState(0);
  st.fullscreen = flags & GDK_WINDOW_STATE_FULLSCREEN;
  st.maximized =
      !st.fullscreen && gtk_window_get_resizable(window) && (flags & GDK_WINDOW_STATE_MAXIMIZED);
  st.minimized = flags & GDK_WINDOW_STATE_ICONIFIED;
  st.focused = gtk_window_is_active(window);
  std::vector<ScreenInfo> screens = current_screens();
  int i = screen_of_window(screens, window);
  if (i >= 0) st.screen_id = screens[i].id;
  return st;
}

void emit_winstate(GtkWindow* window) {
  std::string id = winid_for_gtk_window(window);
  if (id.empty()) return;
  if (auto line = g_last_winstate.update(id, state_of(window))) sock_write_line(*line);
}

gboolean on_state(GtkWidget* widget, GdkEvent*, gpointer) {
  emit_winstate(GTK_WINDOW(widget));
  return FALSE;
}

gboolean on_geometry(GtkWidget* widget, GdkEvent*, gpointer) {
  GtkWindow* window = GTK_WINDOW(widget);
  emit_winstate(window);
  if (g_geom_events) {
    std::string id = winid_for_gtk_window(window);
    if (!id.empty()) sock_write_line("WINGEOM " + id);
  }
  return FALSE;
}

void on_active(GObject* object, GParamSpec*, gpointer) {
  emit_winstate(GTK_WINDOW(object));
}

void rescue_all() {
  if (GtkWindow* main = webview_window(g_w); main && gtk_widget_get_visible(GTK_WIDGET(main))) {
    rescue_offscreen(main);
  }
  for (auto& [id, e] : g_windows) {
    if (e.window && gtk_widget_get_visible(GTK_WIDGET(e.window.get()))) {
      rescue_offscreen(e.window.get());
    }
  }
}

// Screen changes come in bursts; the last of a burst reports once, 500 ms after it.
void on_screens_changed() {
  int generation = ++g_screen_generation;
  g_timeout_add(
      500,
      [](gpointer data) -> gboolean {
        if (GPOINTER_TO_INT(data) == g_screen_generation) sock_write_line("SYS screens");
        if (g_rescue_on) rescue_all();
        return G_SOURCE_REMOVE;
      },
      GINT_TO_POINTER(generation));
}

}  // namespace

void wire_origin(int& x, int& y) {
  x = y = 0;
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* primary = display ? gdk_display_get_primary_monitor(display) : nullptr;
  if (!primary && display && gdk_display_get_n_monitors(display) > 0) {
    primary = gdk_display_get_monitor(display, 0);
  }
  if (!primary) return;
  GdkRectangle r;
  gdk_monitor_get_geometry(primary, &r);
  x = r.x;
  y = r.y;
}

std::vector<ScreenInfo> current_screens() {
  std::vector<ScreenInfo> screens;
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return screens;
  int n = gdk_display_get_n_monitors(display);
  for (int i = 0; i < n; ++i) {
    ScreenInfo s = screen_info(gdk_display_get_monitor(display, i));
    if (s.primary) {
      screens.insert(screens.begin(), s);
    } else {
      screens.push_back(s);
    }
  }
  if (!screens.empty()) screens.front().primary = true;
  int ox, oy;
  wire_origin(ox, oy);
  for (ScreenInfo& s : screens) {
    s.frame.x -= ox;
    s.frame.y -= oy;
    s.visible.x -= ox;
    s.visible.y -= oy;
  }
  return screens;
}

int monitor_number(uint32_t display_id) {
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return -1;
  int n = gdk_display_get_n_monitors(display);
  for (int i = 0; i < n; ++i) {
    GdkMonitor* monitor = gdk_display_get_monitor(display, i);
    if (GDK_IS_X11_MONITOR(monitor) && gdk_x11_monitor_get_output(monitor) == display_id) {
      return i;
    }
  }
  return -1;
}

namespace {

// A window that is not on screen has no frame yet: the geometry it asks the window manager for
// when it is shown (its requested position and size, decorations not known).
Rect requested_geometry(GtkWindow* window) {
  int x, y, width, height, ox, oy;
  gtk_window_get_size(window, &width, &height);
  if (!kelo_pending_center_position(window, width, height, x, y)) {
    gtk_window_get_position(window, &x, &y);
  }
  wire_origin(ox, oy);
  return Rect{double(x - ox), double(y - oy), double(width), double(height)};
}

}  // namespace

Rect window_frame(GtkWindow* window) {
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  if (!gdk_window || !gtk_widget_get_mapped(GTK_WIDGET(window))) {
    return requested_geometry(window);
  }
  GdkRectangle r;
  gdk_window_get_frame_extents(gdk_window, &r);
  int ox, oy;
  wire_origin(ox, oy);
  return Rect{double(r.x - ox), double(r.y - oy), double(r.width), double(r.height)};
}

void move_to_wire_point(GtkWindow* window, int x, int y) {
  kelo_cancel_pending_center(window);
  int ox, oy;
  wire_origin(ox, oy);
  gtk_window_move(window, x + ox, y + oy);
}

Rect window_content(GtkWindow* window) {
  // The page's area: below what the window shows above it.
  int top = kelo_page_top(window);
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  if (!gdk_window || !gtk_widget_get_mapped(GTK_WIDGET(window))) {
    Rect r = requested_geometry(window);
    return Rect{r.x, r.y + top, r.width, r.height - top};
  }
  int x, y, ox, oy;
  gdk_window_get_origin(gdk_window, &x, &y);
  wire_origin(ox, oy);
  return Rect{double(x - ox), double(y + top - oy), double(gdk_window_get_width(gdk_window)),
              double(gdk_window_get_height(gdk_window) - top)};
}

int screen_of_window(const std::vector<ScreenInfo>& screens, GtkWindow* window) {
  int i = screen_for_rect(screens, window_frame(window));
  return i >= 0 ? i : (screens.empty() ? -1 : 0);
}

void rescue_offscreen(GtkWindow* window) {
  std::vector<Rect> areas;
  for (const ScreenInfo& s : current_screens())
    areas.push_back(s.visible);
  Rect frame = window_frame(window);
  if (auto moved = rescue_frame(frame, areas)) {
    move_to_wire_point(window, static_cast<int>(moved->x), static_cast<int>(moved->y));
  }
}

void install_winstate_observers(GtkWindow* window) {
  gtk_widget_add_events(GTK_WIDGET(window), GDK_STRUCTURE_MASK);
  g_signal_connect(window, "window-state-event", G_CALLBACK(on_state), nullptr);
  g_signal_connect(window, "configure-event", G_CALLBACK(on_geometry), nullptr);
  g_signal_connect(window, "notify::is-active", G_CALLBACK(on_active), nullptr);
}

void forget_winstate(const std::string& id) {
  g_last_winstate.forget(id);
}

void install_screen_observers() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return;
  auto changed = G_CALLBACK(+[](GObject*, gpointer) { on_screens_changed(); });
  g_signal_connect(display, "monitor-added", changed, nullptr);
  g_signal_connect(display, "monitor-removed", changed, nullptr);
  g_signal_connect(gdk_display_get_default_screen(display), "monitors-changed", changed, nullptr);
  g_signal_connect(gdk_display_get_default_screen(display), "size-changed", changed, nullptr);
}
