#include <gtk/gtk.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <climits>
#include <cstdio>
#include <vector>

#include "bridge/bridge_gtk.h"
#include "launcher/app_state.h"
#include "launcher/core_commands.h"
#include "launcher/startup.h"
#include "launcher/webview.h"
#include "menus/menu_bar_gtk.h"
#include "platform/window_gtk.h"
#include "services/dock_gtk.h"
#include "windows/chrome_gtk.h"
#include "windows/registry.h"
#include "windows/screens_gtk.h"
#include "windows/webview_config.h"
#include "wire/link.h"

std::map<std::string, KeloWindow> g_windows;
bool g_hide_on_close = false;

namespace {

constexpr const char* kPanelKey = "kelo-panel";
constexpr const char* kPosKey = "kelo-last-pos";  // last root position, for moving children

KeloWindow* entry(const std::string& id) {
  auto it = g_windows.find(id);
  return it == g_windows.end() ? nullptr : &it->second;
}

// Runs fn on the main loop after the current event has been handled.
template <class F>
void later(F fn) {
  auto* heap = new F(std::move(fn));
  g_idle_add_full(
      G_PRIORITY_DEFAULT,
      [](gpointer data) -> gboolean {
        (*static_cast<F*>(data))();
        return G_SOURCE_REMOVE;
      },
      heap, [](gpointer data) { delete static_cast<F*>(data); });
}

// --- parent and child windows -------------------------------------------------------------
// The window manager keeps a transient window above its parent; the launcher moves attached
// children along when their parent moves.

struct Pos {
  int x = INT_MIN;
  int y = INT_MIN;
};

Pos* last_pos(GtkWindow* window) {
  auto* pos = static_cast<Pos*>(g_object_get_data(G_OBJECT(window), kPosKey));
  if (!pos) {
    pos = new Pos;
    g_object_set_data_full(G_OBJECT(window), kPosKey, pos,
                           [](gpointer p) { delete static_cast<Pos*>(p); });
  }
  return pos;
}

gboolean on_configure(GtkWidget* widget, GdkEventConfigure*, gpointer) {
  GtkWindow* window = GTK_WINDOW(widget);
  Pos* pos = last_pos(window);
  // The event's own coordinates are relative to the frame for real events and to the root for
  // the window manager's synthetic ones; ask the server where the window is instead.
  int x, y;
  gdk_window_get_origin(gtk_widget_get_window(widget), &x, &y);
  int dx = pos->x == INT_MIN ? 0 : x - pos->x;
  int dy = pos->y == INT_MIN ? 0 : y - pos->y;
  pos->x = x;
  pos->y = y;
  if (dx == 0 && dy == 0) return FALSE;
  std::string id = winid_for_window(window);
  if (id.empty()) return FALSE;
  for (auto& [child_id, child] : g_windows) {
    if (child.parent != id || !child.window) continue;
    GdkWindow* child_window = gtk_widget_get_window(GTK_WIDGET(child.window.get()));
    if (!child_window) continue;
    int cx, cy;  // the frame's corner, which a move names
    gdk_window_get_root_origin(child_window, &cx, &cy);
    gtk_window_move(child.window.get(), cx + dx, cy + dy);
  }
  return FALSE;
}

// Where the window is when it appears: the window manager need not send a configure event
// then, and the first move must already be measured from here.
gboolean on_map(GtkWidget* widget, GdkEvent*, gpointer) {
  Pos* pos = last_pos(GTK_WINDOW(widget));
  gdk_window_get_origin(gtk_widget_get_window(widget), &pos->x, &pos->y);
  return FALSE;
}

void track_moves(GtkWindow* window) {
  gtk_widget_add_events(GTK_WIDGET(window), GDK_STRUCTURE_MASK);
  g_signal_connect(window, "configure-event", G_CALLBACK(on_configure), nullptr);
  g_signal_connect(window, "map-event", G_CALLBACK(on_map), nullptr);
}

std::string parent_of(const std::string& id) {
  KeloWindow* e = entry(id);
  if (!e) return "";
  return e->parent.empty() ? e->detached_parent : e->parent;
}

// Makes child follow parent, unless that would make two windows follow each other.
bool attach_child(GtkWindow* parent, const std::string& parent_id, KeloWindow& child) {
  std::string child_id = winid_for_gtk_window(child.window.get());
  if (closes_parent_cycle(child_id, parent_id, parent_of)) {
    std::fprintf(stderr, "kelojs: window %s cannot follow %s, which already follows it\n",
                 child_id.c_str(), parent_id.c_str());
    return false;
  }
  gtk_window_set_transient_for(child.window.get(), parent);
  child.parent = parent_id;
  return true;
}

void detach_child(KeloWindow& child) {
  if (child.parent.empty()) return;
  child.detached_parent = child.parent;
  child.parent.clear();
}

void reattach_child(const std::string& id) {
  KeloWindow* child = entry(id);
  if (!child || child->detached_parent.empty()) return;
  std::string parent_id = std::move(child->detached_parent);
  child->detached_parent.clear();
  GtkWindow* parent = window_for_id(g_w, parent_id);
  if (!parent || parent == child->window.get()) return;
  if (gtk_widget_get_visible(GTK_WIDGET(parent))) {
    attach_child(parent, parent_id, *child);
  } else {
    child->detached_parent = parent_id;
  }
}

// A child that is minimised leaves its parent and comes back when it is restored.
gboolean on_window_state(GtkWidget* widget, GdkEventWindowState* event, gpointer) {
  if (!(event->changed_mask & GDK_WINDOW_STATE_ICONIFIED)) return FALSE;
  std::string id = winid_for_gtk_window(GTK_WINDOW(widget));
  KeloWindow* w = entry(id);
  if (!w) return FALSE;
  if (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) {
    detach_child(*w);
  } else {
    reattach_child(id);
  }
  return FALSE;
}

// --- closing ------------------------------------------------------------------------------

void close_secondary(const std::string& id);

void close_later(const std::string& id) {
  later([id] { close_secondary(id); });
}

// The close sequence of a secondary window: children go too, WINCLOSED once, then the entry
// is gone at once while the widgets are destroyed after the current event.
void close_secondary(const std::string& id) {
  KeloWindow* w = entry(id);
  if (!w) return;
  for (auto& [child_id, child] : g_windows) {
    if (child.parent == id) close_later(child_id);
    if (child.detached_parent == id && child.window) {
      child.detached_parent.clear();
      close_later(child_id);
    }
  }
  sock_write_line("WINCLOSED " + id);
  forget_winstate(id);
  forget_window_menus(id);
  KeloWindow copy = std::move(*w);
  g_windows.erase(id);
  later([copy = std::move(copy)]() mutable {
    copy.web_view.reset();
    if (copy.window) gtk_widget_destroy(GTK_WIDGET(copy.window.get()));
    copy.window.reset();
  });
}

gboolean on_delete(GtkWidget* widget, GdkEvent*, gpointer) {
  close_secondary(winid_for_gtk_window(GTK_WINDOW(widget)));
  return TRUE;  // the close sequence destroys the window
}

gboolean on_main_delete(GtkWidget* widget, GdkEvent*, gpointer) {
  if (g_hide_on_close) {
    gtk_widget_hide(widget);
    return TRUE;
  }
  // Closing the main window ends the app, as the Quit action does.
  do_terminate(g_w, nullptr);
  return TRUE;
}

void bring_forward(GtkWindow* window) {
  if (is_panel(window)) {
    panel_front(window);
  } else {
    gtk_window_present(window);
  }
}

}  // namespace

