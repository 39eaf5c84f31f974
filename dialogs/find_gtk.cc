// FIND and STOPFIND in the target window's page.
#include <webkit2/webkit2.h>

#include "bridge/bridge_gtk.h"
#include "dialogs/find.h"
#include "dialogs/find_gtk.h"
#include "platform/gobj.h"
#include "windows/registry.h"

namespace {

void on_found(GObject* view, GAsyncResult* result, gpointer data) {
  std::unique_ptr<std::string> callref(static_cast<std::string*>(data));
  GError* error = nullptr;
  JSCValue* value =
      webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &error);
  std::string answer = kFindNothing;
  if (value && jsc_value_is_string(value)) answer = GCharPtr(jsc_value_to_string(value)).get();
  if (value) g_object_unref(value);
  if (error) g_error_free(error);
  reply_to_call(*callref, 0, answer);
}

}  // namespace

void do_find(webview_t w, std::unique_ptr<FindReq> req) {
  WebKitWebView* view = webview_for_id(w, callref_window(req->callref));
  if (!view || req->text.empty()) {
    reply_to_call(req->callref, 0, kFindNothing);
    return;
  }
  std::string script = find_script(*req);
  webkit_web_view_evaluate_javascript(view, script.data(), static_cast<gssize>(script.size()),
                                      nullptr, nullptr, nullptr, on_found,
                                      new std::string(req->callref));
}

void do_stopfind(webview_t w, std::unique_ptr<std::string> callref) {
  if (WebKitWebView* view = webview_for_id(w, callref_window(*callref))) {
    static constexpr char kClear[] = "window.getSelection().removeAllRanges()";
    webkit_web_view_evaluate_javascript(view, kClear, -1, nullptr, nullptr, nullptr, nullptr,
                                        nullptr);
  }
  reply_to_call(*callref, 0, "true");
}
