// GET: one GOT line per request, from the desktop's state at the moment it is handled.
#include "system/get_gtk.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <string_view>

#include "audio/audio_gtk.h"
#include "launcher/app_state.h"
#include "launcher/webview.h"
#include "menus/menu_bar_gtk.h"
#include "platform/window_gtk.h"
#include "platform/x11_props.h"
#include "services/dock_gtk.h"
#include "system/clipboard_gtk.h"
#include "system/desktop_x11.h"
#include "system/queries.h"
#include "system/system_bus_dbus.h"
#include "windows/app_presence_gtk.h"
#include "windows/chrome_gtk.h"
#include "windows/registry.h"
#include "windows/screens_gtk.h"
#include "windows/winop_gtk.h"
#include "wire/link.h"

namespace {

GdkWindowState state_of(GtkWindow* window) {
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  return gdk_window ? gdk_window_get_state(gdk_window) : GdkWindowState(0);
}

std::string window_info(webview_t w, const std::string& id) {
  GtkWindow* window = window_for_id(w, id);
  if (!window) return "null";
  std::vector<ScreenInfo> screens = current_screens();
  GdkWindowState state = state_of(window);
  WindowFacts f;
  f.frame = window_frame(window);
  f.content = window_content(window);
  f.fullscreen = state & GDK_WINDOW_STATE_FULLSCREEN;
  f.minimized = state & GDK_WINDOW_STATE_ICONIFIED;
  f.visible = gtk_widget_get_mapped(GTK_WIDGET(window)) && !f.minimized;
  f.focused = gtk_window_is_active(window);
  f.level = window_level(window);
  f.resizable = gtk_window_get_resizable(window);
  f.click_through = window_click_through(window);
  // What the window manager applied: openbox puts the window on every desktop without
  // telling GDK it is sticky.
  f.all_spaces = (state & GDK_WINDOW_STATE_STICKY) || kelo_on_all_desktops(window);
  f.chrome = window_chrome_facts(window, webview_for_id(w, id));
  f.is_main = window == webview_window(w);
  int i = screen_of_window(screens, window);
  if (i >= 0) f.screen = screens[i];
  return window_record_json(f);
}

std::string windows_list(webview_t w) {
  std::vector<std::string> ids;
  for (const auto& [id, e] : g_windows)
    ids.push_back(id);
  return windows_json(webview_window(w) != nullptr, ids);
}

std::string mouse(webview_t w, const std::string& id) {
  double rx, ry;
  kelo_pointer(rx, ry);
  int ox, oy;
  wire_origin(ox, oy);
  double x = rx - ox, y = ry - oy;
  std::vector<ScreenInfo> screens = current_screens();
  int i = screen_at_point(screens, x, y);
  ScreenInfo screen = i >= 0 ? screens[i] : (screens.empty() ? ScreenInfo{} : screens[0]);
  std::optional<Rect> content;
  if (GtkWindow* window = window_for_id(w, id)) content = window_content(window);
  return mouse_record_json(x, y, content, screen);
}

std::string activation() {
  bool active = false;
  GList* windows = gtk_window_list_toplevels();
  for (GList* l = windows; l; l = l->next)
    active = active || gtk_window_is_active(GTK_WINDOW(l->data));
  g_list_free(windows);
  return activation_json(g_accessory, active, app_hidden());
}

// The main window's close button.
std::string close_button(webview_t w) {
  CloseButton button;
  if (GtkWindow* window = webview_window(w)) {
    ChromeFacts chrome = window_chrome_facts(window, nullptr);
    if (auto own = own_close_button(window)) {
      button = {CloseButton::Own, *own};
    } else if (chrome.frame && chrome.controls[0] &&
               !(state_of(window) & GDK_WINDOW_STATE_FULLSCREEN)) {
      button.kind = CloseButton::WindowManager;
    }
  }
  return close_button_json(button);
}

// Keys the platform answers later; their answer is written from its callback.
bool answer_later(const std::string& id, std::string_view key) {
  static constexpr std::pair<std::string_view, void (*)(GetAnswer)> kLater[] = {
      {"battery", answer_battery},
      {"wifi", answer_wifi},
      {"locale", answer_locale},
      {"clipboard", answer_clipboard},
      {"selectedtext", answer_selected_text}};
  for (const auto& [name, read] : kLater) {
    if (key == name) {
      read(GetAnswer(id));
      return true;
    }
  }
  return false;
}

std::string answer(webview_t w, std::string_view key) {
  if (key == "windows") return windows_list(w);
  if (key == "win") return window_info(w, "main");
  if (key.starts_with("win:")) return window_info(w, std::string(key.substr(4)));
  if (key == "screens") return screens_json(current_screens());
  if (key == "mouse") return mouse(w, "main");
  if (key.starts_with("mouse:")) return mouse(w, std::string(key.substr(6)));
  if (key == "audiofilters") return audio_filters_state_json();
  if (key == "clipboard:count") return clipboard_count_answer();
  if (key == "otherwindows") return other_windows_answer();
  if (key == "frontmost") return frontmost_answer();
  if (key == "fgscreen") return fgscreen_answer();
  if (key == "idle") return idle_answer();
  if (key == "debug:trafficpos") return close_button(w);
  if (key == "debug:activation") return activation();
  if (auto menus = menu_answer(key)) return *menus;
  if (key == "debug:icon") return dock_icon_debug_json();
  return "null";
}

}  // namespace

void do_get(webview_t w, std::unique_ptr<GetReq> req) {
  if (answer_later(req->id, req->key)) return;
  sock_write_line("GOT " + req->id + " " + answer(w, req->key));
}
