#include "media/media_request.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>

#include "launcher/read_access.h"
#include "wire/text.h"

namespace {

// The URL's authority and what follows it, split at the first "/", "?" or "#".
struct UrlParts {
  std::string_view host;
  std::string_view path;
  std::string_view query;
};

UrlParts split_url(std::string_view url) {
  UrlParts parts;
  size_t sep = url.find("://");
  if (sep == std::string_view::npos) return parts;
  std::string_view rest = url.substr(sep + 3);
  size_t hash = rest.find('#');
  if (hash != std::string_view::npos) rest = rest.substr(0, hash);
  size_t question = rest.find('?');
  if (question != std::string_view::npos) {
    parts.query = rest.substr(question + 1);
    rest = rest.substr(0, question);
  }
  size_t slash = rest.find('/');
  parts.host = rest.substr(0, slash);
  if (slash != std::string_view::npos) parts.path = rest.substr(slash);
  return parts;
}

std::optional<std::string> real_path(const std::string& path) {
  char buf[PATH_MAX];
  if (!realpath(path.c_str(), buf)) return std::nullopt;
  return std::string(buf);
}

bool is_regular_file(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

const char* kind_name(MediaKind kind) {
  return kind == MediaKind::File ? "file" : "proxy";
}

}  // namespace

MediaKind media_kind(std::string_view url) {
  return split_url(url).host == "file" ? MediaKind::File : MediaKind::Proxy;
}

MediaErrorText media_error(MediaError error) {
  switch (error) {
    case MediaError::FileUntrusted:
      return {403, "kelo.fileURL: this origin may not read local files"};
    case MediaError::ProxyUntrusted:
      return {403, "kelo.proxyURL: this origin may not use the media proxy"};
    case MediaError::NoReadAccess:
      return {403,
              "kelo.fileURL: a file outside the page's folder needs \"readAccess\" in kelojs.json"};
    case MediaError::OutsideRoot:
      return {403, "kelo.fileURL: file is outside the app's readAccess root"};
    case MediaError::NoSuchFile:
      return {404, "kelo.fileURL: no such file"};
    case MediaError::BadProxyTarget:
      return {400, "kelo.proxyURL: only http/https URLs can be proxied"};
  }
  return {500, "kelo-media: unknown error"};
}

std::string media_request_origin(const char* origin_header, std::string_view page_url) {
  if (origin_header) return origin_header;
  return url_origin_str(page_url);
}

std::optional<MediaRefusal> media_refusal(MediaKind kind, std::string_view origin,
                                          std::string_view accept, const TrustRules& rules) {
  const char* reason = nullptr;
  if (accept.find("text/html") != std::string_view::npos) {
    reason = " (document load)";
  } else if (media_trusted(rules, kind_name(kind), origin)) {
    return std::nullopt;
  } else if (kind == MediaKind::File) {
    reason = " (not one of the app's own pages)";
  } else {
    reason = " (not trusted: allow media.proxy in kelojs.json \"api\".origins)";
  }
  std::string line = "kelojs: kelo-media ";
  line.append(kind_name(kind)).append(" refused for ").append(origin).append(reason);
  line.push_back('\n');
  return MediaRefusal{
      kind == MediaKind::File ? MediaError::FileUntrusted : MediaError::ProxyUntrusted,
      std::move(line)};
}

MediaFileTarget media_file_target(std::string_view url, const std::string& read_access) {
  MediaFileTarget target;
  if (read_access.empty()) {
    target.error = MediaError::NoReadAccess;
    return target;
  }
  std::string wanted = percent_decode(split_url(url).path);
  // A NUL would cut the path short where the system reads it: not a name any file has.
  std::optional<std::string> file;
  if (wanted.find('\0') == std::string::npos) file = real_path(wanted);
  if (!file || !is_regular_file(*file)) {
    target.error = MediaError::NoSuchFile;
    return target;
  }
  std::string root = real_path(read_access).value_or("");
  if (!path_inside(*file, root)) {
    target.error = MediaError::OutsideRoot;
    target.diagnostic = "kelojs: kelo-media file refused: " + *file + " is outside readAccess (" +
                        read_access + ")\n";
    return target;
  }
  target.path = std::move(*file);
  return target;
}

std::optional<std::string> media_proxy_target(std::string_view url) {
  std::string_view query = split_url(url).query;
  std::optional<std::string> target;
  for (;;) {
    size_t amp = query.find('&');
    std::string_view item = query.substr(0, amp);
    size_t eq = item.find('=');
    if (percent_decode(item.substr(0, eq)) == "u") {
      target = eq == std::string_view::npos ? "" : percent_decode(item.substr(eq + 1));
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  if (!target) return std::nullopt;
  size_t colon = target->find(':');
  if (colon == std::string::npos) return std::nullopt;
  std::string scheme = ascii_lower(std::string_view(*target).substr(0, colon));
  if (scheme != "http" && scheme != "https") return std::nullopt;
  return target;
}
