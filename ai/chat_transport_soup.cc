// The model server reached over HTTP with libsoup, from the AI thread only.
#include <libsoup/soup.h>

#include "ai/model.h"
#include "platform/gobj.h"

namespace {

// A model that hangs or talks too long is given up on.
constexpr unsigned kTimeoutSeconds = 120;
constexpr goffset kMaxAnswer = 16 << 20;

class SoupTransport final : public ChatTransport {
 public:
  explicit SoupTransport(std::string base) : base_(std::move(base)) {
    while (!base_.empty() && base_.back() == '/')
      base_.pop_back();
  }

  std::optional<std::string> request(const std::string& path, const std::string* body,
                                     std::string& error) override {
    // Made on the thread that uses it: a session serves one thread.
    if (!session_) {
      session_ = GRef<SoupSession>::adopt(
          soup_session_new_with_options("timeout", kTimeoutSeconds, "idle-timeout", 30, nullptr));
    }
    std::string url = base_ + path;
    auto msg = GRef<SoupMessage>::adopt(soup_message_new(body ? "POST" : "GET", url.c_str()));
    if (!msg) {
      error = "not a model server address: " + url;
      return std::nullopt;
    }
    if (body) {
      GBytes* bytes = g_bytes_new(body->data(), body->size());
      soup_message_set_request_body_from_bytes(msg.get(), "application/json", bytes);
      g_bytes_unref(bytes);
    }
    GError* err = nullptr;
    GBytes* answer = soup_session_send_and_read(session_.get(), msg.get(), nullptr, &err);
    if (!answer) {
      error = std::string("the model server cannot be reached: ") + err->message;
      g_error_free(err);
      return std::nullopt;
    }
    gsize size = 0;
    const char* data = static_cast<const char*>(g_bytes_get_data(answer, &size));
    std::string text(data ? data : "", static_cast<size_t>(size) > kMaxAnswer ? kMaxAnswer : size);
    g_bytes_unref(answer);
    guint status = soup_message_get_status(msg.get());
    if (status < 200 || status >= 300) {
      // The answer may say why; the caller reads an error out of it where it can.
      if (text.empty() || text[0] != '{') {
        error = "the model server answered " + std::to_string(status);
        return std::nullopt;
      }
    }
    return text;
  }

 private:
  std::string base_;
  GRef<SoupSession> session_;
};

}  // namespace

std::unique_ptr<LanguageModel> make_language_model(const std::string& url) {
  if (url.empty()) return std::make_unique<NoModel>();
  return std::make_unique<ChatServerModel>(std::make_unique<SoupTransport>(url));
}
