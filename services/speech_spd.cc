// Speech through speech-dispatcher (libspeechd). A worker thread owns the connection and makes
// every call to the service, so a slow, starting or absent service never holds up the main
// thread. The service reports the end of each message on libspeechd's own thread. Both hand
// what they learn to the main thread, which keeps the pending SAYs and answers them.
#include "services/speech_spd.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <speech-dispatcher/libspeechd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "launcher/app_state.h"
#include "platform/main_loop.h"
#include "wire/link.h"

namespace {

SayQueue g_says;  // main thread

void answer_ready() {
  for (const SayQueue::Answer& a : g_says.take_ready())
    send_reply(a.id, a.ok ? "{\"ok\":true}" : "{\"ok\":false}");
}

template <class F>
void on_main(F&& fn) {
  g_main_queue->post(make_task(std::forward<F>(fn)));
}

struct Job {
  enum class Kind { Say, Stop, Voices };
  Kind kind = Kind::Say;
  uint64_t token = 0;       // Say
  uint64_t generation = 0;  // Say: the SAYSTOP count when it arrived
  std::string id;           // Voices
  std::string text;
  std::string voice;
  double rate = 0;
};

// Sends commands to the service at a Unix socket and reads its reply until it hangs up (the
// commands end with QUIT); nothing when it cannot be reached or stops answering.
std::optional<std::string> ssip_exchange(const char* path, std::string_view commands) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (std::strlen(path) >= sizeof addr.sun_path) return std::nullopt;
  std::strcpy(addr.sun_path, path);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  timeval limit{30, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  std::optional<std::string> reply;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      send(fd, commands.data(), commands.size(), MSG_NOSIGNAL) ==
          static_cast<ssize_t>(commands.size())) {
    reply.emplace();
    char buf[65536];
    ssize_t n;
    while ((n = recv(fd, buf, sizeof buf, 0)) > 0)
      reply->append(buf, static_cast<size_t>(n));
    if (n < 0) reply.reset();
  }
  close(fd);
  return reply;
}

// The service's end and cancel events, on libspeechd's thread.
void on_service_event(size_t message, size_t, SPDNotificationType type) {
  bool ok = type == SPD_EVENT_END;
  on_main([message, ok] {
    g_says.ended(static_cast<long>(message), ok);
    answer_ready();
  });
}

