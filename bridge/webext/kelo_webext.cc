// Web process side of the page bridge. Every frame's window gets
// window.webkit.messageHandlers.kelo.postMessage, bound to that frame: a call carries the
// frame's real place (main frame or not) and origin, which the page cannot choose.
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <webkit2/webkit-web-extension.h>

#include <cstdio>
#include <string>

#include "launcher/read_access.h"

namespace {

// A world of our own: page scripts cannot reach or redefine anything in it.
WebKitScriptWorld* g_probe_world = nullptr;

// Each document a frame holds gets the next number, counted on the frame; a function made for
// one document knows its number and refuses to speak once the frame holds another.
constexpr char kDocumentKey[] = "kelo-document";

guint64 document_of(WebKitFrame* frame) {
  auto* n = static_cast<guint64*>(g_object_get_data(G_OBJECT(frame), kDocumentKey));
  return n ? *n : 0;
}

guint64 next_document(WebKitFrame* frame) {
  guint64 n = document_of(frame) + 1;
  g_object_set_data_full(G_OBJECT(frame), kDocumentKey, g_memdup2(&n, sizeof n), g_free);
  return n;
}

// The document's origin as the engine sees it, read in our own world so that nothing the
// page redefined takes part.
std::string document_origin(WebKitFrame* frame) {
  std::string origin = "null";
  JSCContext* ctx = webkit_frame_get_js_context_for_script_world(frame, g_probe_world);
  if (!ctx) return origin;
  JSCValue* v = jsc_context_evaluate(ctx, "self.origin", -1);
  if (v && jsc_value_is_string(v)) {
    char* s = jsc_value_to_string(v);
    if (s && *s) origin = s;
    g_free(s);
  }
  if (v) g_object_unref(v);
  g_object_unref(ctx);
  return origin;
}

// What a postMessage function is bound to: the frame, the document it was made for and that
// document's origin, all fixed when the document's window object was made.
struct FrameBinding {
  WebKitWebPage* page = nullptr;  // weak
  WebKitFrame* frame = nullptr;   // weak
  guint64 document = 0;
  std::string origin;
};

void binding_free(gpointer data) {
  auto* b = static_cast<FrameBinding*>(data);
  if (b->page)
    g_object_remove_weak_pointer(G_OBJECT(b->page), reinterpret_cast<gpointer*>(&b->page));
  if (b->frame)
    g_object_remove_weak_pointer(G_OBJECT(b->frame), reinterpret_cast<gpointer*>(&b->frame));
  delete b;
}

FrameBinding* new_binding(WebKitWebPage* page, WebKitFrame* frame, guint64 document,
                          const std::string& origin) {
  auto* b = new FrameBinding{page, frame, document, origin};
  g_object_add_weak_pointer(G_OBJECT(page), reinterpret_cast<gpointer*>(&b->page));
  g_object_add_weak_pointer(G_OBJECT(frame), reinterpret_cast<gpointer*>(&b->frame));
  return b;
}

// Whether the function bound to b may still speak: its document is the frame's current one.
bool still_current(const FrameBinding* b) {
  if (b->page && b->frame && document_of(b->frame) == b->document) return true;
  // A function kept from a document that is gone would speak for whatever the frame holds now.
  std::fputs("launcher: dropped a page call made through the bridge of a document that is gone\n",
             stderr);
  return false;
}

void post_message(JSCValue* body, gpointer data) {
  auto* b = static_cast<FrameBinding*>(data);
  if (!still_current(b) || !body || !jsc_value_is_string(body)) return;
  // As bytes, so a NUL inside the text travels too.
  GBytes* text = jsc_value_to_string_as_bytes(body);
  if (!text) return;
  gboolean subframe = !webkit_frame_is_main_frame(b->frame);
  GVariant* bytes = g_variant_new_from_bytes(G_VARIANT_TYPE_BYTESTRING, text, TRUE);
  g_bytes_unref(text);
  GVariant* params = g_variant_new("(@aybs)", bytes, subframe, b->origin.c_str());
  WebKitUserMessage* msg = webkit_user_message_new("kelo.call", params);
  webkit_web_page_send_message_to_view(b->page, msg, nullptr, nullptr, nullptr);
}

// Camera and microphone requests: the launcher decides by the origin of the frame that asks,
// which it hears of here just before the engine asks it for permission (both travel the same
// channel, in order).
void report_media_request(gpointer data) {
  auto* b = static_cast<FrameBinding*>(data);
  if (!b->page || !b->frame || document_of(b->frame) != b->document) return;
  GVariant* params =
      g_variant_new("(sb)", b->origin.c_str(), !webkit_frame_is_main_frame(b->frame));
  webkit_web_page_send_message_to_view(b->page, webkit_user_message_new("kelo.media", params),
                                       nullptr, nullptr, nullptr);
}

// Wraps getUserMedia of the document's realm before any page script runs. The wrapper keeps the
// engine's function and Reflect.apply to itself, so no page script can reach a getUserMedia
// that does not report first.
constexpr char kMediaWrapper[] =
    "(function(report){var P=typeof MediaDevices==='function'&&MediaDevices.prototype;"
    "if(!P||typeof P.getUserMedia!=='function')return;var real=P.getUserMedia,"
    "apply=Reflect.apply;Object.defineProperty(P,'getUserMedia',{value:function getUserMedia(c)"
    "{report();return apply(real,this,[c]);},writable:true,configurable:true});})";

void watch_media_requests(JSCContext* ctx, FrameBinding* b) {
  JSCValue* wrap = jsc_context_evaluate(ctx, kMediaWrapper, -1);
  JSCValue* report = jsc_value_new_function(ctx, "report", G_CALLBACK(report_media_request), b,
                                            binding_free, G_TYPE_NONE, 0);
  if (wrap && jsc_value_is_function(wrap)) {
    JSCValue* done = jsc_value_function_call(wrap, JSC_TYPE_VALUE, report, G_TYPE_NONE);
    if (done) g_object_unref(done);
  }
  g_object_unref(report);
  if (wrap) g_object_unref(wrap);
}

JSCValue* object_property(JSCContext* ctx, JSCValue* owner, const char* name) {
  JSCValue* v = jsc_value_object_get_property(owner, name);
  if (v && jsc_value_is_object(v)) return v;
  if (v) g_object_unref(v);
  JSCValue* created = jsc_value_new_object(ctx, nullptr, nullptr);
  jsc_value_object_set_property(owner, name, created);
  return created;
}

void window_object_cleared(WebKitScriptWorld*, WebKitWebPage* page, WebKitFrame* frame, gpointer) {
  JSCContext* ctx = webkit_frame_get_js_context(frame);
  JSCValue* global = jsc_context_get_global_object(ctx);
  JSCValue* webkit = object_property(ctx, global, "webkit");
  JSCValue* handlers = object_property(ctx, webkit, "messageHandlers");
  JSCValue* kelo = object_property(ctx, handlers, "kelo");

  guint64 document = next_document(frame);
  std::string origin = document_origin(frame);
  JSCValue* fn = jsc_value_new_function(ctx, "postMessage", G_CALLBACK(post_message),
                                        new_binding(page, frame, document, origin), binding_free,
                                        G_TYPE_NONE, 1, JSC_TYPE_VALUE);
  jsc_value_object_set_property(kelo, "postMessage", fn);
  watch_media_requests(ctx, new_binding(page, frame, document, origin));

  for (JSCValue* v : {fn, kelo, handlers, webkit, global})
    g_object_unref(v);
  g_object_unref(ctx);
}

// --- read access of local pages ---------------------------------------------------------
// A local page reads files only inside its read-access root: its own folder (or the folder
// above, when that holds "shared"), widened to the configured read-access folder.

std::string g_read_access;  // the launcher's read-access setting

std::string file_path_of(const char* uri) {
  if (!uri || g_ascii_strncasecmp(uri, "file:", 5) != 0) return {};
  char* path = g_filename_from_uri(uri, nullptr, nullptr);
  if (!path) return {};
  std::string out = path;
  g_free(path);
  return out;
}

// The real path when the file exists (symbolic links resolved), else the path tidied up.
std::string real_or_standard(const std::string& path) {
  char buf[PATH_MAX];
  if (realpath(path.c_str(), buf)) return buf;
  return standardize_path(path);
}

gboolean on_send_request(WebKitWebPage* page, WebKitURIRequest* request, WebKitURIResponse*,
                         gpointer) {
  const char* uri = webkit_uri_request_get_uri(request);
  if (!uri || g_ascii_strncasecmp(uri, "file:", 5) != 0) return FALSE;
  const char* page_uri = webkit_web_page_get_uri(page);
  std::string page_path = file_path_of(page_uri);
  // The page's own document, and file requests of pages that are not local, are the
  // engine's business.
  if (page_path.empty() || g_strcmp0(uri, page_uri) == 0) return FALSE;
  // A file URL that does not decode to a path (an encoded "/" for one) is refused.
  std::string wanted = file_path_of(uri);
  if (wanted.empty()) return TRUE;
  auto is_dir = [](const std::string& p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  };
  std::string root =
      real_or_standard(kelo_read_access_path(real_or_standard(page_path), g_read_access, is_dir));
  return path_inside(real_or_standard(wanted), root) ? FALSE : TRUE;  // TRUE cancels the request
}

// The launcher paces the streams it feeds a page by these echoes: an answer leaves only once
// every message sent before the probe has been taken in here.
gboolean on_view_message(WebKitWebPage*, WebKitUserMessage* message, gpointer) {
  if (g_strcmp0(webkit_user_message_get_name(message), "kelo.echo") != 0) return FALSE;
  webkit_user_message_send_reply(message, webkit_user_message_new("kelo.echo", nullptr));
  return TRUE;
}

void on_page_created(WebKitWebExtension*, WebKitWebPage* page, gpointer) {
  g_signal_connect(page, "send-request", G_CALLBACK(on_send_request), nullptr);
  g_signal_connect(page, "user-message-received", G_CALLBACK(on_view_message), nullptr);
}

}  // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize_with_user_data(
    WebKitWebExtension* extension, GVariant* data) {
  if (data && g_variant_is_of_type(data, G_VARIANT_TYPE_STRING)) {
    g_read_access = g_variant_get_string(data, nullptr);
  }
  g_probe_world = webkit_script_world_new();
  g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                   G_CALLBACK(window_object_cleared), nullptr);
  g_signal_connect(extension, "page-created", G_CALLBACK(on_page_created), nullptr);
}
