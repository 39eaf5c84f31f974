// Hooks every web view gets: file drops become DROP events, and camera and microphone requests
// from trusted origins are granted while the user decides for the others.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <memory>
#include <string>
#include <vector>

#include "dialogs/page_dialogs_gtk.h"
#include "launcher/app_state.h"
#include "media/trust.h"
#include "menus/context_menu_gtk.h"
#include "menus/devtools_key_gtk.h"
#include "platform/gobj.h"
#include "windows/nav_gtk.h"
#include "windows/webview_config.h"
#include "wire/link.h"
#include "wire/text.h"

namespace {

// The engine reads a drag's data as soon as the drag enters the view, and the drag may go on
// to leave without dropping. The files therefore stay with the drag context and become DROP
// only when the drag drops.
constexpr char kDropPaths[] = "kelo-drop-paths";

using PathList = std::vector<std::string>;

void on_drag_data(GtkWidget*, GdkDragContext* context, int, int, GtkSelectionData* data, guint,
                  guint, gpointer) {
  char** uris = gtk_selection_data_get_uris(data);
  if (!uris) return;
  auto paths = std::make_unique<PathList>();
  for (char** u = uris; *u; ++u) {
    GCharPtr path(g_filename_from_uri(*u, nullptr, nullptr));
    if (path) paths->emplace_back(path.get());
  }
  g_strfreev(uris);
  if (paths->empty()) return;
  g_object_set_data_full(G_OBJECT(context), kDropPaths, paths.release(),
                         [](gpointer p) { delete static_cast<PathList*>(p); });
}

gboolean on_drag_drop(GtkWidget*, GdkDragContext* context, int, int, guint, gpointer) {
  std::unique_ptr<PathList> paths(
      static_cast<PathList*>(g_object_steal_data(G_OBJECT(context), kDropPaths)));
  if (paths) sock_write_line("DROP " + json_string_array(*paths));
  return FALSE;  // the engine handles the drop as it would anyway
}

std::string capabilities_text(bool camera, bool microphone) {
  if (camera && microphone) return "camera and microphone";
  return camera ? "camera" : "microphone";
}

// The frames of a web view that asked for the camera or the microphone since its last
// permission request, as its web process reported them.
constexpr char kAskingFrames[] = "kelo-asking-frames";

using OriginList = std::vector<std::string>;

gboolean on_media_report(WebKitWebView* view, WebKitUserMessage* message, gpointer) {
  if (g_strcmp0(webkit_user_message_get_name(message), "kelo.media") != 0) return FALSE;
  GVariant* params = webkit_user_message_get_parameters(message);
  if (!params || !g_variant_is_of_type(params, G_VARIANT_TYPE("(sb)"))) return TRUE;
  const char* origin = nullptr;
  g_variant_get_child(params, 0, "&s", &origin);
  auto* frames = static_cast<OriginList*>(g_object_get_data(G_OBJECT(view), kAskingFrames));
  if (!frames) {
    frames = new OriginList;
    g_object_set_data_full(G_OBJECT(view), kAskingFrames, frames,
                           [](gpointer p) { delete static_cast<OriginList*>(p); });
  }
  frames->emplace_back(origin);
  return TRUE;
}

OriginList take_asking_frames(WebKitWebView* view) {
  std::unique_ptr<OriginList> frames(
      static_cast<OriginList*>(g_object_steal_data(G_OBJECT(view), kAskingFrames)));
  return frames ? *frames : OriginList{};
}

gboolean on_permission(WebKitWebView* view, WebKitPermissionRequest* request, gpointer) {
  if (!WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)) return FALSE;
  auto* media = WEBKIT_USER_MEDIA_PERMISSION_REQUEST(request);
  bool camera = webkit_user_media_permission_is_for_video_device(media);
  bool microphone = webkit_user_media_permission_is_for_audio_device(media);
  const char* uri = webkit_web_view_get_uri(view);
  std::string origin = url_origin_str(uri ? uri : "");
  const TrustRules& rules = g_settings.media_origins;
  OriginList frames = take_asking_frames(view);
  if (capture_trusted(rules, camera, microphone, origin, frames)) {
    webkit_permission_request_allow(request);
    return TRUE;
  }
  // Not trusted: the user decides, as the engine's own prompt would let them, knowing which
  // site asks.
  if (!frames.empty()) origin = frames.back();
  GtkWidget* toplevel = gtk_widget_get_toplevel(GTK_WIDGET(view));
  GtkWidget* dialog = gtk_message_dialog_new(
      GTK_IS_WINDOW(toplevel) ? GTK_WINDOW(toplevel) : nullptr, GTK_DIALOG_DESTROY_WITH_PARENT,
      GTK_MESSAGE_QUESTION, GTK_BUTTONS_NONE, "Allow %s to use your %s?", origin.c_str(),
      capabilities_text(camera, microphone).c_str());
  gtk_dialog_add_buttons(GTK_DIALOG(dialog), "Don’t Allow", GTK_RESPONSE_REJECT, "Allow",
                         GTK_RESPONSE_ACCEPT, nullptr);
  g_signal_connect(dialog, "response", G_CALLBACK(+[](GtkDialog* d, int response, gpointer data) {
                     auto* req = static_cast<WebKitPermissionRequest*>(data);
                     if (response == GTK_RESPONSE_ACCEPT) {
                       webkit_permission_request_allow(req);
                     } else {
                       webkit_permission_request_deny(req);
                     }
                     gtk_widget_destroy(GTK_WIDGET(d));
                   }),
                   g_object_ref(request));
  g_object_weak_ref(
      G_OBJECT(dialog), [](gpointer data, GObject*) { g_object_unref(data); }, request);
  gtk_widget_show(dialog);
  return TRUE;
}

}  // namespace

void kelo_apply_web_hooks(WebKitWebView* view) {
  g_signal_connect(view, "drag-data-received", G_CALLBACK(on_drag_data), nullptr);
  g_signal_connect(view, "drag-drop", G_CALLBACK(on_drag_drop), nullptr);
  g_signal_connect(view, "permission-request", G_CALLBACK(on_permission), nullptr);
  g_signal_connect(view, "user-message-received", G_CALLBACK(on_media_report), nullptr);
  kelo_install_ctx_hook(view);
  kelo_apply_web_delegates(view);
  kelo_install_page_dialogs(view);
  kelo_install_devtools_key(view);
}
