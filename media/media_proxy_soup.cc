#include "media/media_proxy_soup.h"

#include <libsoup/soup.h>
#include <webkit2/webkit2.h>

#include <memory>

#include "media/media_reply_gtk.h"
#include "platform/gobj.h"

namespace {

// One session serves every fetch: it keeps no cache, hands bodies on as the server sent them
// (no content decoding, so lengths and ranges stay true), and gives up on a server silent for
// 60 s.
SoupSession* proxy_session() {
  static GRef<SoupSession> session = [] {
    auto made = GRef<SoupSession>::adopt(soup_session_new_with_options("timeout", 60u, nullptr));
    soup_session_remove_feature_by_type(made.get(), SOUP_TYPE_CONTENT_DECODER);
    return made;
  }();
  return session.get();
}

struct ProxyFetch {
  GRef<WebKitURISchemeRequest> request;
  GRef<SoupMessage> message;
};

MediaUpstream upstream_of(SoupMessage* message) {
  MediaUpstream up;
  up.status = static_cast<int>(soup_message_get_status(message));
  SoupMessageHeaders* headers = soup_message_get_response_headers(message);
  if (const char* type = soup_message_headers_get_content_type(headers, nullptr)) up.mime = type;
  up.length_known = soup_message_headers_get_encoding(headers) == SOUP_ENCODING_CONTENT_LENGTH;
  if (up.length_known) up.length = soup_message_headers_get_content_length(headers);
  soup_message_headers_foreach(
      headers,
      [](const char* name, const char* value, gpointer out) {
        static_cast<MediaHeaders*>(out)->emplace_back(name, value);
      },
      &up.headers);
  return up;
}

void on_sent(GObject* session, GAsyncResult* result, gpointer data) {
  std::unique_ptr<ProxyFetch> fetch(static_cast<ProxyFetch*>(data));
  GError* error = nullptr;
  auto body =
      GRef<GInputStream>::adopt(soup_session_send_finish(SOUP_SESSION(session), result, &error));
  if (!body) {
    webkit_uri_scheme_request_finish_error(fetch->request.get(), error);
    g_error_free(error);
    return;
  }
  MediaProxyResponse out = media_proxy_response(upstream_of(fetch->message.get()));
  media_respond(fetch->request.get(), body.get(), out.length, out.status, out.headers);
}

}  // namespace

void media_proxy_fetch(WebKitURISchemeRequest* request, const std::string& target) {
  auto message = GRef<SoupMessage>::adopt(soup_message_new(SOUP_METHOD_GET, target.c_str()));
  if (!message) {
    media_fail(request, MediaError::BadProxyTarget);
    return;
  }
  SoupMessageHeaders* out = soup_message_get_request_headers(message.get());
  if (SoupMessageHeaders* in = webkit_uri_scheme_request_get_http_headers(request)) {
    for (const char* name : {"Range", "User-Agent"}) {
      if (const char* value = soup_message_headers_get_one(in, name)) {
        soup_message_headers_replace(out, name, value);
      }
    }
  }
  auto* fetch = new ProxyFetch{GRef<WebKitURISchemeRequest>::retain(request), message};
  soup_session_send_async(proxy_session(), message.get(), G_PRIORITY_DEFAULT, nullptr, on_sent,
                          fetch);
}
