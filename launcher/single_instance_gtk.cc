#include "launcher/single_instance.h"

#include <gio/gio.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdio>

#include "launcher/app_state.h"
#include "launcher/bundle.h"
#include "launcher/open_urls.h"
#include "launcher/webview.h"
#include "platform/gobj.h"
#include "windows/registry.h"
#include "windows/winop_gtk.h"
#include "wire/link.h"

namespace {

GApplication* g_instance = nullptr;  // lives as long as the process

// The running app comes forward: its main window when it shows one, or the main window that
// hid on close.
void come_forward() {
  GtkWindow* main = webview_window(g_w);
  if (!main) return;
  if (gtk_widget_get_visible(GTK_WIDGET(main))) {
    gtk_window_present(main);
  } else if (g_hide_on_close) {
    auto show = std::make_unique<WinopReq>(WinopReq{"main", "show"});
    do_winop(g_w, std::move(show));
  }
}

void on_open(GApplication*, GFile** files, int count, const char*, gpointer) {
  std::vector<OpenItem> items;
  for (int i = 0; i < count; ++i) {
    if (GCharPtr path{g_file_get_path(files[i])}) {
      items.push_back({true, path.get()});
    } else if (GCharPtr uri{g_file_get_uri(files[i])}) {
      items.push_back({false, uri.get()});
    }
  }
  for (const std::string& line : open_event_lines(items))
    sock_write_line(line);
  come_forward();
}

void on_activate(GApplication*, gpointer) {
  come_forward();
}

}  // namespace

void kelo_claim_instance(const std::string& bundle_id, const std::vector<std::string>& opened) {
  std::string id = app_id_for_bundle(bundle_id);
  if (id.empty() || !g_application_id_is_valid(id.c_str())) return;
  g_instance = g_application_new(id.c_str(), G_APPLICATION_HANDLES_OPEN);
  GError* error = nullptr;
  if (!g_application_register(g_instance, nullptr, &error)) {
    std::fprintf(stderr, "launcher: running as a second instance: %s\n", error->message);
    g_error_free(error);
    return;
  }
  if (!g_application_get_is_remote(g_instance)) {
    g_signal_connect(g_instance, "open", G_CALLBACK(on_open), nullptr);
    g_signal_connect(g_instance, "activate", G_CALLBACK(on_activate), nullptr);
    return;
  }
  if (opened.empty()) {
    g_application_activate(g_instance);
  } else {
    std::vector<GFile*> files;
    for (const std::string& arg : opened)
      files.push_back(g_file_new_for_commandline_arg(arg.c_str()));
    g_application_open(g_instance, files.data(), static_cast<int>(files.size()), "");
    for (GFile* f : files)
      g_object_unref(f);
  }
  if (GDBusConnection* bus = g_application_get_dbus_connection(g_instance)) {
    g_dbus_connection_flush_sync(bus, nullptr, nullptr);
  }
  std::fflush(nullptr);
  _exit(0);
}
