#include "system/apps_gio.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <unistd.h>

#include <fstream>

#include "launcher/app_state.h"
#include "platform/gobj.h"

namespace {

std::string base_name(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "org.example.Editor.desktop" -> "org.example.Editor"
std::string desktop_id(GAppInfo* info) {
  std::string id = g_app_info_get_id(info) ? g_app_info_get_id(info) : "";
  if (id.ends_with(".desktop")) id.resize(id.size() - 8);
  return id;
}

bool same_name(const std::string& a, const char* b) {
  return b && g_ascii_strcasecmp(a.c_str(), b) == 0;
}

bool matches_class(GAppInfo* info, const std::string& wm_class) {
  if (wm_class.empty()) return false;
  const char* startup = g_desktop_app_info_get_startup_wm_class(G_DESKTOP_APP_INFO(info));
  std::string id = desktop_id(info);
  return same_name(wm_class, startup) || same_name(wm_class, id.c_str()) ||
         same_name(wm_class, base_name(id).c_str()) ||
         same_name(wm_class, id.substr(id.find_last_of('.') + 1).c_str());
}

bool matches_exe(GAppInfo* info, const std::string& exe) {
  const char* program = g_app_info_get_executable(info);
  if (exe.empty() || !program) return false;
  return exe == program || base_name(exe) == program;
}

std::string proc_text(long pid, const char* what) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + what);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string proc_exe(long pid) {
  char buf[4096];
  std::string link = "/proc/" + std::to_string(pid) + "/exe";
  ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

}  // namespace

AppIdentity app_for_pid(long pid, const std::vector<std::string>& wm_classes) {
  if (pid == static_cast<long>(getpid())) return {g_app_name, g_bundle_id};
  std::string exe = proc_exe(pid);
  GList* all = g_app_info_get_all();
  GAppInfo* by_class = nullptr;
  GAppInfo* by_exe = nullptr;
  for (GList* l = all; l; l = l->next) {
    auto* info = static_cast<GAppInfo*>(l->data);
    if (!G_IS_DESKTOP_APP_INFO(info)) continue;
    for (const std::string& c : wm_classes) {
      if (!by_class && matches_class(info, c)) by_class = info;
    }
    if (!by_exe && matches_exe(info, exe)) by_exe = info;
  }
  AppIdentity app;
  if (GAppInfo* found = by_class ? by_class : by_exe) {
    app.name = g_app_info_get_name(found);
    app.id = desktop_id(found);
  } else {
    app.name = proc_text(pid, "comm");
  }
  g_list_free_full(all, g_object_unref);
  return app;
}
