// The launcher's entry point: settings, the backend link, the main window, the event loop.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "audio/audio_gtk.h"
#include "bridge/bridge_gtk.h"
#include "launcher/app_state.h"
#include "launcher/bundle.h"
#include "launcher/core_commands.h"
#include "launcher/package_run.h"
#include "launcher/plist_source.h"
#include "launcher/startup.h"
#include "launcher/unix_socket.h"
#include "launcher/webview.h"
#include "media/media_scheme_gtk.h"
#include "platform/main_loop.h"
#include "services/capture_gtk.h"
#include "system/clipboard_gtk.h"
#include "windows/pointer_moves_gtk.h"
#include "windows/screens_gtk.h"
#include "wire/link.h"

namespace {

constexpr const char* kNoSession =
    "kelojs: cannot create the webview window: no window-server session (SSH, CI, or a "
    "sandbox that blocks display server?).\n"
    "kelojs: the app code is likely fine; run from a logged-in GUI session on this machine.\n";

std::string exe_path() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return std::string(buf, static_cast<size_t>(n));
}

std::optional<std::string> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.empty()) return std::nullopt;
  return text;
}

// Leaves the process without static destructors; a package run's socket folder goes too, also
// when start-up fails.
[[noreturn]] void leave(int status) {
  remove_socket_dir();
  // Only our own streams: flushing every stream would wait for the lock of a stream that a
  // library's reader thread holds while it blocks in a read (the speech service's socket).
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(status);
}

void connect_backend(const std::string& path) {
  int fd = -1;
  int err = unix_socket_open(path, fd, [](int s, const sockaddr_un& addr) {
    return connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
  });
  if (err != 0) {
    std::fprintf(stderr, "launcher: cannot connect to %s: %s\n", path.c_str(), std::strerror(err));
    leave(1);
  }
  sock_set_connected(fd);
}

void apply_settings(const PlistFile& plist) {
  SettingsInput in;
  in.env = [](const char* name) -> const char* { return std::getenv(name); };
  in.plist = [&plist](const char* key) { return plist.get(key); };
  in.read_file = read_file;
  in.bundle_path = g_bundle_path;
  const char* home = std::getenv("HOME");
  in.home = home ? home : "";
  g_settings = read_settings(in);

  if (g_settings.accessory) {
    g_accessory = true;
    g_suppress_order_front = true;
  }
  if (g_settings.defer_show && !g_accessory) {
    g_defer_show = true;
    g_suppress_order_front = true;
  }
  if (g_settings.panel) webview_set_window_class("KeloPanel");
  g_debug = g_settings.debug;
  g_debug_open = g_settings.debug_open;
}

}  // namespace

int main(int argc, char** argv) {
  LaunchParams params;
  for (int i = 0; i < argc; ++i)
    g_own_argv_paths.insert(argv[i]);

  std::string exe = exe_path();
  g_bundle_path = bundle_path_for_exe(exe);
  PlistFile plist(g_bundle_path.empty() ? "" : g_bundle_path + "/Contents/Info.plist");

  bool package = wants_package_detection(argc, argv) &&
                 bundle_mode_setup(exe, plist, opened_args(argc, argv), params);
  if (!package) {
    const char* nmw = std::getenv("KELOJS_NO_MAIN_WINDOW");
    g_windowless = nmw && std::strcmp(nmw, "1") == 0;
    if (argc < 3) {
      std::fputs(usage_text(argv[0]).c_str(), stderr);
      leave(1);
    }
    params.url = argv[1];
    params.sock_path = argv[2];
    if (argc > 3) params.title = argv[3];
    if (argc > 4) params.size = argv[4];
    if (argc > 5) params.version = argv[5];
  }
  g_app_name = params.title;
  if (!params.version.empty()) g_app_version = params.version;
  int width = 960, height = 640;
  parse_window_size(params.size, width, height);

  if (!kelo_open_display(package ? g_bundle_id : std::string())) {
    std::fputs(kNoSession, stderr);
    leave(3);
  }
  if (!package) connect_backend(params.sock_path);

  g_bundle_mode = package;
  // Files and URLs the desktop opened the app with go out first, ahead of every other event.
  if (package) send_open_urls(opened_args(argc, argv));
  apply_settings(plist);
  install_mouse_down_cache();
  kelo_main_queue_install();
  kelo_bridge_init(exe.substr(0, exe.find_last_of('/')));
  install_media_scheme_hook();

  if (g_windowless) {
    initialize_windowless_application();
  } else if (!initialize_main_window(params.title, width, height, package)) {
    leave(1);
  }

  install_system_observers();
  install_clipboard_observer();

  if (!g_windowless && !start_front_end(params.url)) {
    std::fprintf(stderr, "launcher: cannot read %s\n", params.url.c_str());
    leave(1);
  }

  std::thread([] { sock_read_loop(launcher_handlers()); }).detach();
  kelo_main_loop_run();
  kelo_audio_shutdown();
  kelo_record_shutdown();
  store_clipboard_at_exit();
  if (g_w) webview_destroy(g_w);
  leave(0);
}
