#include "launcher/bundle.h"

#include <cstring>

namespace {

std::string dirname_of(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool ends_with(const std::string& s, const char* suffix) {
  size_t n = std::strlen(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

}  // namespace

std::string bundle_path_for_exe(const std::string& exe_path) {
  std::string bundle = dirname_of(dirname_of(dirname_of(exe_path)));
  return ends_with(bundle, ".app") ? bundle : std::string();
}

bool wants_package_detection(int argc, char** argv) {
  return argc < 3 || std::strcmp(argv[1], "--open") == 0;
}

bool is_package_run(const std::string& bundle, bool windowless, const std::string& url,
                    bool index_exists) {
  if (!ends_with(bundle, ".app")) return false;
  return windowless || !url.empty() || index_exists;
}

std::vector<std::string> scrubbed_env_names(char** envp) {
  std::vector<std::string> names;
  for (char** e = envp; e && *e; ++e) {
    if (std::strncmp(*e, "KELOJS_", 7) != 0) continue;
    const char* eq = std::strchr(*e, '=');
    std::string name = eq ? std::string(*e, static_cast<size_t>(eq - *e)) : std::string(*e);
    if (name != "KELOJS_NOTIF_DEBUG") names.push_back(std::move(name));
  }
  return names;
}

PackageParams package_params(const std::string& bundle, const std::string& plist_url,
                             const std::string& bundle_name, const std::string& bundle_version,
                             const std::string& window_size) {
  PackageParams p;
  p.url = plist_url.empty() ? bundle + "/Contents/Resources/app/frontend/index.html" : plist_url;
  p.title = bundle_name.empty() ? "kelojs" : bundle_name;
  p.version = bundle_version.empty() ? "0.0.0" : bundle_version;
  p.size = window_size.empty() ? "960x640" : window_size;
  return p;
}

std::vector<std::string> backend_argv(const std::string& exe_path, const std::string& bundle) {
  return {dirname_of(exe_path) + "/tjs", "run", bundle + "/Contents/Resources/app/entry.js"};
}

std::vector<std::string> opened_args(int argc, char** argv) {
  std::vector<std::string> args;
  if (argc >= 2 && std::strcmp(argv[1], "--open") == 0) {
    for (int i = 2; i < argc; ++i)
      args.emplace_back(argv[i]);
  }
  return args;
}

std::string usage_text(const char* argv0) {
  return std::string("usage: ") + argv0 + " <html-file-or-url> <socket-path> [title] [WxH]\n";
}
