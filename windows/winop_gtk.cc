// WINOP on GTK: showing, hiding, placing, sizing, levels and full screen of windows.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>

#include "launcher/app_state.h"
#include "launcher/startup.h"
#include "launcher/webview.h"
#include "menus/menu_bar_gtk.h"
#include "platform/window_gtk.h"
#include "windows/app_presence_gtk.h"
#include "windows/chrome_gtk.h"
#include "windows/registry.h"
#include "windows/screens_gtk.h"
#include "windows/winop.h"
#include "windows/winop_gtk.h"

namespace {

void show_inactive(GtkWindow* window) {
  gboolean focus_on_map = gtk_window_get_focus_on_map(window);
  gtk_window_set_focus_on_map(window, FALSE);
  gtk_widget_show(GTK_WIDGET(window));
  gdk_window_raise(gtk_widget_get_window(GTK_WIDGET(window)));
  gtk_window_set_focus_on_map(window, focus_on_map);
}

GdkWindowState window_state(GtkWindow* window) {
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  return gdk_window ? gdk_window_get_state(gdk_window) : GdkWindowState(0);
}

bool is_fullscreen(GtkWindow* window) {
  return window_state(window) & GDK_WINDOW_STATE_FULLSCREEN;
}

// Per-window settings the window system cannot be asked about.
constexpr char kClickThrough[] = "kelo-click-through";
constexpr char kLevel[] = "kelo-level";
constexpr char kFsScreenWait[] = "kelo-fsscreen-wait";
constexpr char kMinSize[] = "kelo-min-size";
constexpr char kFsEnter[] = "kelo-configure-wait";

void set_level(GtkWindow* window, int level) {
  g_object_set_data(G_OBJECT(window), kLevel, GINT_TO_POINTER(level));
  LevelTraits traits = level_traits(level);
  gtk_window_set_keep_above(window, traits.keep_above);
  gtk_window_set_keep_below(window, traits.keep_below);
}

// An empty input shape lets every pointer event through to what lies below.
void set_click_through(GtkWindow* window, bool on) {
  g_object_set_data(G_OBJECT(window), kClickThrough, on ? GINT_TO_POINTER(1) : nullptr);
  if (on) {
    cairo_region_t* empty = cairo_region_create();
    gtk_widget_input_shape_combine_region(GTK_WIDGET(window), empty);
    cairo_region_destroy(empty);
  } else {
    gtk_widget_input_shape_combine_region(GTK_WIDGET(window), nullptr);
  }
}

// Resizes the content, keeping the frame's top-left corner (north-west gravity) and the size
// within the work area.
void resize_content(GtkWindow* window, Size size) {
  kelo_fit_to_workarea(window, size.width, size.height);
  kelo_set_content_size(window, size.width, size.height);
}

Size content_size(GtkWindow* window) {
  Size s;
  if (gtk_widget_get_realized(GTK_WIDGET(window))) {
    Rect c = window_content(window);
    s.width = static_cast<int>(c.width);
    s.height = static_cast<int>(c.height);
  } else {
    gtk_window_get_size(window, &s.width, &s.height);
    s.height -= kelo_page_top(window);
  }
  return s;
}

void set_min_size(GtkWindow* window, Size minimum) {
  kelo_fit_to_workarea(window, minimum.width, minimum.height);
  GdkGeometry hints{};
  hints.min_width = minimum.width;
  hints.min_height = minimum.height + kelo_page_top(window);
  gtk_window_set_geometry_hints(window, nullptr, &hints, GDK_HINT_MIN_SIZE);
  g_object_set_data_full(G_OBJECT(window), kMinSize, new Size(minimum),
                         [](gpointer p) { delete static_cast<Size*>(p); });
  if (auto grown = grown_content(content_size(window), minimum)) resize_content(window, *grown);
}

void set_pixel_size(GtkWindow* window, Size pixels) {
  std::vector<ScreenInfo> screens = current_screens();
  int i = screen_of_window(screens, window);
  double scale = i >= 0 ? screens[i].scale : 1;
  resize_content(window, pixel_size_content(pixels, scale));
}

void move_to_screen(GtkWindow* window, const std::string& arg) {
  auto pos = parse_screen_pos(arg);
  if (!pos) return;
  std::vector<ScreenInfo> screens = current_screens();
  int i = screen_by_display(screens, pos->display);
  if (i < 0) return;
  if (auto target = screen_pos_target(screens[i], *pos))
    move_to_wire_point(window, target->x, target->y);
}

void fullscreen_on_screen(GtkWindow* window, long display_id);

// Full screen waits for the window to stand centred on its target monitor and then fills the
// monitor it is on, so that the window manager keeps that place for the window's return from
// full screen (full screen on a named monitor would first move the window to that monitor's
// corner). Moving to another monitor's full screen first waits for the window to come back to
// its own size. A change the window manager does not confirm within half a second is not waited
// for any longer.
struct ConfigureWait {
  std::function<bool(const Rect& frame)> ready;
  std::function<void(GtkWindow*)> then;
  gulong handler = 0;
  guint timer = 0;
};

// Takes the pending wait off the window and stops waiting.
std::unique_ptr<ConfigureWait> take_configure_wait(GtkWindow* window) {
  std::unique_ptr<ConfigureWait> wait(
      static_cast<ConfigureWait*>(g_object_steal_data(G_OBJECT(window), kFsEnter)));
  if (!wait) return nullptr;
  if (g_signal_handler_is_connected(window, wait->handler)) {
    g_signal_handler_disconnect(window, wait->handler);
  }
  if (wait->timer) g_source_remove(wait->timer);
  return wait;
}

void finish_configure_wait(GtkWindow* window) {
  if (auto wait = take_configure_wait(window)) wait->then(window);
}

gboolean on_configured(GtkWidget* widget, GdkEvent*, gpointer data) {
  if (static_cast<ConfigureWait*>(data)->ready(window_frame(GTK_WINDOW(widget)))) {
    finish_configure_wait(GTK_WINDOW(widget));
  }
  return FALSE;
}

// Runs then(window) once the window's frame satisfies ready, at the latest after 500 ms.
void when_configured(GtkWindow* window, std::function<bool(const Rect&)> ready,
                     std::function<void(GtkWindow*)> then) {
  take_configure_wait(window);
  if (ready(window_frame(window))) {
    then(window);
    return;
  }
  auto* wait = new ConfigureWait{std::move(ready), std::move(then)};
  g_object_set_data_full(G_OBJECT(window), kFsEnter, wait,
                         [](gpointer p) { delete static_cast<ConfigureWait*>(p); });
  wait->handler = g_signal_connect(window, "configure-event", G_CALLBACK(on_configured), wait);
  wait->timer = g_timeout_add_full(
      G_PRIORITY_DEFAULT, 500,
      [](gpointer w) -> gboolean {
        if (auto* wait = static_cast<ConfigureWait*>(g_object_get_data(G_OBJECT(w), kFsEnter))) {
          wait->timer = 0;  // this very source ends now
          finish_configure_wait(GTK_WINDOW(w));
        }
        return G_SOURCE_REMOVE;
      },
      g_object_ref(window), g_object_unref);
}

// Waits for the window to leave full screen, then for its own size to come back (the window
// manager may report the state before the size), then enters full screen on the screen it was
// asked for.
gboolean on_left_fullscreen(GtkWidget* widget, GdkEventWindowState* event, gpointer data) {
  if ((event->changed_mask & GDK_WINDOW_STATE_FULLSCREEN) &&
      !(event->new_window_state & GDK_WINDOW_STATE_FULLSCREEN)) {
    long display_id = *static_cast<long*>(data);
    GtkWindow* window = GTK_WINDOW(widget);
    Rect full = window_frame(window);
    gulong handler = GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(window), kFsScreenWait));
    g_object_set_data(G_OBJECT(window), kFsScreenWait, nullptr);
    // Disconnecting frees data; display_id is a copy.
    g_signal_handler_disconnect(window, handler);
    std::vector<ScreenInfo> screens = current_screens();
    int i = screen_of_window(screens, window);
    if (i >= 0) full = screens[i].frame;
    when_configured(
        window,
        [full](const Rect& frame) {
          return frame.width != full.width || frame.height != full.height;
        },
        [display_id](GtkWindow* w) { fullscreen_on_screen(w, display_id); });
  }
  return FALSE;
}

