#include "media/media_scheme_gtk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <cerrno>
#include <cstdio>

#include "launcher/app_state.h"
#include "media/media_file_stream_gio.h"
#include "media/media_proxy_soup.h"
#include "media/media_reply_gtk.h"
#include "platform/gobj.h"

namespace {

constexpr char kScheme[] = "kelo-media";

const char* header(WebKitURISchemeRequest* request, const char* name) {
  SoupMessageHeaders* headers = webkit_uri_scheme_request_get_http_headers(request);
  return headers ? soup_message_headers_get_one(headers, name) : nullptr;
}

std::optional<std::string> system_mime(const std::string& ext) {
  std::string name = "file." + ext;
  GCharPtr type(g_content_type_guess(name.c_str(), nullptr, 0, nullptr));
  GCharPtr mime(type ? g_content_type_get_mime_type(type.get()) : nullptr);
  if (!mime || g_content_type_is_unknown(type.get())) return std::nullopt;
  return std::string(mime.get());
}

void serve_file(WebKitURISchemeRequest* request, const char* uri) {
  MediaFileTarget target = media_file_target(uri, g_settings.read_access);
  if (!target.diagnostic.empty()) std::fputs(target.diagnostic.c_str(), stderr);
  if (target.error) {
    media_fail(request, *target.error);
    return;
  }
  int fd = open(target.path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) {
    int err = errno;
    if (fd >= 0) close(fd);
    media_fail_errno(request, err);
    return;
  }
  const char* range = header(request, "Range");
  MediaFileResponse plan = media_file_response(st.st_size, range ? range : "",
                                               kelo_media_file_mime(target.path, system_mime));
  GRef<GInputStream> body;
  if (plan.status == 416) {
    close(fd);
    body = GRef<GInputStream>::adopt(g_memory_input_stream_new());
  } else {
    body = GRef<GInputStream>::adopt(kelo_media_file_stream_new(fd, plan.start, plan.length));
  }
  media_respond(request, body.get(), plan.length, plan.status, plan.headers);
}

void on_media_request(WebKitURISchemeRequest* request, gpointer) {
  const char* uri = webkit_uri_scheme_request_get_uri(request);
  WebKitWebView* view = webkit_uri_scheme_request_get_web_view(request);
  const char* page = view ? webkit_web_view_get_uri(view) : nullptr;
  std::string origin = media_request_origin(header(request, "Origin"), page ? page : "");
  const char* accept = header(request, "Accept");
  MediaKind kind = media_kind(uri);
  if (auto refusal = media_refusal(kind, origin, accept ? accept : "", g_settings.media_origins)) {
    std::fputs(refusal->diagnostic.c_str(), stderr);
    media_fail(request, refusal->error);
    return;
  }
  if (kind == MediaKind::File) {
    serve_file(request, uri);
  } else if (auto target = media_proxy_target(uri)) {
    media_proxy_fetch(request, *target);
  } else {
    media_fail(request, MediaError::BadProxyTarget);
  }
}

}  // namespace

void install_media_scheme_hook() {
  WebKitWebContext* context = webkit_web_context_get_default();
  webkit_web_context_register_uri_scheme(context, kScheme, on_media_request, nullptr, nullptr);
  // Pages of any origin may fetch from it with CORS (the answers allow every origin), and https
  // pages may use it without mixed-content blocking.
  WebKitSecurityManager* security = webkit_web_context_get_security_manager(context);
  webkit_security_manager_register_uri_scheme_as_cors_enabled(security, kScheme);
  webkit_security_manager_register_uri_scheme_as_secure(security, kScheme);
}
