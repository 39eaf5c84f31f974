#include "media/media_response.h"

#include <algorithm>

#include "wire/text.h"

namespace {

struct MimeEntry {
  const char* ext;
  const char* mime;
};

constexpr MimeEntry kMediaMimes[] = {
    {"aac", "audio/aac"},   {"aif", "audio/aiff"},      {"aifc", "audio/aiff"},
    {"aiff", "audio/aiff"}, {"caf", "audio/x-caf"},     {"flac", "audio/flac"},
    {"m4a", "audio/mp4"},   {"m4b", "audio/mp4"},       {"m4v", "video/mp4"},
    {"mp4", "video/mp4"},   {"mov", "video/quicktime"}, {"mp3", "audio/mpeg"},
    {"oga", "audio/ogg"},   {"ogg", "audio/ogg"},       {"opus", "audio/ogg"},
    {"wav", "audio/wav"},   {"webm", "video/webm"},
};

std::string_view trim(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  return text;
}

// A run of decimal digits; values past the largest 64-bit number saturate there. Nothing for
// any other text.
std::optional<int64_t> decimal(std::string_view text) {
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    int digit = c - '0';
    value = value > (INT64_MAX - digit) / 10 ? INT64_MAX : value * 10 + digit;
  }
  return value;
}

// The one byte range of a Range header, as [start, end] before it is checked against the
// file; nothing when the header is absent or not a single "bytes=" range.
std::optional<std::pair<int64_t, int64_t>> single_range(std::string_view range, int64_t size) {
  constexpr std::string_view kUnit = "bytes=";
  if (!range.starts_with(kUnit)) return std::nullopt;
  std::string_view spec = range.substr(kUnit.size());
  if (spec.find(',') != std::string_view::npos) return std::nullopt;
  size_t dash = spec.find('-');
  if (dash == std::string_view::npos || spec.find('-', dash + 1) != std::string_view::npos) {
    return std::nullopt;
  }
  std::string_view a = trim(spec.substr(0, dash));
  std::string_view b = trim(spec.substr(dash + 1));
  std::optional<int64_t> first = decimal(a), last = decimal(b);
  if ((!a.empty() && !first) || (!b.empty() && !last)) return std::nullopt;
  int64_t end = size - 1;
  if (a.empty() && last) return std::pair{std::max<int64_t>(0, size - *last), end};  // suffix
  if (last) end = std::min(*last, end);
  return std::pair{first.value_or(0), end};
}

void add_open_headers(MediaHeaders& headers) {
  headers.emplace_back("Access-Control-Allow-Origin", "*");
  headers.emplace_back("Access-Control-Allow-Headers", "*");
  headers.emplace_back("Access-Control-Expose-Headers", "*");
  headers.emplace_back("Content-Security-Policy", "sandbox");
}

}  // namespace

std::string kelo_media_file_mime(
    std::string_view path,
    const std::function<std::optional<std::string>(const std::string& ext)>& system_type) {
  std::string_view name = path.substr(path.find_last_of('/') + 1);
  size_t dot = name.find_last_of('.');
  std::string ext = dot == std::string_view::npos ? "" : ascii_lower(name.substr(dot + 1));
  for (const MimeEntry& e : kMediaMimes) {
    if (ext == e.ext) return e.mime;
  }
  if (!ext.empty()) {
    if (auto mime = system_type(ext)) return *mime;
  }
  return "application/octet-stream";
}

MediaFileResponse media_file_response(int64_t size, std::string_view range, std::string_view mime) {
  MediaFileResponse r;
  r.headers = {{"Content-Type", std::string(mime)},
               {"Accept-Ranges", "bytes"},
               {"Cache-Control", "no-cache"}};
  add_open_headers(r.headers);
  auto bytes = single_range(range, size);
  int64_t start = bytes ? bytes->first : 0;
  int64_t end = bytes ? bytes->second : size - 1;
  if (bytes && (end < start || start >= size)) {
    r.status = 416;
    r.headers.emplace_back("Content-Range", "bytes */" + std::to_string(size));
    r.headers.emplace_back("Content-Length", "0");
    return r;
  }
  r.status = bytes ? 206 : 200;
  r.start = start;
  r.length = size < 1 ? 0 : end - start + 1;
  r.headers.emplace_back("Content-Length", std::to_string(r.length));
  if (bytes) {
    r.headers.emplace_back("Content-Range", "bytes " + std::to_string(start) + "-" +
                                                std::to_string(end) + "/" + std::to_string(size));
  }
  return r;
}

MediaProxyResponse media_proxy_response(const MediaUpstream& upstream) {
  MediaProxyResponse r;
  r.status = upstream.status;
  std::string mime = ascii_lower(upstream.mime);
  bool streaming =
      (mime.starts_with("audio/") || mime.starts_with("video/")) && !upstream.length_known;
  bool has_type = false;
  for (const auto& [name, value] : upstream.headers) {
    std::string key = ascii_lower(name);
    if (key.starts_with("access-control-") || key.starts_with("content-security-policy")) {
      continue;
    }
    if (streaming && (key == "transfer-encoding" || key == "accept-ranges" ||
                      key == "content-length" || key == "content-range")) {
      continue;
    }
    has_type = has_type || key == "content-type";
    r.headers.emplace_back(name, value);
  }
  if (!has_type && !upstream.mime.empty()) r.headers.emplace_back("Content-Type", upstream.mime);
  if (upstream.length_known) r.length = upstream.length;
  if (streaming && upstream.status == 200) {
    r.length = kMediaEndlessLength;
    r.headers.emplace_back("Content-Length", std::to_string(kMediaEndlessLength));
  }
  add_open_headers(r.headers);
  return r;
}