void cancel_fsscreen_wait(GtkWindow* window) {
  take_configure_wait(window);
  gulong handler = GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(window), kFsScreenWait));
  if (handler) {
    g_object_set_data(G_OBJECT(window), kFsScreenWait, nullptr);
    g_signal_handler_disconnect(window, handler);
  }
}

void fullscreen_on_screen(GtkWindow* window, long display_id) {
  std::vector<ScreenInfo> screens = current_screens();
  int i = screen_by_display(screens, display_id);
  int monitor = i >= 0 ? monitor_number(screens[i].id) : -1;
  if (i < 0 || monitor < 0) return;
  cancel_fsscreen_wait(window);
  if (is_fullscreen(window)) {
    if (screen_of_window(screens, window) == i) return;
    gulong handler = g_signal_connect_data(
        window, "window-state-event", G_CALLBACK(on_left_fullscreen), new long(display_id),
        [](gpointer data, GClosure*) { delete static_cast<long*>(data); }, GConnectFlags(0));
    g_object_set_data(G_OBJECT(window), kFsScreenWait, GSIZE_TO_POINTER(handler));
    gtk_window_unfullscreen(window);
    return;
  }
  Rect frame = window_frame(window);
  Rect content = window_content(window);
  Rect placed = centered_in(frame, screens[i].visible);
  Size size{static_cast<int>(placed.width - (frame.width - content.width)),
            static_cast<int>(placed.height - (frame.height - content.height))};
  if (size.width > 0 && size.height > 0 &&
      (placed.width < frame.width || placed.height < frame.height)) {
    kelo_set_content_size(window, size.width, size.height);
  }
  move_to_wire_point(window, static_cast<int>(placed.x), static_cast<int>(placed.y));
  when_configured(
      window,
      [placed](const Rect& frame) {
        return std::abs(frame.x - placed.x) <= 1 && std::abs(frame.y - placed.y) <= 1;
      },
      gtk_window_fullscreen);
}

