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

std::string app_id_for_bundle(const std::string& bundle_id) {
  if (bundle_id.empty()) return "";
  std::string id;
  size_t elements = 0;
  size_t start = 0;
  while (start <= bundle_id.size()) {
    size_t dot = bundle_id.find('.', start);
    if (dot == std::string::npos) dot = bundle_id.size();
    std::string element = bundle_id.substr(start, dot - start);
    for (char& c : element) {
      bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                c == '_' || c == '-';
      if (!ok) c = '_';
    }
    if (element.empty() || (element[0] >= '0' && element[0] <= '9')) element.insert(0, "_");
    if (elements++) id.push_back('.');
    id += element;
    start = dot + 1;
  }
  if (elements < 2) id.insert(0, "org.kelojs.");
  return id.size() <= 255 ? id : "";
}
