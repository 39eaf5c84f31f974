// The launcher's own commands: TITLE, SIZE, RELOAD and QUIT.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "launcher/app_state.h"
#include "launcher/core_commands.h"
#include "launcher/startup.h"
#include "launcher/webview.h"
#include "platform/main_loop.h"
#include "platform/window_gtk.h"
#include "windows/chrome_gtk.h"
#include "windows/registry.h"

void do_title(webview_t w, std::unique_ptr<std::string> title) {
  if (w) webview_set_title(w, title->c_str());
}

void do_title_win(webview_t w, std::unique_ptr<EvalReq> req) {
  if (GtkWindow* window = window_for_id(w, req->win)) {
    kelo_set_window_title(window, req->text.c_str());
  }
}

void do_size(webview_t w, std::unique_ptr<SizeReq> req) {
  GtkWindow* window = window_for_id(w, req->win);
  if (!window || req->width <= 0 || req->height <= 0) return;
  int width = req->width, height = req->height;
  kelo_fit_to_workarea(window, width, height);
  // The window manager keeps the top-left corner (north-west gravity), so the top edge and the
  // left edge stay where they are and the window is not re-centred.
  kelo_set_content_size(window, width, height);
}

void do_reload(webview_t w, std::unique_ptr<NoArgs>) {
  if (!w) {
    for (auto& [id, e] : g_windows)
      webkit_web_view_reload_bypass_cache(e.web_view.get());
    return;
  }
  WebKitWebView* view = webview_web_view(w);
  const char* uri = webkit_web_view_get_uri(view);
  if (uri && *uri) {
    webkit_web_view_reload_bypass_cache(view);
  } else if (!g_html_path.empty()) {
    load_html_file(g_html_path);
  }
}

void do_terminate(webview_t, std::unique_ptr<NoArgs>) {
  kelo_main_loop_quit();
}
