// WINOP on GTK: showing and hiding windows, hide-on-close, geometry events and rescue.
#include <gtk/gtk.h>

#include "launcher/app_state.h"
#include "launcher/startup.h"
#include "launcher/webview.h"
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

}  // namespace

void do_winop(webview_t w, std::unique_ptr<WinopReq> req) {
  WinopCmd cmd = parse_winop(req->command);
  if (cmd.kind == WinopKind::Geom) {
    g_geom_events = cmd.on;
    return;
  }
  GtkWindow* window = window_for_id(w, req->id);
  if (!window) return;
  bool is_main = window == webview_window(w);
  switch (cmd.kind) {
    case WinopKind::Show:
      if (is_main) cancel_deferred_show();
      if (is_panel(window)) {
        panel_front(window);
      } else {
        gtk_window_present(window);
      }
      attach_pending_parent(w, req->id);
      break;
    case WinopKind::ShowInactive:
      if (is_main) cancel_deferred_show();
      show_inactive(window);
      attach_pending_parent(w, req->id);
      break;
    case WinopKind::Hide:
    case WinopKind::HideWin:
      gtk_widget_hide(GTK_WIDGET(window));
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
    default:
      // The remaining operations (placement, levels, sizes, full screen) are not part of this
      // launcher yet; the command is dropped.
      break;
  }
}
