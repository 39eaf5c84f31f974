#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "bridge/bridge_gtk.h"
#include "launcher/app_state.h"
#include "launcher/startup.h"
#include "launcher/webview.h"
#include "platform/main_loop.h"
#include "platform/window_gtk.h"
#include "system/get_gtk.h"
#include "windows/chrome_gtk.h"
#include "windows/pointer_moves_gtk.h"
#include "windows/nav_gtk.h"
#include "windows/registry.h"
#include "windows/winctrl.h"
#include "windows/winop_gtk.h"
#include "wire/handlers_core.h"

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
  gtk_window_resize(window, width, height);
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

const Handlers& launcher_handlers() {
  static const Handlers handlers = [] {
    Handlers h;
    h.reply = do_reply;
    h.eval_win = do_eval_win;
    h.title = do_title;
    h.title_win = do_title_win;
    h.size = do_size;
    h.winopen = do_winopen;
    h.winclose = do_winclose;
    h.winop = do_winop;
    h.dragwin = do_dragwin;
    h.resizewin = do_resizewin;
    h.winctrl = do_winctrl;
    h.chrome = do_chrome;
    h.get = do_get;
    h.navr = do_navr;
    h.popupr = do_popupr;
    h.reload = do_reload;
    h.terminate = do_terminate;
    return h;
  }();
  return handlers;
}
