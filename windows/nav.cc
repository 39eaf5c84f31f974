#include "windows/nav.h"

#include <algorithm>
#include <array>

#include "launcher/read_access.h"
#include "wire/text.h"

namespace {

constexpr std::array<std::string_view, 8> kOwnSchemes = {
    "http", "https", "file", "about", "data", "blob", "javascript", "kelo-media"};

// A URL travels inside a TAB-separated field of one line. Engines strip line breaks and tabs
// from URLs, so this changes nothing in practice; should one slip through it is written
// percent-encoded rather than cutting the line.
std::string url_field(std::string_view url) {
  std::string out;
  out.reserve(url.size());
  for (char c : url) {
    if (c == '\n') {
      out += "%0A";
    } else if (c == '\r') {
      out += "%0D";
    } else if (c == '\t') {
      out += "%09";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

bool is_own_scheme(std::string_view url) {
  size_t colon = url.find(':');
  if (colon == std::string_view::npos || colon == 0) return true;
  std::string scheme(url.substr(0, colon));
  std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                 [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; });
  return std::find(kOwnSchemes.begin(), kOwnSchemes.end(), scheme) != kOwnSchemes.end();
}

NavPolicy nav_policy(std::string_view url, bool main_frame, bool connected) {
  if (is_own_scheme(url)) {
    if (!main_frame || !is_web_address(url) || !connected) return NavPolicy::Allow;
    return NavPolicy::AskAllow;
  }
  return connected ? NavPolicy::AskDeny : NavPolicy::Cancel;
}

int navr_answer(std::string_view text) {
  if (text == "deny") return kNavDeny;
  if (text == "external") return kNavExternal;
  return kNavAllow;
}

NavOutcome nav_outcome(bool own_scheme, int answer) {
  return {own_scheme && answer == kNavAllow, answer == kNavExternal};
}

std::string navq_line(std::string_view id, std::string_view win, std::string_view url,
                      bool main_frame) {
  std::string line = "NAVQ ";
  line.append(id).append(" ").append(win).append("\t").append(url_field(url));
  line += main_frame ? "\tmain" : "\tsub";
  return line;
}

bool nav_event_wanted(std::string_view url) {
  return url.empty() || url.starts_with("http://") || url.starts_with("https://") ||
         url.starts_with("file://") || url == "about:blank";
}

std::string nav_event(std::string_view win, std::string_view kind, std::string_view url,
                      std::string_view error) {
  std::string out = "NAV {\"window\":";
  json_escape_to(out, win);
  out += ",\"kind\":";
  json_escape_to(out, kind);
  out += ",\"url\":";
  json_escape_to(out, url);
  if (!error.empty()) {
    out += ",\"error\":";
    json_escape_to(out, error);
  }
  out += "}";
  return out;
}

std::string popup_policy(std::string_view mode) {
  return mode.empty() ? "external" : std::string(mode);
}

std::string new_window_default(std::string_view mode) {
  return mode == "deny" ? "deny" : "external";
}

std::string popup_outcome(std::string_view answer, std::string_view fallback) {
  return std::string(answer == "external" || answer == "deny" ? answer : fallback);
}

std::string popupq_line(std::string_view id, std::string_view popup, std::string_view opener,
                        std::string_view url, std::string_view fallback) {
  std::string line = "POPUPQ ";
  line.append(id).append(" ").append(popup.empty() ? "-" : popup);
  line.append("\t").append(opener).append("\t").append(url_field(url));
  line.append("\t").append(fallback);
  return line;
}

std::string popup_event(const std::optional<std::string>& window, std::string_view url,
                        std::string_view action) {
  std::string out = "POPUP {\"window\":";
  if (window) {
    json_escape_to(out, *window);
  } else {
    out += "null";
  }
  out += ",\"url\":";
  json_escape_to(out, url);
  out += ",\"action\":";
  json_escape_to(out, action);
  out += "}";
  return out;
}

std::string next_popup_name(uint64_t& seq, const std::function<bool(const std::string&)>& taken) {
  std::string name;
  do {
    name = "popup" + std::to_string(++seq);
  } while (taken(name));
  return name;
}

PopupSize popup_size(int width, int height) {
  return {width < 120 ? 900 : width, height < 90 ? 600 : height};
}
