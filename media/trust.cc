#include "media/trust.h"

#include <cctype>

#include "wire/text.h"

bool media_glob(std::string_view pattern, std::string_view text) {
  // Iterative matching with one backtrack point per star: linear in practice, never
  // exponential on patterns with many stars.
  size_t p = 0, t = 0, star = std::string_view::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && pattern[p] == text[t]) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*')
    ++p;
  return p == pattern.size();
}

bool media_trusted(const TrustRules& rules, std::string_view capability, std::string_view origin) {
  if (origin == "file://") return true;
  for (const auto& [cap, pattern] : rules) {
    if (cap == capability && media_glob(pattern, origin)) return true;
  }
  return false;
}

bool capture_trusted(const TrustRules& rules, bool camera, bool microphone,
                     std::string_view page_origin, const std::vector<std::string>& frame_origins) {
  if (frame_origins.empty()) return false;
  auto trusted = [&](std::string_view origin) {
    return (!camera || media_trusted(rules, "camera", origin)) &&
           (!microphone || media_trusted(rules, "microphone", origin));
  };
  if (!trusted(page_origin)) return false;
  for (const std::string& origin : frame_origins) {
    if (!trusted(origin)) return false;
  }
  return true;
}

std::string url_origin_str(std::string_view url) {
  size_t colon = url.find(':');
  if (colon == std::string_view::npos || colon == 0) return "null";
  std::string scheme(url.substr(0, colon));
  for (char c : scheme) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
      return "null";
    }
  }
  scheme = ascii_lower(scheme);
  if (scheme == "file") return "file://";
  std::string out = scheme + "://";
  std::string_view rest = url.substr(colon + 1);
  if (rest.substr(0, 2) != "//") return out;
  rest.remove_prefix(2);
  std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);
  std::string_view host = authority;
  std::string_view port;
  size_t port_colon = authority.rfind(':');
  size_t bracket = authority.rfind(']');
  if (port_colon != std::string_view::npos &&
      (bracket == std::string_view::npos || port_colon > bracket)) {
    host = authority.substr(0, port_colon);
    port = authority.substr(port_colon + 1);
  }
  out += ascii_lower(host);
  bool default_port =
      port.empty() || (scheme == "http" && port == "80") || (scheme == "https" && port == "443");
  if (!default_port) out.append(":").append(port);
  return out;
}