// What "show" does for a window: the app comes back first; a panel comes forward without
// taking the app's focus from other windows.
void show_window(webview_t w, GtkWindow* window, const std::string& id, bool activate) {
  if (window == webview_window(w)) cancel_deferred_show();
  unhide_app(false);
  if (!activate) {
    show_inactive(window);
  } else if (is_panel(window)) {
    panel_front(window);
  } else {
    gtk_window_present(window);
    if (g_menu_stale) refresh_menu_bar();
  }
  attach_pending_parent(w, id);
}

void set_presence(bool regular) {
  if (regular) {
    become_regular();
    activate_app();
    if (g_menu_stale) refresh_menu_bar();
  } else {
    become_accessory();
  }
}

// Without a main window, WINOP for "main" speaks to the app.
void app_winop(const WinopCmd& cmd) {
  switch (cmd.kind) {
    case WinopKind::Presence:
      set_presence(cmd.on);
      break;
    case WinopKind::Hide:
      hide_app();
      break;
    case WinopKind::Show:
      unhide_app(true);
      activate_app();
      break;
    case WinopKind::ShowInactive:
      unhide_app(false);
      break;
    default:
      break;
  }
}

}  // namespace

int window_level(GtkWindow* window) {
  return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(window), kLevel));
}

bool window_click_through(GtkWindow* window) {
  return g_object_get_data(G_OBJECT(window), kClickThrough) != nullptr;
}

Size window_min_size(GtkWindow* window) {
  auto* size = static_cast<Size*>(g_object_get_data(G_OBJECT(window), kMinSize));
  return size ? *size : Size{};
}