class SpeechWorker {
 public:
  SpeechWorker() : wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    std::thread([this] { run(); }).detach();
  }

  void post(Job job) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      jobs_.push_back(std::move(job));
    }
    uint64_t one = 1;
    if (write(wake_, &one, sizeof one) < 0) {
      // The counter cannot overflow at one per job; nothing to recover.
    }
  }

  // Raised by SAYSTOP on the main thread: SAYs that arrived before it are not spoken.
  std::atomic<uint64_t> generation{0};

 private:
  // What the connection was last told to use.
  struct Applied {
    VoiceChoice voice;
    int rate = 0;
    bool operator==(const Applied&) const = default;
  };

  void run() {
    // A service that went away makes writes to its socket fail instead of raising SIGPIPE: the
    // signal stays blocked here (and in libspeechd's thread, started from here) and is taken
    // back after each job.
    sigset_t pipe_set;
    sigemptyset(&pipe_set);
    sigaddset(&pipe_set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_set, nullptr);
    for (;;) {
      pollfd fds[2] = {{wake_, POLLIN, 0}, {watch_, 0, 0}};
      if (poll(fds, watch_ >= 0 ? 2 : 1, -1) < 0) continue;
      if (watch_ >= 0 && fds[1].revents) drop();
      uint64_t count;
      if (read(wake_, &count, sizeof count) < 0) {
        // Nothing new: woken by the watched socket.
      }
      for (;;) {
        Job job;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          if (jobs_.empty()) break;
          job = std::move(jobs_.front());
          jobs_.pop_front();
        }
        handle(job);
        timespec zero{};
        while (sigtimedwait(&pipe_set, nullptr, &zero) == SIGPIPE) {
        }
      }
    }
  }

  void handle(const Job& job) {
    switch (job.kind) {
      case Job::Kind::Say: {
        if (job.generation != generation.load()) return;  // answered by SAYSTOP
        long message = -1;
        if (open()) {
          apply(job);
          message = spd_say(conn_, SPD_MESSAGE, job.text.c_str());
        }
        on_main([token = job.token, message] {
          g_says.bind(token, message);
          answer_ready();
        });
        if (message < 0 && conn_ && !alive()) drop();
        break;
      }
      case Job::Kind::Stop:
        if (conn_) spd_cancel(conn_);
        break;
      case Job::Kind::Voices:
        send_reply(job.id, "{\"ok\":true,\"voices\":" +
                               voices_json(open() ? list_voices() : std::vector<ServiceVoice>{}) +
                               "}");
        break;
    }
  }

  bool alive() const {
    pollfd fd{watch_, 0, 0};
    return poll(&fd, 1, 0) == 0;
  }

  // Connects on first use and again after the service went away; the service starts on demand.
  bool open() {
    if (conn_ && alive()) return true;
    if (conn_) drop();
    char* error = nullptr;
    const char* client = g_app_name.empty() ? "kelojs" : g_app_name.c_str();
    conn_ = spd_open2(client, "main", nullptr, SPD_MODE_THREADED, nullptr, 1, &error);
    if (!conn_) {
      if (!reported_) {
        std::fprintf(stderr, "kelojs: no speech service: %s\n", error ? error : "unknown error");
        reported_ = true;
      }
      std::free(error);
      return false;
    }
    reported_ = false;
    conn_->callback_end = on_service_event;
    conn_->callback_cancel = on_service_event;
    spd_set_notification_on(conn_, SPD_END);
    spd_set_notification_on(conn_, SPD_CANCEL);
    // libspeechd closes its descriptor when the service hangs up; a duplicate of our own stays
    // valid to watch for that.
    watch_ = fcntl(conn_->socket, F_DUPFD_CLOEXEC, 0);
    default_rate_ = spd_get_voice_rate(conn_);
    default_type_ = spd_get_voice_type(conn_);
    char* language = spd_get_language(conn_);
    default_language_ = language ? language : "";
    std::free(language);
    applied_.reset();
    return true;
  }

  // libspeechd reads a long list slowly, and the service waits on its reader meanwhile (some ten
  // seconds for espeak-ng's 13,000 voices and variants, against two or three read directly), so
  // the list comes over a connection of its own.
  std::vector<ServiceVoice> list_voices() {
    char* error = nullptr;
    SPDConnectionAddress* address = spd_get_default_address(&error);
    std::free(error);
    std::optional<std::string> reply;
    if (address && address->method == SPD_METHOD_UNIX_SOCKET && address->unix_socket_name) {
      reply = ssip_exchange(address->unix_socket_name, "LIST SYNTHESIS_VOICES\r\nQUIT\r\n");
    }
    if (address) SPDConnectionAddress__free(address);
    if (reply) return parse_voice_list(*reply);
    std::vector<ServiceVoice> voices;
    if (SPDVoice** list = spd_list_synthesis_voices(conn_)) {
      auto text = [](const char* s) { return std::string(s ? s : ""); };
      for (SPDVoice** v = list; *v; ++v)
        voices.push_back({text((*v)->name), text((*v)->language), text((*v)->variant)});
      free_spd_voices(list);
    }
    return voices;
  }

  // The service went away (or stopped answering): the SAYs it held fail.
  void drop() {
    spd_close(conn_);
    conn_ = nullptr;
    if (watch_ >= 0) close(watch_);
    watch_ = -1;
    on_main([] {
      g_says.lost();
      answer_ready();
    });
  }

  // Settings last until changed, so each SAY sets what differs from the one before.
  void apply(const Job& job) {
    Applied want{choose_voice(job.voice), service_rate(job.rate).value_or(default_rate_)};
    if (applied_ && *applied_ == want) return;
    if (!applied_ || applied_->rate != want.rate) spd_set_voice_rate(conn_, want.rate);
    if (!applied_ || applied_->voice != want.voice) {
      if (want.voice.kind == VoiceChoice::Kind::Name) {
        spd_set_synthesis_voice(conn_, want.voice.value.c_str());
      } else {
        // A voice type clears a chosen voice, so the language picks one again.
        spd_set_voice_type(conn_, default_type_);
        const std::string& language =
            want.voice.kind == VoiceChoice::Kind::Language ? want.voice.value : default_language_;
        if (!language.empty()) spd_set_language(conn_, language.c_str());
      }
    }
    applied_ = want;
  }

  const int wake_;
  std::mutex mutex_;
  std::deque<Job> jobs_;
  // Worker thread only.
  SPDConnection* conn_ = nullptr;
  int watch_ = -1;
  bool reported_ = false;
  int default_rate_ = 0;
  SPDVoiceType default_type_ = SPD_MALE1;
  std::string default_language_;
  std::optional<Applied> applied_;
};

SpeechWorker& worker() {
  static SpeechWorker* w = new SpeechWorker;  // lives as long as the process
  return *w;
}

bool blank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

void do_say(webview_t, std::unique_ptr<SayReq> req) {
  // SAYs still speaking when the launcher quits are answered as cut off.
  [[maybe_unused]] static const bool hooked = (kelo_on_quit([] {
                                                 g_says.stop_all();
                                                 answer_ready();
                                               }),
                                               true);
  uint64_t token = g_says.add(req->id);
  if (blank(req->text)) {
    // Nothing to speak: finished at once, in its turn.
    g_says.finish(token, true);
    answer_ready();
    return;
  }
  Job job;
  job.token = token;
  job.generation = worker().generation.load();
  job.text = std::move(req->text);
  job.voice = std::move(req->voice);
  job.rate = req->rate;
  worker().post(std::move(job));
}

void do_saystop(webview_t, std::unique_ptr<NoArgs>) {
  g_says.stop_all();
  answer_ready();
  ++worker().generation;
  Job job;
  job.kind = Job::Kind::Stop;
  worker().post(std::move(job));
}

void do_voices(webview_t, std::unique_ptr<VoicesReq> req) {
  Job job;
  job.kind = Job::Kind::Voices;
  job.id = std::move(req->id);
  worker().post(std::move(job));
}
