// Pages asking for new windows: the popup policy, the popup question and popup windows.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <optional>

#include "launcher/app_state.h"
#include "launcher/read_access.h"
#include "platform/gobj.h"
#include "platform/window_gtk.h"
#include "windows/chrome_gtk.h"
#include "windows/nav.h"
#include "windows/nav_gtk.h"
#include "windows/registry.h"
#include "windows/screens_gtk.h"
#include "wire/link.h"

namespace {

PendingQuestions<std::string> g_popup_pending('p');
uint64_t g_popup_seq = 0;

// Asks the backend about a window request; decide gets the outcome.
void popup_ask(const std::string& popup, const std::string& opener, const std::string& url,
               const std::string& fallback, std::function<void(const std::string&)> decide) {
  auto settle = [decide, fallback](const std::string& answer) {
    decide(popup_outcome(answer, fallback));
  };
  if (!kelo_backend_connected()) {
    settle(fallback);
    return;
  }
  std::string id = g_popup_pending.add(settle);
  sock_write_line(popupq_line(id, popup, opener, url, fallback));
  settle_at_deadline(g_popup_pending, id, fallback);
}

// A window request without a window: the desktop opens web addresses, or nothing happens.
void ask_without_window(WebKitWebView* opener, const std::string& url,
                        const std::string& fallback) {
  popup_ask("", kelo_winid_for_webview(opener), url, fallback, [url](const std::string& outcome) {
    if (outcome == "external" && is_web_address(url)) kelo_open_external(url);
    sock_write_line(popup_event(std::nullopt, url, outcome));
  });
}

// The page's window features are known once the engine is ready to show the popup.
void on_ready_to_show(WebKitWebView* view, gpointer) {
  GtkWindow* window = GTK_WINDOW(gtk_widget_get_toplevel(GTK_WIDGET(view)));
  if (!GTK_IS_WINDOW(window)) return;
  GdkRectangle geometry{};
  webkit_window_properties_get_geometry(webkit_web_view_get_window_properties(view), &geometry);
  PopupSize size = popup_size(geometry.width, geometry.height);
  kelo_fit_to_workarea(window, size.width, size.height);
  kelo_set_content_size(window, size.width, size.height);
  // The engine gives 0 for a coordinate the page left out.
  if (geometry.x != 0 || geometry.y != 0) {
    move_to_wire_point(window, geometry.x, geometry.y);
  } else {
    kelo_center_window(window);
  }
}

void settle_popup_window(const std::string& id, const std::string& url,
                         const std::string& outcome) {
  GtkWindow* window = window_for_id(g_w, id);  // the backend may have closed it meanwhile
  if (outcome == "window") {
    if (window) gtk_window_present(window);
  } else {
    if (outcome == "external" && is_web_address(url)) kelo_open_external(url);
    if (window) do_winclose(g_w, std::make_unique<std::string>(id));
  }
  sock_write_line(popup_event(id, url, outcome));
}

}  // namespace

void kelo_popup_for_link(WebKitWebView* opener, const std::string& url) {
  ask_without_window(opener, url, new_window_default(g_settings.popups));
}

GtkWidget* kelo_create_popup(WebKitWebView* opener, WebKitNavigationAction* action) {
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  std::string url = uri ? uri : "";
  std::string policy = popup_policy(g_settings.popups);
  if (policy != "window") {
    ask_without_window(opener, url, policy);
    return nullptr;
  }
  std::string id =
      next_popup_name(g_popup_seq, [](const std::string& name) { return g_windows.count(name); });
  // The popup shares the opener's web process, as the page expects of window.open, but has
  // page scripts and a bridge of its own.
  auto scripts = GRef<WebKitUserContentManager>::adopt(webkit_user_content_manager_new());
  auto* view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", opener,
                                            "user-content-manager", scripts.get(), nullptr));
  PopupSize size = popup_size(0, 0);
  add_secondary_window(id, view, "", size.width, size.height, false);
  g_signal_connect(view, "ready-to-show", G_CALLBACK(on_ready_to_show), nullptr);
  popup_ask(id, kelo_winid_for_webview(opener), url, "window",
            [id, url](const std::string& outcome) { settle_popup_window(id, url, outcome); });
  return GTK_WIDGET(view);
}

void do_popupr(webview_t, std::unique_ptr<PopuprReq> req) {
  g_popup_pending.resolve(req->qid, req->answer);
}
