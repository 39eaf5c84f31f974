// The responses of the media scheme: a local file's status, headers and byte range, the MIME
// type of served files, and the proxy's rewriting of an upstream response.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using MediaHeaders = std::vector<std::pair<std::string, std::string>>;  // name, value

// Files are read and handed on in chunks of this size.
inline constexpr int64_t kMediaChunk = 262144;
// The length announced for endless streams (2^40 bytes), so media elements play them as one
// very long file.
inline constexpr int64_t kMediaEndlessLength = int64_t{1} << 40;

// The MIME type of a file from its extension (lower-cased): the media table first, then
// system_type (the desktop's type for that extension, nothing when it has none), then
// "application/octet-stream".
std::string kelo_media_file_mime(
    std::string_view path,
    const std::function<std::optional<std::string>(const std::string& ext)>& system_type);

// A file response: status 200 (whole file), 206 (one range) or 416 (range not satisfiable),
// the bytes to send (from start, length of them) and the headers.
struct MediaFileResponse {
  int status = 200;
  int64_t start = 0;
  int64_t length = 0;
  MediaHeaders headers;
};

// range is the request's Range header, empty when it has none. A single "bytes=" range is
// honoured (first-last, first-, -suffix); anything else serves the whole file.
MediaFileResponse media_file_response(int64_t size, std::string_view range, std::string_view mime);

// An upstream response as the proxy received it.
struct MediaUpstream {
  int status = 200;
  std::string mime;           // from its Content-Type, without parameters; empty when none
  bool length_known = false;  // it said how long its body is
  int64_t length = -1;        // that length, when known
  MediaHeaders headers;
};

// What the proxy hands to the page: the upstream status, its headers without their own
// access-control and content-security-policy headers, permissive CORS headers and a sandbox
// policy. An audio or video body of unknown length is announced as kMediaEndlessLength bytes
// (status 200 only), without its transfer and range headers. length is the body length to
// announce, -1 when unknown.
struct MediaProxyResponse {
  int status = 200;
  int64_t length = -1;
  MediaHeaders headers;
};
MediaProxyResponse media_proxy_response(const MediaUpstream& upstream);
