// Downloads of every web view: where they go under the download policy, and their events.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <map>
#include <string>
#include <vector>

#include "launcher/app_state.h"
#include "platform/gobj.h"
#include "platform/test_autodlg_gtk.h"
#include "windows/downloads.h"
#include "windows/nav_gtk.h"
#include "wire/link.h"

namespace {

struct Running {
  GRef<WebKitDownload> download;
  KeloDownloadInfo info;
};

// Running downloads, from "started" to "done" or "failed".
std::map<WebKitDownload*, Running> g_downloads;
// Download ids; denied and cancelled downloads use up an id too.
int64_t g_download_seq = 0;

WebKitURIResponse* response_of(WebKitDownload* download) {
  return webkit_download_get_response(download);
}

std::string response_url(WebKitDownload* download) {
  WebKitURIResponse* response = response_of(download);
  const char* uri = response ? webkit_uri_response_get_uri(response) : nullptr;
  return uri ? uri : "";
}

std::string downloads_dir() {
  const char* dir = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
  if (dir && *dir) return dir;
  return std::string(g_get_home_dir()) + "/Downloads";
}

// The preferred extension of a MIME type, from shared-mime-info's glob lists.
std::string extension_for(const char* mime_type) {
  if (!mime_type || !*mime_type) return "";
  std::vector<std::string> dirs = {g_get_user_data_dir()};
  for (const char* const* d = g_get_system_data_dirs(); *d; ++d)
    dirs.emplace_back(*d);
  for (const std::string& dir : dirs) {
    char* text = nullptr;
    gsize length = 0;
    if (!g_file_get_contents((dir + "/mime/globs2").c_str(), &text, &length, nullptr)) continue;
    GCharPtr owned(text);
    std::string ext = mime_extension(std::string_view(text, length), mime_type);
    if (!ext.empty()) return ext;
  }
  return "";
}

// Taken: a file of that path, or a running download headed there.
bool path_taken(const std::string& path) {
  if (g_file_test(path.c_str(), G_FILE_TEST_EXISTS)) return true;
  for (const auto& [d, r] : g_downloads) {
    if (r.info.path == path) return true;
  }
  return false;
}

void write_event(const KeloDownloadInfo& info, const char* state, const std::string& error = {},
                 int64_t bytes = -1, int64_t total = -1) {
  sock_write_line(
      download_event(info.id, info.url, info.filename, info.path, state, error, bytes, total));
}

// A download that never starts: denied, or its save dialog was cancelled.
void refuse(WebKitDownload* download, const std::string& name, const char* state) {
  write_event({++g_download_seq, response_url(download), name, "", 0}, state);
  webkit_download_cancel(download);
}

void start(WebKitDownload* download, const std::string& name, const std::string& path,
           bool overwrite) {
  KeloDownloadInfo info{++g_download_seq, response_url(download), name, path, 0};
  write_event(info, "started");
  g_downloads[download] = {GRef<WebKitDownload>::retain(download), info};
  GCharPtr uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
  webkit_download_set_allow_overwrite(download, overwrite);
  if (uri) {
    webkit_download_set_destination(download, uri.get());
  } else {
    webkit_download_cancel(download);  // reported as failed
  }
}

// Automatic: the Downloads folder, the MIME type's extension, a name no file has yet. The
// last candidate (999) is never written over: an existing file makes the download fail.
void start_automatic(WebKitDownload* download, std::string name) {
  WebKitURIResponse* response = response_of(download);
  name = with_extension(
      name, extension_for(response ? webkit_uri_response_get_mime_type(response) : nullptr));
  std::string folder = downloads_dir();
  g_mkdir_with_parents(folder.c_str(), 0755);
  name = unique_download_name(folder, name, path_taken);
  start(download, name, folder + "/" + name, false);
}

void on_save_response(GtkDialog* dialog, int response, gpointer data) {
  auto* download = static_cast<WebKitDownload*>(data);
  GCharPtr path(response == GTK_RESPONSE_ACCEPT
                    ? gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))
                    : nullptr);
  if (path) {
    GCharPtr name(g_path_get_basename(path.get()));
    start(download, name.get(), path.get(), true);  // the dialog asked before replacing
  } else {
    GCharPtr name(gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(dialog)));
    refuse(download, name ? name.get() : "download", "cancelled");
  }
  gtk_widget_destroy(GTK_WIDGET(dialog));
}

// Ask: a save dialog in the Downloads folder; the download waits for its answer.
void ask_destination(WebKitDownload* download, const std::string& name) {
  WebKitWebView* view = webkit_download_get_web_view(download);
  GtkWidget* toplevel = view ? gtk_widget_get_toplevel(GTK_WIDGET(view)) : nullptr;
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      "Save File", GTK_IS_WINDOW(toplevel) ? GTK_WINDOW(toplevel) : nullptr,
      GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel", GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT,
      nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  auto* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
  gtk_file_chooser_set_current_folder(chooser, downloads_dir().c_str());
  gtk_file_chooser_set_current_name(chooser, name.c_str());
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  g_signal_connect_data(
      dialog, "response", G_CALLBACK(on_save_response), g_object_ref(download),
      [](gpointer d, GClosure*) { g_object_unref(d); }, GConnectFlags(0));
  kelo_test_autodlg_arm();
  gtk_widget_show(dialog);
}

gboolean on_decide_destination(WebKitDownload* download, const char* suggested, gpointer) {
  const std::string& mode = g_settings.downloads;
  std::string name = download_file_name(suggested ? suggested : "");
  if (mode == "deny") {
    refuse(download, name, "denied");
  } else if (mode == "ask") {
    ask_destination(download, name);
  } else {
    start_automatic(download, name);
  }
  return TRUE;
}

void on_received_data(WebKitDownload* download, guint64, gpointer) {
  auto it = g_downloads.find(download);
  if (it == g_downloads.end()) return;
  KeloDownloadInfo& info = it->second.info;
  if (!progress_due(info.last_progress_ms, g_get_monotonic_time() / 1000.0)) return;
  WebKitURIResponse* response = response_of(download);
  auto total =
      static_cast<int64_t>(response ? webkit_uri_response_get_content_length(response) : 0);
  write_event(info, "progress", {},
              static_cast<int64_t>(webkit_download_get_received_data_length(download)), total);
}

// The engine reports a failure and then the end of the download: the failure settles it.
void on_failed(WebKitDownload* download, GError* error, gpointer) {
  auto it = g_downloads.find(download);
  if (it == g_downloads.end()) return;
  write_event(it->second.info, "failed", error && error->message ? error->message : "failed");
  g_downloads.erase(it);
}

void on_finished(WebKitDownload* download, gpointer) {
  auto it = g_downloads.find(download);
  if (it == g_downloads.end()) return;
  write_event(it->second.info, "done");
  g_downloads.erase(it);
}

void on_download_started(WebKitWebContext*, WebKitDownload* download, gpointer) {
  g_signal_connect(download, "decide-destination", G_CALLBACK(on_decide_destination), nullptr);
  g_signal_connect(download, "received-data", G_CALLBACK(on_received_data), nullptr);
  g_signal_connect(download, "failed", G_CALLBACK(on_failed), nullptr);
  g_signal_connect(download, "finished", G_CALLBACK(on_finished), nullptr);
}

}  // namespace

void kelo_watch_downloads() {
  g_signal_connect(webkit_web_context_get_default(), "download-started",
                   G_CALLBACK(on_download_started), nullptr);
}
