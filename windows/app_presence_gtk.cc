// App presence on X11: there is no app-wide hide or activation policy, so the app's windows
// are hidden, shown and listed in the taskbar one by one.
#include "windows/app_presence_gtk.h"

#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "launcher/app_state.h"
#include "launcher/webview.h"
#include "windows/registry.h"
#include "windows/winop_gtk.h"

bool g_menu_stale = false;

namespace {

// Ids of the windows hide_app hid, in the order they were hidden.
std::vector<std::string> g_hidden_ids;
bool g_app_hidden = false;

std::vector<std::pair<std::string, GtkWindow*>> app_windows() {
  std::vector<std::pair<std::string, GtkWindow*>> all;
  if (GtkWindow* main = webview_window(g_w)) all.emplace_back("main", main);
  for (auto& [id, e] : g_windows) {
    if (e.window) all.emplace_back(id, e.window.get());
  }
  return all;
}

void update_all() {
  for (auto& [id, window] : app_windows())
    update_taskbar_presence(window);
}

}  // namespace

void update_taskbar_presence(GtkWindow* window) {
  bool skip = g_accessory || is_panel(window) || is_overlay_window(window);
  gtk_window_set_skip_taskbar_hint(window, skip);
  gtk_window_set_skip_pager_hint(window, skip);
}

void become_regular() {
  if (g_accessory) g_menu_stale = true;
  g_accessory = false;
  update_all();
}

void become_accessory() {
  g_accessory = true;
  update_all();
}

void hide_app() {
  g_app_hidden = true;
  for (auto& [id, window] : app_windows()) {
    if (!gtk_widget_get_visible(GTK_WIDGET(window))) continue;
    g_hidden_ids.push_back(id);
    gtk_widget_hide(GTK_WIDGET(window));
  }
}

bool app_hidden() {
  return g_app_hidden;
}

void unhide_app(bool activate) {
  g_app_hidden = false;
  std::vector<std::string> ids = std::move(g_hidden_ids);
  g_hidden_ids.clear();
  GtkWindow* last = nullptr;
  // Windows closed while hidden are no longer found and stay gone.
  for (const std::string& id : ids) {
    if (GtkWindow* window = window_for_id(g_w, id)) {
      gtk_widget_show(GTK_WIDGET(window));
      last = window;
    }
  }
  if (activate && last) gtk_window_present(last);
}

void activate_app() {
  for (auto& [id, window] : app_windows()) {
    if (gtk_widget_get_visible(GTK_WIDGET(window))) {
      gtk_window_present(window);
      return;
    }
  }
}
