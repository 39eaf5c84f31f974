#include "launcher/settings.h"

#include <pwd.h>

#include <cstdio>

bool plist_bool(const PlistValue& v) {
  switch (v.kind) {
    case PlistValue::Kind::Bool:
      return v.b;
    case PlistValue::Kind::Integer:
      return v.i != 0;
    case PlistValue::Kind::Real:
      return v.r != 0;
    case PlistValue::Kind::String: {
      size_t i = 0;
      const std::string& s = v.s;
      while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n'))
        ++i;
      if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
      while (i < s.size() && s[i] == '0')
        ++i;
      if (i == s.size()) return false;
      char c = s[i];
      return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
    }
    default:
      return false;
  }
}

std::string plist_string(const PlistValue& v) {
  return v.kind == PlistValue::Kind::String ? v.s : std::string();
}

namespace {

// Env when set and exactly "1", else the property list's boolean.
bool flag(const SettingsInput& in, const char* env, const char* key) {
  const char* e = in.env(env);
  if (e && std::string(e) == "1") return true;
  return plist_bool(in.plist(key));
}

// Env when set (even empty), else the property-list string.
std::string env_if_set(const SettingsInput& in, const char* env, const char* key) {
  if (const char* e = in.env(env)) return e;
  return plist_string(in.plist(key));
}

// Env when non-empty, else the property-list string.
std::string env_if_nonempty(const SettingsInput& in, const char* env, const char* key) {
  const char* e = in.env(env);
  if (e && *e) return e;
  return plist_string(in.plist(key));
}

}  // namespace

Settings read_settings(const SettingsInput& in) {
  Settings s;
  const char* activation = in.env("KELOJS_ACTIVATION");
  s.accessory = (activation && std::string(activation) == "accessory") ||
                plist_string(in.plist("KelojsActivation")) == "accessory";
  s.defer_show = flag(in, "KELOJS_DEFER_SHOW", "KelojsDeferShow");
  s.panel = flag(in, "KELOJS_PANEL", "KelojsPanel");

  std::string read_access = env_if_set(in, "KELOJS_READ_ACCESS", "KelojsReadAccess");
  if (!read_access.empty()) s.read_access = expand_tilde(read_access, in.home);
  s.user_agent = env_if_set(in, "KELOJS_UA", "KelojsUserAgent");
  std::string debug = env_if_nonempty(in, "KELOJS_DEBUG", "KelojsDebug");
  s.debug = !debug.empty();
  s.debug_open = debug == "open";

  const char* inject = in.env("KELOJS_INJECT");
  if (inject && *inject) {
    s.inject_js = inject;
  } else if (!in.bundle_path.empty()) {
    if (auto text = in.read_file(in.bundle_path + "/Contents/Resources/app/inject.js")) {
      s.inject_js = std::move(*text);
    }
  }
  s.downloads = env_if_nonempty(in, "KELOJS_DOWNLOADS", "KelojsDownloads");
  s.ai_url = env_if_nonempty(in, "KELOJS_AI_URL", "KelojsAIUrl");
  s.popups = env_if_nonempty(in, "KELOJS_POPUPS", "KelojsPopups");
  s.media_origins =
      parse_media_origins(env_if_set(in, "KELOJS_MEDIA_ORIGINS", "KelojsMediaOrigins"));
  if (const char* icon = in.env("KELOJS_ICON")) {
    s.icon = icon;
  } else if (!in.bundle_path.empty()) {
    // A bundle names its icon by a file name in Contents/Resources; nothing outside it.
    std::string file = plist_string(in.plist("CFBundleIconFile"));
    if (!file.empty() && file != ".." && file.find('/') == std::string::npos)
      s.icon = in.bundle_path + "/Contents/Resources/" + file;
  }
  s.chrome = plist_string(in.plist("KelojsChrome"));
  return s;
}

std::string read_attribution(const SettingsInput& in) {
  return env_if_nonempty(in, "KELOJS_ATTRIBUTION", "KelojsAttribution");
}

void parse_window_size(const std::string& text, int& width, int& height) {
  std::sscanf(text.c_str(), "%dx%d", &width, &height);
}

std::vector<std::pair<std::string, std::string>> parse_media_origins(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> rules;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    size_t blank = line.find(' ');
    if (blank != std::string::npos)
      rules.emplace_back(line.substr(0, blank), line.substr(blank + 1));
    start = end + 1;
  }
  return rules;
}

std::string expand_tilde(const std::string& path, const std::string& home) {
  if (path.empty() || path[0] != '~') return path;
  size_t slash = path.find('/');
  std::string user = path.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
  std::string tail = slash == std::string::npos ? std::string() : path.substr(slash);
  if (user.empty()) return home + tail;
  struct passwd* pw = getpwnam(user.c_str());
  if (!pw || !pw->pw_dir) return path;
  return std::string(pw->pw_dir) + tail;
}
