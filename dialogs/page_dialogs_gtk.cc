// Each dialog belongs to its web view's window and closes with it; the engine waits for the
// answer meanwhile, as the page's script does.
#include "dialogs/page_dialogs_gtk.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "dialogs/modal_gtk.h"
#include "launcher/app_state.h"

namespace {

DialogPlace place_of(WebKitWebView* view) {
  GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(view));
  return {GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr, true};
}

// The host of the page's origin; the app name for pages without one (local files).
std::string dialog_title(WebKitWebView* view) {
  const char* uri = webkit_web_view_get_uri(view);
  WebKitSecurityOrigin* origin = webkit_security_origin_new_for_uri(uri ? uri : "");
  const char* host = origin ? webkit_security_origin_get_host(origin) : nullptr;
  std::string title = host && *host ? host : g_app_name;
  if (origin) webkit_security_origin_unref(origin);
  return title;
}

PageDialog page_dialog(WebKitScriptDialogType type) {
  switch (type) {
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
      return PageDialog::Confirm;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
      return PageDialog::Prompt;
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
      return PageDialog::BeforeUnload;
    default:
      return PageDialog::Alert;
  }
}

gboolean on_script_dialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer) {
  PageDialog kind = page_dialog(webkit_script_dialog_get_dialog_type(dialog));
  const char* message = webkit_script_dialog_get_message(dialog);
  const char* text =
      kind == PageDialog::Prompt ? webkit_script_dialog_prompt_get_default_text(dialog) : nullptr;
  AlertSpec spec =
      page_alert_spec(kind, dialog_title(view), message ? message : "", text ? text : "");
  webkit_script_dialog_ref(dialog);
  show_alert(spec, place_of(view), [dialog, kind](std::optional<DialogResult> result) {
    bool ok = result && result->confirmed;
    if (kind == PageDialog::Prompt && ok) {
      webkit_script_dialog_prompt_set_text(dialog, result->values.at(0).c_str());
    } else if (kind != PageDialog::Alert) {
      webkit_script_dialog_confirm_set_confirmed(dialog, ok);
    }
    webkit_script_dialog_close(dialog);
    webkit_script_dialog_unref(dialog);
  });
  return TRUE;
}

gboolean on_file_chooser(WebKitWebView* view, WebKitFileChooserRequest* request, gpointer) {
  ChooserSpec spec;
  spec.multiple = webkit_file_chooser_request_get_select_multiple(request);
  GtkFileFilter* filter = webkit_file_chooser_request_get_mime_types_filter(request);
  g_object_ref(request);
  show_chooser(spec, filter, place_of(view), [request](std::optional<DialogResult> result) {
    if (result && result->confirmed && !result->values.empty()) {
      std::vector<const char*> paths;
      for (const std::string& p : result->values)
        paths.push_back(p.c_str());
      paths.push_back(nullptr);
      webkit_file_chooser_request_select_files(request, paths.data());
    } else {
      webkit_file_chooser_request_cancel(request);
    }
    g_object_unref(request);
  });
  return TRUE;
}

}  // namespace

void kelo_install_page_dialogs(WebKitWebView* view) {
  g_signal_connect(view, "script-dialog", G_CALLBACK(on_script_dialog), nullptr);
  g_signal_connect(view, "run-file-chooser", G_CALLBACK(on_file_chooser), nullptr);
}
