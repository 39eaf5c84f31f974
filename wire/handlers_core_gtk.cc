#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "bridge/bridge_gtk.h"
#include "launcher/app_state.h"
#include "launcher/startup.h"
#include "launcher/webview.h"
#include "platform/main_loop.h"
#include "wire/handlers_core.h"

namespace {

// The web-view library instance of a window id: "" and "main" name the main window. Secondary
// windows join with the window registry.
webview_t main_for_id(webview_t w, const std::string& id) {
  return (id.empty() || id == "main") ? w : nullptr;
}

}  // namespace

void do_title(webview_t w, std::unique_ptr<std::string> title) {
  if (w) webview_set_title(w, title->c_str());
}

void do_title_win(webview_t w, std::unique_ptr<EvalReq> req) {
  if (webview_t target = main_for_id(w, req->win)) webview_set_title(target, req->text.c_str());
}

void do_size(webview_t w, std::unique_ptr<SizeReq> req) {
  webview_t target = main_for_id(w, req->win);
  if (!target || req->width <= 0 || req->height <= 0) return;
  // The window manager keeps the top-left corner (north-west gravity), so the top edge and the
  // left edge stay where they are and the window is not re-centred.
  gtk_window_resize(webview_window(target), req->width, req->height);
}

void do_reload(webview_t w, std::unique_ptr<NoArgs>) {
  if (!w) return;  // windowless: every registered window reloads once the registry exists
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

const Handlers& launcher_handlers() {
  static const Handlers handlers = [] {
    Handlers h;
    h.reply = do_reply;
    h.eval_win = do_eval_win;
    h.title = do_title;
    h.title_win = do_title_win;
    h.size = do_size;
    h.reload = do_reload;
    h.terminate = do_terminate;
    return h;
  }();
  return handlers;
}
