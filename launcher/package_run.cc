#include "launcher/package_run.h"

#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "launcher/app_state.h"
#include "launcher/bundle.h"
#include "launcher/plist_source.h"
#include "launcher/single_instance.h"
#include "launcher/startup.h"
#include "launcher/unix_socket.h"
#include "wire/link.h"

extern char** environ;

namespace {

std::string user_temp_dir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = tmp && *tmp ? tmp : "/tmp";
  if (dir.back() != '/') dir.push_back('/');
  return dir;
}

bool listen_on(const std::string& path) {
  int fd = -1;
  int err = unix_socket_open(path, fd, [](int s, const sockaddr_un& addr) {
    if (bind(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) return -1;
    return listen(s, 1);
  });
  if (err != 0) {
    std::fprintf(stderr, "launcher: cannot listen on %s: %s\n", path.c_str(), std::strerror(err));
    return false;
  }
  g_listen_fd = fd;
  return true;
}

}  // namespace

bool bundle_mode_setup(const std::string& exe_path, const PlistFile& plist,
                       const std::vector<std::string>& opened, LaunchParams& out) {
  const std::string& bundle = g_bundle_path;
  g_windowless = plist_bool(plist.get("KelojsNoMainWindow"));
  std::string url = plist_string(plist.get("KelojsUrl"));
  struct stat st;
  bool index_exists =
      !bundle.empty() &&
      stat((bundle + "/Contents/Resources/app/frontend/index.html").c_str(), &st) == 0;
  if (!is_package_run(bundle, g_windowless, url, index_exists)) return false;

  for (const std::string& name : scrubbed_env_names(environ))
    unsetenv(name.c_str());
  g_bundle_id = plist_string(plist.get("CFBundleIdentifier"));
  kelo_claim_instance(g_bundle_id, opened);

  PackageParams p = package_params(bundle, url, plist_string(plist.get("CFBundleName")),
                                   plist_string(plist.get("CFBundleVersion")),
                                   plist_string(plist.get("KelojsWindowSize")));
  out.url = p.url;
  out.title = p.title;
  out.version = p.version;
  out.size = p.size;
  g_app_name = p.title;  // the alert below already names the app

  std::string templ = user_temp_dir() + "kelojs-XXXXXX";
  if (!mkdtemp(templ.data())) return false;
  g_sock_dir = templ;
  out.sock_path = g_sock_dir + "/app.sock";
  if (!listen_on(out.sock_path)) {
    remove_socket_dir();
    return false;
  }

  setenv("KELOJS_SOCKET", out.sock_path.c_str(), 1);
  std::vector<std::string> args = backend_argv(exe_path, bundle);
  std::vector<char*> argv;
  for (std::string& a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  int rc = posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
  if (rc == ENOEXEC) {
    show_arch_unsupported_alert();
    remove_socket_dir();
    std::fflush(nullptr);
    _exit(1);
  }
  if (rc != 0) {
    std::fprintf(stderr, "launcher: cannot spawn backend: %s\n", std::strerror(rc));
    close(g_listen_fd);
    g_listen_fd = -1;
    remove_socket_dir();
    return false;
  }
  return true;
}

void remove_socket_dir() {
  if (g_sock_dir.empty()) return;
  unlink((g_sock_dir + "/app.sock").c_str());
  rmdir(g_sock_dir.c_str());
  g_sock_dir.clear();
}
