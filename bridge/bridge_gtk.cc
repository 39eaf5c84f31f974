#include "bridge/bridge_gtk.h"

#include <webkit2/webkit2.h>

#include <cstdio>

#include "bridge/bridge.h"
#include "bridge/client_js.h"
#include "launcher/app_state.h"
#include "launcher/webview.h"
#include "windows/registry.h"
#include "wire/link.h"

namespace {

constexpr const char* kWinIdKey = "kelo-win-id";

void add_script(WebKitUserContentManager* ucm, const std::string& source) {
  WebKitUserScript* script =
      webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(ucm, script);
  webkit_user_script_unref(script);
}

gboolean on_user_message(WebKitWebView* view, WebKitUserMessage* message, gpointer) {
  if (g_strcmp0(webkit_user_message_get_name(message), "kelo.call") != 0) return FALSE;
  GVariant* params = webkit_user_message_get_parameters(message);
  if (!params || !g_variant_is_of_type(params, G_VARIANT_TYPE("(aybs)"))) return TRUE;
  GVariant* body_value = g_variant_get_child_value(params, 0);
  gsize body_size = 0;
  const void* body = g_variant_get_fixed_array(body_value, &body_size, 1);
  gboolean subframe = FALSE;
  const char* origin = nullptr;
  g_variant_get_child(params, 1, "b", &subframe);
  g_variant_get_child(params, 2, "&s", &origin);
  const char* win = static_cast<const char*>(g_object_get_data(G_OBJECT(view), kWinIdKey));
  PageMessage msg{std::string_view(static_cast<const char*>(body), body_size), subframe != FALSE,
                  origin};
  if (auto line = build_call_line(win ? win : "main", msg)) sock_write_line(*line);
  g_variant_unref(body_value);
  return TRUE;
}

void evaluate(WebKitWebView* view, const std::string& script) {
  webkit_web_view_evaluate_javascript(view, script.data(), static_cast<gssize>(script.size()),
                                      nullptr, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

void kelo_bridge_init(const std::string& exe_dir) {
  std::string folder = exe_dir + "/webext";
  if (!g_file_test((folder + "/libkelojs_webext.so").c_str(), G_FILE_TEST_IS_REGULAR)) {
    std::fprintf(stderr,
                 "launcher: the web process extension is missing from %s: pages cannot reach "
                 "the backend\n",
                 folder.c_str());
  }
  WebKitWebContext* context = webkit_web_context_get_default();
  webkit_web_context_set_web_extensions_directory(context, folder.c_str());
  // The extension keeps local pages inside their read-access root.
  webkit_web_context_set_web_extensions_initialization_user_data(
      context, g_variant_new_string(g_settings.read_access.c_str()));
}

void attach_kelo_bridge(WebKitWebView* view, const std::string& win_id) {
  g_object_set_data_full(G_OBJECT(view), kWinIdKey, g_strdup(win_id.c_str()), g_free);
  WebKitUserContentManager* ucm = webkit_web_view_get_user_content_manager(view);
  add_script(ucm, kelo_shim_js(win_id));
  add_script(ucm, KELO_CLIENT_JS);
  if (!g_settings.inject_js.empty()) add_script(ucm, g_settings.inject_js);
  g_signal_connect(view, "user-message-received", G_CALLBACK(on_user_message), nullptr);
}

void reply_to_call(const std::string& call_id, int status, const std::string& json) {
  ReplyTarget t = parse_reply_target(call_id);
  if (t.kind == ReplyTarget::Kind::Loopback) {
    send_reply(t.id, json);
  } else if (t.kind == ReplyTarget::Kind::Page) {
    if (WebKitWebView* view = webview_for_id(g_w, t.id)) {
      evaluate(view, resolve_script(t.number, status == 0, json));
    }
  }
}

void do_reply(webview_t, std::unique_ptr<ReplyReq> req) {
  reply_to_call(req->call_id, req->status, req->json);
}

void do_eval_win(webview_t w, std::unique_ptr<EvalReq> req) {
  if (req->win == "*") {
    if (WebKitWebView* main = webview_web_view(w)) evaluate(main, req->text);
    for (auto& [id, e] : g_windows)
      evaluate(e.web_view.get(), req->text);
    return;
  }
  if (WebKitWebView* view = webview_for_id(w, req->win)) evaluate(view, req->text);
}
