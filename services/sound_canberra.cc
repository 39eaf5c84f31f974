// SOUND through libcanberra. Playing talks to the sound server and may wait on it, so sounds
// start on a thread of their own, one request after the other; that thread writes the replies.
// A sound that starts stops the one before it; one that cannot be found leaves it playing.
#include <canberra.h>
#include <gdk/gdk.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "launcher/app_state.h"
#include "services/desktop_services_gtk.h"
#include "wire/link.h"

namespace {

class SoundPlayer {
 public:
  SoundPlayer() {
    std::thread([this] { run(); }).detach();
  }

  void play(std::unique_ptr<SoundReq> req) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(req));
    wake_.notify_one();
  }

 private:
  void run() {
    for (;;) {
      std::unique_ptr<SoundReq> req;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return !queue_.empty(); });
        req = std::move(queue_.front());
        queue_.pop_front();
      }
      send_reply(req->id, sound_reply(start(req->name)));
    }
  }

  bool start(const std::string& name) {
    if (!context_ && !open_context()) return false;
    uint32_t id = next_id_++;
    int result;
    if (name.starts_with("/")) {
      result = ca_context_play(context_, id, CA_PROP_MEDIA_FILENAME, name.c_str(),
                               CA_PROP_CANBERRA_CACHE_CONTROL, "never", nullptr);
    } else {
      std::string event(theme_sound_name(name));
      // Streamed, not cached by the sound server, so that the next sound can stop it.
      result = ca_context_play(context_, id, CA_PROP_EVENT_ID, event.c_str(),
                               CA_PROP_CANBERRA_CACHE_CONTROL, "never", nullptr);
    }
    if (result != CA_SUCCESS) {
      // A lost sound server leaves the context useless; the next sound opens a new one.
      if (result == CA_ERROR_DISCONNECTED || result == CA_ERROR_STATE) {
        ca_context_destroy(context_);
        context_ = nullptr;
      }
      return false;
    }
    if (playing_ != 0) ca_context_cancel(context_, playing_);
    playing_ = id;
    return true;
  }

  bool open_context() {
    if (ca_context_create(&context_) != CA_SUCCESS) {
      context_ = nullptr;
      return false;
    }
    ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, service_app_name().c_str(),
                            CA_PROP_APPLICATION_ID,
                            g_bundle_id.empty() ? "kelojs" : g_bundle_id.c_str(), nullptr);
    if (ca_context_open(context_) != CA_SUCCESS) {
      ca_context_destroy(context_);
      context_ = nullptr;
      return false;
    }
    return true;
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::unique_ptr<SoundReq>> queue_;
  // Sound thread only.
  ca_context* context_ = nullptr;
  uint32_t next_id_ = 1;
  uint32_t playing_ = 0;
};

}  // namespace

void do_sound(webview_t, std::unique_ptr<SoundReq> req) {
  if (req->name.empty()) {
    gdk_display_beep(gdk_display_get_default());
    send_reply(req->id, sound_reply(true));
    return;
  }
  static SoundPlayer* player = new SoundPlayer;
  player->play(std::move(req));
}
