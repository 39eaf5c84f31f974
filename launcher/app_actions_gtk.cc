// Application-level actions: About, Quit, the web inspector, and the processor alert.
#include <gtk/gtk.h>
#include <sys/stat.h>
#include <webkit2/webkit2.h>

#include <cstdlib>

#include "launcher/app_state.h"
#include "launcher/core_commands.h"
#include "launcher/plist_source.h"
#include "launcher/startup.h"
#include "launcher/webview.h"
#include "windows/registry.h"
#include "wire/link.h"

namespace {

constexpr const char* kDefaultCredits = "Made with kelojs \u2014 https://kelojs.dev";

bool bundle_has_credits() {
  if (g_bundle_path.empty()) return false;
  for (const char* ext : {"html", "rtf", "rtfd"}) {
    std::string path = g_bundle_path + "/Contents/Resources/Credits." + ext;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return true;
  }
  return false;
}

std::string attribution() {
  PlistFile plist(g_bundle_path.empty() ? "" : g_bundle_path + "/Contents/Info.plist");
  SettingsInput in;
  in.env = [](const char* name) -> const char* { return std::getenv(name); };
  in.plist = [&plist](const char* key) { return plist.get(key); };
  return read_attribution(in);
}

gboolean detach_when_attached(WebKitWebInspector* inspector, gpointer) {
  g_idle_add_full(
      G_PRIORITY_DEFAULT_IDLE,
      [](gpointer data) -> gboolean {
        webkit_web_inspector_detach(static_cast<WebKitWebInspector*>(data));
        return G_SOURCE_REMOVE;
      },
      g_object_ref(inspector), g_object_unref);
  return FALSE;
}

}  // namespace

void kelo_show_about() {
  if (g_about_to_app.load()) {
    sock_write_line("MENU about");
    return;
  }
  GtkWidget* dialog = gtk_about_dialog_new();
  GtkAboutDialog* about = GTK_ABOUT_DIALOG(dialog);
  gtk_about_dialog_set_program_name(about, g_app_name.c_str());
  gtk_about_dialog_set_version(about, ("Version " + g_app_version).c_str());
  if (!bundle_has_credits()) {
    std::string credits = attribution();
    gtk_about_dialog_set_comments(about, credits.empty() ? kDefaultCredits : credits.c_str());
  }
  if (GtkWindow* main = webview_window(g_w)) gtk_window_set_transient_for(GTK_WINDOW(dialog), main);
  g_signal_connect(dialog, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
  gtk_widget_show(dialog);
}

void kelo_do_quit() {
  do_terminate(g_w, nullptr);
}

void kelo_open_inspector(WebKitWebView* view) {
  if (!view) return;
  WebKitWebInspector* inspector = webkit_web_view_get_inspector(view);
  // The inspector opens docked when it was docked last time; it is wanted in a window of its
  // own, and it can only leave the dock once it is in it.
  if (!g_signal_handler_find(inspector, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                             reinterpret_cast<gpointer>(detach_when_attached), nullptr)) {
    g_signal_connect(inspector, "attach", G_CALLBACK(detach_when_attached), nullptr);
  }
  webkit_web_inspector_show(inspector);
  webkit_web_inspector_detach(inspector);
}

void kelo_show_dev_tools() {
  kelo_open_inspector(webview_for_id(g_w, key_window_id()));
}

void show_arch_unsupported_alert() {
  std::fputs("launcher: the backend cannot run on this processor\n", stderr);
  if (!kelo_open_display(g_bundle_id)) return;
  GtkWidget* dialog =
      gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK,
                             "This app cannot run on this processor");
  gtk_message_dialog_format_secondary_text(
      GTK_MESSAGE_DIALOG(dialog),
      "Sorry \u2014 this app\u2019s backend was built for a different processor, so the app "
      "can\u2019t start.");
  gtk_window_set_title(GTK_WINDOW(dialog), g_app_name.c_str());
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}
