// What a kelo-media request asks for, whether the page may ask it, and which local file or
// remote resource it names.
//
//   kelo-media://file/<path>       a local file under the app's read-access root
//   kelo-media://proxy/?u=<url>    an http or https resource fetched by the launcher
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "media/trust.h"

enum class MediaKind { File, Proxy };

// "file" when the URL's host is exactly "file"; every other host is a proxy request.
MediaKind media_kind(std::string_view url);

// The failures a request ends with: errors of domain kMediaErrorDomain.
enum class MediaError {
  FileUntrusted,
  ProxyUntrusted,
  NoReadAccess,
  OutsideRoot,
  NoSuchFile,
  BadProxyTarget,
};
inline constexpr const char kMediaErrorDomain[] = "kelojs";
struct MediaErrorText {
  int code;
  const char* description;
};
MediaErrorText media_error(MediaError error);

// The origin a request speaks for: its Origin header when it has one (as sent), else the
// origin text of the page that made it.
std::string media_request_origin(const char* origin_header, std::string_view page_url);

// Whether a request may go ahead. A document load (an Accept header naming text/html) is
// always refused; otherwise the origin must be trusted for the kind. A refusal carries its
// error and the line for standard error.
struct MediaRefusal {
  MediaError error;
  std::string diagnostic;
};
std::optional<MediaRefusal> media_refusal(MediaKind kind, std::string_view origin,
                                          std::string_view accept, const TrustRules& rules);

// The local file a kelo-media://file/ URL names, resolved (symbolic links followed), when it
// is a regular file inside the resolved read-access root. read_access is the configured root
// as set; empty means none is configured.
struct MediaFileTarget {
  std::string path;                 // resolved, when there is no error
  std::optional<MediaError> error;  // why the file is not served
  std::string diagnostic;           // the line for standard error, for some errors
};
MediaFileTarget media_file_target(std::string_view url, const std::string& read_access);

// The proxy's target: the value of the last query item named "u", decoded. Nothing when
// there is none or it is not an http or https URL.
std::optional<std::string> media_proxy_target(std::string_view url);
