#include <gtk/gtk.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <climits>
#include <clocale>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "bridge/bridge_gtk.h"
#include "launcher/app_state.h"
#include "launcher/open_urls.h"
#include "launcher/read_access.h"
#include "launcher/startup.h"
#include "launcher/webview.h"
#include "platform/window_gtk.h"
#include "services/dock_gtk.h"
#include "windows/chrome_gtk.h"
#include "windows/registry.h"
#include "windows/webview_config.h"
#include "wire/link.h"

bool kelo_open_display(const std::string& program_class) {
  const char* x = std::getenv("DISPLAY");
  const char* wl = std::getenv("WAYLAND_DISPLAY");
  if ((!x || !*x) && (!wl || !*wl)) return false;
  if (!program_class.empty()) g_set_prgname(program_class.c_str());
  gdk_set_allowed_backends("x11,*");
  if (!gtk_init_check(nullptr, nullptr)) return false;
  // GTK takes the locale from the environment; numbers on the wire and in JSON keep the dot.
  std::setlocale(LC_NUMERIC, "C");
  // GTK's start-up makes the class from the program name with a capital first letter.
  if (!program_class.empty()) gdk_set_program_class(program_class.c_str());
  return true;
}

bool initialize_main_window(const std::string& title, int width, int height, bool package_run) {
  g_w = webview_create(g_debug, nullptr);
  if (!g_w) {
    std::fputs("launcher: failed to create webview\n", stderr);
    return false;
  }
  GtkWindow* window = webview_window(g_w);
  WebKitWebView* view = webview_web_view(g_w);
  apply_webview_prefs(view);
  kelo_apply_web_hooks(view);
  install_main_window_hooks(g_w);
  apply_dev_icon(window);
  if (g_accessory) kelo_hide_from_taskbar(window);
  webview_set_title(g_w, title.c_str());
  // The packaged chrome goes on before the window gets its size and again once it is centred.
  ChromeReq chrome = chrome_from_setting(g_settings.chrome);
  bool with_chrome = package_run && !g_settings.chrome.empty();
  if (with_chrome) apply_chrome_fields(window, view, chrome);
  kelo_fit_to_workarea(window, width, height);
  webview_set_size(g_w, width, height, WEBVIEW_HINT_NONE);
  if (width > 0 && height > 0) kelo_center_window(window);
  if (with_chrome) apply_chrome_fields(window, view, chrome);
  attach_kelo_bridge(view, "main");
  kelo_show_window(window);
  return true;
}

bool load_html_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  // The web process extension keeps the page inside its read-access root.
  if (WebKitWebView* view = webview_web_view(g_w)) {
    kelo_load_page(view, path);
    return true;
  }
  std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  webview_set_html(g_w, html.c_str());
  return true;
}

void initialize_windowless_application() {
  g_suppress_order_front = false;
  apply_dev_icon(nullptr);
}

bool start_front_end(const std::string& url) {
  if (is_web_address(url)) {
    webview_navigate(g_w, url.c_str());
  } else {
    g_html_path = url;
    if (!load_html_file(url)) return false;
  }
  if (g_suppress_order_front) {
    gtk_widget_hide(GTK_WIDGET(webview_window(g_w)));
    g_suppress_order_front = false;
  }
  if (g_defer_show) schedule_deferred_show();
  if (g_debug_open) {
    // The inspector attaches to a loaded page: open it once the first document has committed.
    g_signal_connect(webview_web_view(g_w), "load-changed",
                     G_CALLBACK(+[](WebKitWebView* view, WebKitLoadEvent event, gpointer) {
                       if (event != WEBKIT_LOAD_COMMITTED) return;
                       g_signal_handlers_disconnect_by_data(view, &g_debug_open);
                       kelo_open_inspector(view);
                     }),
                     &g_debug_open);
  }
  return true;
}

namespace {
guint g_defer_source = 0;

gboolean deferred_show(gpointer) {
  g_defer_source = 0;
  if (g_defer_show && g_w) {
    g_defer_show = false;
    gtk_window_present(webview_window(g_w));
  }
  return G_SOURCE_REMOVE;
}
}  // namespace

void schedule_deferred_show() {
  g_defer_source = g_timeout_add(3000, deferred_show, nullptr);
}

void cancel_deferred_show() {
  g_defer_show = false;
}

void send_open_urls(const std::vector<std::string>& args) {
  if (args.empty()) return;
  char cwd[PATH_MAX];
  std::string dir = getcwd(cwd, sizeof cwd) ? cwd : "/";
  std::vector<OpenItem> items;
  for (const std::string& arg : args)
    items.push_back(classify_open_arg(arg, dir));
  for (const std::string& line : open_event_lines(items))
    sock_write_line(line);
}