bool is_overlay_window(GtkWindow* window) {
  return is_overlay(window_click_through(window), window_level(window));
}

void do_winop(webview_t w, std::unique_ptr<WinopReq> req) {
  WinopCmd cmd = parse_winop(req->command);
  if (cmd.kind == WinopKind::Geom) {
    g_geom_events = cmd.on;
    return;
  }
  GtkWindow* window = window_for_id(w, req->id);
  if (!window) {
    if (req->id == "main" && g_windowless) app_winop(cmd);
    return;
  }
  bool is_main = window == webview_window(w);
  switch (cmd.kind) {
    case WinopKind::Show:
    case WinopKind::ShowInactive:
      show_window(w, window, req->id, cmd.kind == WinopKind::Show);
      break;
    case WinopKind::Hide:
      // The main window stands for the app, unless it is a panel.
      if (is_main && !is_panel(window)) {
        hide_app();
      } else {
        gtk_widget_hide(GTK_WIDGET(window));
      }
      break;
    case WinopKind::HideWin:
      gtk_widget_hide(GTK_WIDGET(window));
      break;
    case WinopKind::Presence:
      if (is_main) set_presence(cmd.on);
      break;
    case WinopKind::HideOnClose:
      g_hide_on_close = cmd.on;
      break;
    case WinopKind::OnScreen:
      rescue_offscreen(window);
      break;
    case WinopKind::Rescue:
      g_rescue_on = cmd.on;
      break;
    case WinopKind::Center:
      kelo_center_window(window);
      break;
    case WinopKind::Minimize:
      gtk_window_iconify(window);
      break;
    case WinopKind::Restore:
      gtk_window_deiconify(window);
      break;
    case WinopKind::Zoom:
      if (gtk_window_is_maximized(window)) {
        gtk_window_unmaximize(window);
      } else {
        gtk_window_maximize(window);
      }
      break;
    case WinopKind::FullscreenToggle:
    case WinopKind::Fullscreen: {
      bool want = cmd.kind == WinopKind::Fullscreen ? cmd.on : !is_fullscreen(window);
      if (want == is_fullscreen(window)) break;
      cancel_fsscreen_wait(window);
      if (want) {
        gtk_window_fullscreen(window);
      } else {
        gtk_window_unfullscreen(window);
      }
      break;
    }
    case WinopKind::OnTop:
      set_level(window, cmd.on ? kLevelFloating : kLevelNormal);
      break;
    case WinopKind::Resizable:
      gtk_window_set_resizable(window, cmd.on);
      break;
    case WinopKind::ClickThrough:
      set_click_through(window, cmd.on);
      update_taskbar_presence(window);
      break;
    case WinopKind::Level:
      set_level(window, level_for_name(cmd.arg));
      update_taskbar_presence(window);
      break;
    case WinopKind::AllSpaces:
      if (cmd.on) {
        gtk_window_stick(window);
      } else {
        gtk_window_unstick(window);
      }
      break;
    case WinopKind::MinSize:
      if (auto minimum = parse_min_size(cmd.arg)) set_min_size(window, *minimum);
      break;
    case WinopKind::ZoomFactor:
      if (auto factor = parse_zoom_factor(cmd.arg)) {
        if (WebKitWebView* view = webview_for_id(w, req->id)) {
          webkit_web_view_set_zoom_level(view, *factor);
        }
      }
      break;
    case WinopKind::Pos:
      if (auto p = parse_point(cmd.arg)) move_to_wire_point(window, p->x, p->y);
      break;
    case WinopKind::SPos:
      move_to_screen(window, cmd.arg);
      break;
    case WinopKind::PxSize:
      if (auto pixels = parse_pixel_size(cmd.arg)) set_pixel_size(window, *pixels);
      break;
    case WinopKind::FsScreen:
      fullscreen_on_screen(window, std::atol(cmd.arg.c_str()));
      break;
    default:
      break;
  }
}
