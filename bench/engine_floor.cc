// The engine floor of the bridge bench: the least a GTK 3 + WebKitGTK program does to carry a
// page call to native code and settle it. One window, one web view, a script message handler
// named "floor", and for each message one script evaluation that settles the page's promise. No
// socket, no thread, no web process extension.
//
// The page gets the same page-side logic a launcher page has: a call counter, a pending table,
// a promise per call, and kelo.api.call posting the JSON text of {method, params}. Like the
// launcher's client script, it calls client.hello at document start.
//
// Usage: engine_floor <html-file> [WxH]
// Standard output, one line each:
//   HELLO <ns>      the first message reached the handler (CLOCK_MONOTONIC, nanoseconds)
//   PINGS <ns>...   before the MSG of bench.result: when each bench.ping call reached the
//                   handler, in nanoseconds after the first one
//   MSG <payload>   a message whose method is not bench.ping
// Every call is answered with its params. The program ends when its standard input ends.
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_text.h"
#include "platform/gobj.h"
#include "wire/text.h"

namespace {

constexpr const char* kPageScript =
    "(function(){if(window.__floorShim)return;window.__floorShim=true;"
    "var n=0,pending={};"
    "window.__invoke=function(payload){return new Promise(function(resolve,reject){"
    "var s=++n;pending[s]={resolve:resolve,reject:reject};"
    "window.webkit.messageHandlers.floor.postMessage(String(s)+':'+String(payload));});};"
    "window.__floorResolve=function(s,ok,jsonText){var p=pending[s];if(!p)return;"
    "delete pending[s];var v=null;try{v=JSON.parse(jsonText);}catch(e){v=null;}"
    "if(ok)p.resolve(v);else p.reject(v);};"
    "function call(method,params){var payload;"
    "try{payload=JSON.stringify({method:method,params:params});}"
    "catch(e){return Promise.reject(e);}"
    "var invoke=window.__invoke;"
    "if(typeof invoke!=='function')return Promise.reject(new Error('no bridge'));"
    "try{return Promise.resolve(invoke(payload));}catch(e){return Promise.reject(e);}}"
    "window.kelo={api:{call:call}};"
    "call('client.hello').catch(function(){});})();";

struct Floor {
  WebKitWebView* view = nullptr;  // owned by its window
  GMainLoop* loop = nullptr;
  bool greeted = false;
  std::vector<int64_t> pings;  // arrival times of bench.ping calls
  std::string script;          // reused for every answer
};

void print_pings(const std::vector<int64_t>& pings) {
  std::string line = "PINGS";
  for (int64_t t : pings)
    line.append(" ").append(std::to_string(t - pings.front()));
  std::puts(line.c_str());
}

void on_message(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
  auto* floor = static_cast<Floor*>(data);
  JSCValue* value = webkit_javascript_result_get_js_value(result);
  if (!value || !jsc_value_is_string(value)) return;
  GCharPtr text(jsc_value_to_string(value));
  std::string_view body = text ? text.get() : "";
  int64_t now = monotonic_ns();
  if (!floor->greeted) {
    floor->greeted = true;
    std::printf("HELLO %lld\n", static_cast<long long>(now));
    std::fflush(stdout);
  }
  auto posted = split_posted(body);
  if (!posted) return;
  auto call = parse_payload(posted->payload);
  std::string_view answer = call ? call->params : std::string_view("null");
  if (call && call->method == "bench.ping") {
    floor->pings.push_back(now);
  } else {
    if (call && call->method == "bench.result" && !floor->pings.empty()) print_pings(floor->pings);
    std::printf("MSG %.*s\n", static_cast<int>(posted->payload.size()), posted->payload.data());
    std::fflush(stdout);
  }
  std::string& js = floor->script;
  js.assign("window.__floorResolve(").append(posted->number).append(",true,");
  json_escape_to(js, answer);
  js.push_back(')');
  webkit_web_view_evaluate_javascript(floor->view, js.data(), static_cast<gssize>(js.size()),
                                      nullptr, nullptr, nullptr, nullptr, nullptr);
}

gboolean on_stdin(gint fd, GIOCondition, gpointer data) {
  char buf[256];
  ssize_t n = read(fd, buf, sizeof buf);
  if (n > 0) return G_SOURCE_CONTINUE;
  g_main_loop_quit(static_cast<Floor*>(data)->loop);
  return G_SOURCE_REMOVE;
}

gboolean on_delete(GtkWidget*, GdkEvent*, gpointer data) {
  g_main_loop_quit(static_cast<Floor*>(data)->loop);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <html-file> [WxH]\n", argv[0]);
    return 2;
  }
  int width = 960, height = 640;
  if (argc > 2 && std::sscanf(argv[2], "%dx%d", &width, &height) != 2) {
    std::fprintf(stderr, "engine_floor: bad size %s\n", argv[2]);
    return 2;
  }
  char resolved[PATH_MAX];
  if (!realpath(argv[1], resolved)) {
    std::fprintf(stderr, "engine_floor: cannot read %s\n", argv[1]);
    return 1;
  }
  gdk_set_allowed_backends("x11,*");
  if (!gtk_init_check(nullptr, nullptr)) {
    std::fputs("engine_floor: no display\n", stderr);
    return 3;
  }

  Floor floor;
  floor.pings.reserve(1 << 16);
  floor.loop = g_main_loop_new(nullptr, FALSE);
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  floor.view = WEBKIT_WEB_VIEW(webkit_web_view_new());
  WebKitUserContentManager* ucm = webkit_web_view_get_user_content_manager(floor.view);
  g_signal_connect(ucm, "script-message-received::floor", G_CALLBACK(on_message), &floor);
  webkit_user_content_manager_register_script_message_handler(ucm, "floor");
  WebKitUserScript* script =
      webkit_user_script_new(kPageScript, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(ucm, script);
  webkit_user_script_unref(script);

  gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(floor.view));
  gtk_window_set_title(GTK_WINDOW(window), "engine floor");
  gtk_window_set_default_size(GTK_WINDOW(window), width, height);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  g_signal_connect(window, "delete-event", G_CALLBACK(on_delete), &floor);
  gtk_widget_show(GTK_WIDGET(floor.view));
  gtk_window_present(GTK_WINDOW(window));
  g_unix_fd_add(STDIN_FILENO, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), on_stdin,
                &floor);

  GCharPtr uri(g_filename_to_uri(resolved, nullptr, nullptr));
  webkit_web_view_load_uri(floor.view, uri.get());
  g_main_loop_run(floor.loop);

  gtk_widget_destroy(window);
  g_main_loop_unref(floor.loop);
  return 0;
}
