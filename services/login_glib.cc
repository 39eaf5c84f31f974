// LOGIN: the app's XDG autostart entry, $XDG_CONFIG_HOME/autostart/<bundle id>.desktop.
#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "launcher/app_state.h"
#include "platform/gobj.h"
#include "services/desktop_services_gtk.h"
#include "wire/link.h"

namespace {

bool entry_enabled(const std::string& path) {
  gchar* text = nullptr;
  gsize size = 0;
  if (!g_file_get_contents(path.c_str(), &text, &size, nullptr)) return false;
  GCharPtr held(text);
  return autostart_enabled(std::string_view(text, size));
}

std::string write_entry(const std::string& dir, const std::string& path) {
  if (g_mkdir_with_parents(dir.c_str(), 0700) != 0) return std::strerror(errno);
  GCharPtr exe(g_file_read_link("/proc/self/exe", nullptr));
  std::string entry = autostart_entry(service_app_name(), exe ? exe.get() : "");
  GError* error = nullptr;
  if (g_file_set_contents(path.c_str(), entry.data(), static_cast<gssize>(entry.size()), &error)) {
    return "";
  }
  std::string message = error->message;
  g_error_free(error);
  return message;
}

}  // namespace

void do_login(webview_t, std::unique_ptr<LoginReq> req) {
  if (g_bundle_id.empty()) {
    send_reply(req->id, kLoginUnsupported);
    return;
  }
  std::string dir = std::string(g_get_user_config_dir()) + "/autostart";
  std::string path = dir + "/" + g_bundle_id + ".desktop";
  bool enabled = entry_enabled(path);
  std::string error;
  if (req->action == 1 && !enabled) {
    error = write_entry(dir, path);
  } else if (req->action == 0 && enabled && g_unlink(path.c_str()) != 0) {
    error = std::strerror(errno);
  }
  send_reply(req->id, login_reply(entry_enabled(path), error));
}
