#include "windows/downloads.h"

#include <algorithm>

#include "wire/text.h"

namespace {

constexpr double kProgressIntervalMs = 250;
constexpr int kLastCopyNumber = 999;

std::string join_path(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool simple_extension(std::string_view ext) {
  return !ext.empty() && std::all_of(ext.begin(), ext.end(), [](unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '+';
  });
}

}  // namespace

std::string download_event(int64_t id, std::string_view url, std::string_view filename,
                           std::string_view path, std::string_view state, std::string_view error,
                           int64_t bytes, int64_t total) {
  std::string out = "DOWNLOAD {\"id\":" + std::to_string(id) + ",\"url\":";
  json_escape_to(out, url);
  out += ",\"filename\":";
  json_escape_to(out, filename);
  out += ",\"path\":";
  if (path.empty()) {
    out += "null";
  } else {
    json_escape_to(out, path);
  }
  out += ",\"state\":";
  json_escape_to(out, state);
  if (bytes >= 0) {
    out += ",\"bytes\":" + std::to_string(bytes) +
           ",\"total\":" + std::to_string(total < 1 ? -1 : total);
  }
  if (!error.empty()) {
    out += ",\"error\":";
    json_escape_to(out, error);
  }
  out += "}";
  return out;
}

std::string download_file_name(std::string_view suggested) {
  std::string name(suggested);
  std::replace(name.begin(), name.end(), '/', '_');
  if (name.empty() || name == "." || name == "..") return "download";
  return name;
}

std::pair<std::string, std::string> split_extension(std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) {
    return {std::string(name), ""};
  }
  return {std::string(name.substr(0, dot)), std::string(name.substr(dot + 1))};
}

std::string with_extension(std::string_view name, std::string_view extension) {
  std::string out(name);
  if (!extension.empty() && split_extension(name).second.empty()) out.append(".").append(extension);
  return out;
}

std::string mime_extension(std::string_view globs2, std::string_view mime_type) {
  if (mime_type.empty()) return "";
  while (!globs2.empty()) {
    size_t end = globs2.find('\n');
    std::string_view line = globs2.substr(0, end);
    globs2.remove_prefix(end == std::string_view::npos ? globs2.size() : end + 1);
    if (line.empty() || line[0] == '#') continue;
    size_t c1 = line.find(':');
    size_t c2 = c1 == std::string_view::npos ? c1 : line.find(':', c1 + 1);
    if (c2 == std::string_view::npos) continue;
    if (line.substr(c1 + 1, c2 - c1 - 1) != mime_type) continue;
    std::string_view glob = line.substr(c2 + 1);
    glob = glob.substr(0, glob.find(':'));  // flags follow
    if (glob.starts_with("*.") && simple_extension(glob.substr(2))) {
      return std::string(glob.substr(2));
    }
  }
  return "";
}

std::string unique_download_name(const std::string& folder, const std::string& name,
                                 const std::function<bool(const std::string&)>& exists) {
  auto [base, ext] = split_extension(name);
  std::string candidate = name;
  for (int i = 2; i <= kLastCopyNumber && exists(join_path(folder, candidate)); ++i) {
    candidate = base + " (" + std::to_string(i) + ")";
    if (!ext.empty()) candidate += "." + ext;
  }
  return candidate;
}

bool progress_due(double& last_ms, double now_ms) {
  if (last_ms != 0 && now_ms - last_ms < kProgressIntervalMs) return false;
  last_ms = now_ms;
  return true;
}
