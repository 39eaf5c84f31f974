// Web process side of the page bridge. Every frame's window gets
// window.webkit.messageHandlers.kelo.postMessage, bound to that frame: a call carries the
// frame's real place (main frame or not) and origin, which the page cannot choose.
#include <webkit2/webkit-web-extension.h>

#include <string>

namespace {

// A world of our own: page scripts cannot reach or redefine anything in it.
WebKitScriptWorld* g_probe_world = nullptr;

struct FrameBinding {
  WebKitWebPage* page = nullptr;  // weak
  WebKitFrame* frame = nullptr;   // weak
  std::string origin;             // the document's origin, read on first use
};

void binding_free(gpointer data) {
  auto* b = static_cast<FrameBinding*>(data);
  if (b->page)
    g_object_remove_weak_pointer(G_OBJECT(b->page), reinterpret_cast<gpointer*>(&b->page));
  if (b->frame)
    g_object_remove_weak_pointer(G_OBJECT(b->frame), reinterpret_cast<gpointer*>(&b->frame));
  delete b;
}

const std::string& frame_origin(FrameBinding* b) {
  if (!b->origin.empty()) return b->origin;
  b->origin = "null";
  JSCContext* ctx = webkit_frame_get_js_context_for_script_world(b->frame, g_probe_world);
  if (!ctx) return b->origin;
  JSCValue* v = jsc_context_evaluate(ctx, "self.origin", -1);
  if (v && jsc_value_is_string(v)) {
    char* s = jsc_value_to_string(v);
    if (s && *s) b->origin = s;
    g_free(s);
  }
  if (v) g_object_unref(v);
  g_object_unref(ctx);
  return b->origin;
}

void post_message(JSCValue* body, gpointer data) {
  auto* b = static_cast<FrameBinding*>(data);
  if (!b->page || !b->frame || !body || !jsc_value_is_string(body)) return;
  // As bytes, so a NUL inside the text travels too.
  GBytes* text = jsc_value_to_string_as_bytes(body);
  if (!text) return;
  gboolean subframe = !webkit_frame_is_main_frame(b->frame);
  GVariant* bytes = g_variant_new_from_bytes(G_VARIANT_TYPE_BYTESTRING, text, TRUE);
  g_bytes_unref(text);
  GVariant* params = g_variant_new("(@aybs)", bytes, subframe, frame_origin(b).c_str());
  WebKitUserMessage* msg = webkit_user_message_new("kelo.call", params);
  webkit_web_page_send_message_to_view(b->page, msg, nullptr, nullptr, nullptr);
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

  auto* b = new FrameBinding;
  b->page = page;
  b->frame = frame;
  g_object_add_weak_pointer(G_OBJECT(page), reinterpret_cast<gpointer*>(&b->page));
  g_object_add_weak_pointer(G_OBJECT(frame), reinterpret_cast<gpointer*>(&b->frame));
  JSCValue* fn = jsc_value_new_function(ctx, "postMessage", G_CALLBACK(post_message), b,
                                        binding_free, G_TYPE_NONE, 1, JSC_TYPE_VALUE);
  jsc_value_object_set_property(kelo, "postMessage", fn);

  for (JSCValue* v : {fn, kelo, handlers, webkit, global})
    g_object_unref(v);
  g_object_unref(ctx);
}

}  // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize(WebKitWebExtension*) {
  g_probe_world = webkit_script_world_new();
  g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                   G_CALLBACK(window_object_cleared), nullptr);
}