GtkWindow* window_for_id(webview_t w, const std::string& id) {
  if (id.empty() || id == "main") return webview_window(w);
  KeloWindow* e = entry(id);
  return e ? e->window.get() : nullptr;
}

WebKitWebView* webview_for_id(webview_t w, const std::string& id) {
  if (id.empty() || id == "main") return webview_web_view(w);
  KeloWindow* e = entry(id);
  return e ? e->web_view.get() : nullptr;
}

std::string winid_for_window(GtkWindow* window) {
  if (!window) return "";
  if (window == webview_window(g_w)) return "main";
  for (auto& [id, e] : g_windows) {
    if (e.window.get() == window) return id;
  }
  return "";
}

std::string winid_for_gtk_window(GtkWindow* window) {
  if (!window) return "";
  for (auto& [id, e] : g_windows) {
    if (e.window.get() == window) return id;
  }
  return window == webview_window(g_w) ? "main" : "";
}

std::string kelo_winid_for_webview(WebKitWebView* view) {
  for (auto& [id, e] : g_windows) {
    if (e.web_view.get() == view) return id;
  }
  return "main";
}

std::string key_window_id() {
  for (auto& [id, e] : g_windows) {
    if (e.window && gtk_window_is_active(e.window.get())) return id;
  }
  return "main";
}

