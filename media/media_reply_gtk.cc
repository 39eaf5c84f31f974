#include "media/media_reply_gtk.h"

#include <memory>

#include "media/media_paced_stream_gtk.h"
#include "platform/gobj.h"

void media_respond(WebKitURISchemeRequest* request, GInputStream* body, int64_t length, int status,
                   const MediaHeaders& headers) {
  auto paced = GRef<GInputStream>::adopt(
      kelo_paced_stream_new(body, webkit_uri_scheme_request_get_web_view(request)));
  auto response =
      GRef<WebKitURISchemeResponse>::adopt(webkit_uri_scheme_response_new(paced.get(), length));
  webkit_uri_scheme_response_set_status(response.get(), static_cast<guint>(status),
                                        soup_status_get_phrase(static_cast<guint>(status)));
  SoupMessageHeaders* fields = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
  for (const auto& [name, value] : headers) {
    soup_message_headers_append(fields, name.c_str(), value.c_str());
    if (g_ascii_strcasecmp(name.c_str(), "Content-Type") == 0) {
      webkit_uri_scheme_response_set_content_type(response.get(), value.c_str());
    }
  }
  webkit_uri_scheme_response_set_http_headers(response.get(), fields);  // takes them over
  webkit_uri_scheme_request_finish_with_response(request, response.get());
}

namespace {

void fail(WebKitURISchemeRequest* request, GQuark domain, int code, const char* description) {
  std::unique_ptr<GError, decltype(&g_error_free)> error(
      g_error_new_literal(domain, code, description), g_error_free);
  webkit_uri_scheme_request_finish_error(request, error.get());
}

}  // namespace

void media_fail(WebKitURISchemeRequest* request, MediaError error) {
  MediaErrorText text = media_error(error);
  fail(request, g_quark_from_static_string(kMediaErrorDomain), text.code, text.description);
}

void media_fail_errno(WebKitURISchemeRequest* request, int err) {
  fail(request, G_IO_ERROR, g_io_error_from_errno(err), g_strerror(err));
}