bool is_panel(GtkWindow* window) {
  return window && g_object_get_data(G_OBJECT(window), kPanelKey) != nullptr;
}

void make_panel(GtkWindow* window) {
  g_object_set_data(G_OBJECT(window), kPanelKey, GINT_TO_POINTER(1));
  gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_UTILITY);
  gtk_window_set_focus_on_map(window, FALSE);
  gtk_window_set_accept_focus(window, TRUE);
  kelo_hide_from_taskbar(window);
}

void panel_front(GtkWindow* window) {
  gtk_widget_show(GTK_WIDGET(window));
  gdk_window_raise(gtk_widget_get_window(GTK_WIDGET(window)));
  gtk_window_present(window);
}

void attach_pending_parent(webview_t w, const std::string& id) {
  KeloWindow* e = entry(id);
  if (!e || e->pending_parent.empty()) return;
  std::string parent_id = std::move(e->pending_parent);
  e->pending_parent.clear();
  GtkWindow* parent = window_for_id(w, parent_id);
  if (parent && e->window && parent != e->window.get()) attach_child(parent, parent_id, *e);
}

void install_main_window_hooks(webview_t w) {
  GtkWindow* window = webview_window(w);
  if (!window) return;
  g_signal_connect(window, "delete-event", G_CALLBACK(on_main_delete), nullptr);
  track_moves(window);
  install_winstate_observers(window);
}

GtkWindow* add_secondary_window(const std::string& id, WebKitWebView* view,
                                const std::string& title, int width, int height, bool panel) {
  KeloWindow& e = g_windows[id];
  e.web_view = GRef<WebKitWebView>::retain(view);  // the window's container owns the other
  apply_webview_prefs(view);
  kelo_apply_web_hooks(view);
  attach_kelo_bridge(view, id);

  GtkWindow* window = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
  e.window = GRef<GtkWindow>::retain(window);
  if (panel) make_panel(window);
  if (g_accessory) kelo_hide_from_taskbar(window);
  dock_adopt_window(window);
  kelo_set_window_title(window, (title.empty() ? id : title).c_str());
  kelo_fit_to_workarea(window, width, height);
  kelo_build_window_body(window, view);
  kelo_set_content_size(window, width, height);
  g_signal_connect(window, "delete-event", G_CALLBACK(on_delete), nullptr);
  g_signal_connect(window, "window-state-event", G_CALLBACK(on_window_state), nullptr);
  track_moves(window);
  install_winstate_observers(window);
  return window;
}

void do_winopen(webview_t w, std::unique_ptr<WinOpenReq> req) {
  if (!window_id_nameable(req->id)) {
    std::fprintf(stderr, "kelojs: WINOPEN refused: the window id \"%s\" holds a blank or a colon\n",
                 req->id.c_str());
    return;
  }
  if (req->id.empty() || req->id == "main" || g_windows.count(req->id)) {
    if (GtkWindow* existing = window_for_id(w, req->id)) bring_forward(existing);
    return;
  }
  auto* view = WEBKIT_WEB_VIEW(webkit_web_view_new());
  GtkWindow* window =
      add_secondary_window(req->id, view, req->title, req->width, req->height, req->panel);
  KeloWindow& e = g_windows[req->id];
  if (has_chrome(*req)) {
    ChromeReq chrome;
    chrome.id = req->id;
    chrome.fields = req->chrome;
    apply_chrome_fields(window, view, chrome);
  }
  if (!req->has_position) kelo_center_window(window);
  kelo_load_page(view, req->url);
  if (req->has_position) move_to_wire_point(window, req->x, req->y);
  if (!req->hidden) bring_forward(window);
  if (!req->parent.empty()) {
    if (req->hidden) {
      e.pending_parent = req->parent;
    } else if (GtkWindow* parent = window_for_id(w, req->parent); parent && parent != window) {
      attach_child(parent, req->parent, e);
    }
  }
  if (g_debug_open) kelo_open_inspector(view);
}

void do_winclose(webview_t, std::unique_ptr<std::string> id) {
  close_secondary(*id);
}
