// The connection to the sound server. Its callbacks run on the main loop's own thread; they
// copy what they learn into plain records and hand them to the main thread, which owns the
// mirror and every decision.
#include "audio/pulse_link.h"

#include <glib.h>
#include <pulse/pulseaudio.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "wire/main_queue.h"

namespace {

template <class F>
void to_main(F&& fn) {
  g_main_queue->post(make_task(std::forward<F>(fn)));
}

// The parent of a process, from /proc; 0 when it cannot be read.
long proc_parent(long pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%ld/stat", pid);
  FILE* f = std::fopen(path, "r");
  if (!f) return 0;
  char buf[512];
  size_t n = std::fread(buf, 1, sizeof buf - 1, f);
  std::fclose(f);
  buf[n] = '\0';
  // "pid (comm) state ppid ...": the name may hold blanks and parentheses.
  const char* close = std::strrchr(buf, ')');
  long ppid = 0;
  char state;
  if (!close || std::sscanf(close + 1, " %c %ld", &state, &ppid) != 2) return 0;
  return ppid;
}

PlaybackStream stream_of(const pa_sink_input_info* i) {
  PlaybackStream s;
  s.index = i->index;
  s.sink = i->sink;
  if (const char* pid = pa_proplist_gets(i->proplist, PA_PROP_APPLICATION_PROCESS_ID)) {
    s.pid = std::strtol(pid, nullptr, 10);
  }
  s.app = s.pid > 0 && pid_in_tree(s.pid, getpid(), proc_parent);
  return s;
}

SinkFacts sink_of(const pa_sink_info* i) {
  SinkFacts f;
  f.name = i->name ? i->name : "";
  f.monitor = i->monitor_source_name ? i->monitor_source_name : "";
  f.rate = static_cast<int>(i->sample_spec.rate);
  f.module = i->owner_module;
  return f;
}

}  // namespace

// The server thread's side: callbacks that forward to the main thread.
struct PulseEvents {
  static PulseLink& link() { return PulseLink::get(); }

  // One initial list is complete; the mirror is ready after the third.
  static void listed(pa_context* c) {
    to_main([c] {
      PulseLink& l = link();
      if (c != l.ctx_ || --l.pending_lists_ > 0) return;
      l.ready_ = true;
      auto waiters = std::move(l.waiters_);
      for (auto& fn : waiters)
        fn(0);
    });
  }

  static void stream_info(pa_context* c, const pa_sink_input_info* i, int eol, void* list) {
    if (eol) {
      if (list) listed(c);
      return;
    }
    to_main([c, s = stream_of(i)] {
      PulseLink& l = link();
      if (c != l.ctx_) return;
      l.streams_[s.index] = s;
      if (l.ready_ && l.on_streams_changed) l.on_streams_changed();
    });
  }

  static void sink_info(pa_context* c, const pa_sink_info* i, int eol, void* list) {
    if (eol) {
      if (list) listed(c);
      return;
    }
    to_main([c, index = i->index, f = sink_of(i)] {
      if (c == link().ctx_) link().sinks_[index] = f;
    });
  }

  static void server_info(pa_context* c, const pa_server_info* i, void* list) {
    std::string name = i && i->default_sink_name ? i->default_sink_name : "";
    to_main([c, name] {
      PulseLink& l = link();
      if (c != l.ctx_ || name == l.default_name_) return;
      l.default_name_ = name;
      if (l.ready_ && l.on_output_changed) l.on_output_changed();
    });
    if (list) listed(c);
  }

  static void removed(pa_context* c, pa_subscription_event_type_t facility, uint32_t index) {
    to_main([c, facility, index] {
      PulseLink& l = link();
      if (c != l.ctx_) return;
      if (facility == PA_SUBSCRIPTION_EVENT_SINK) {
        l.sinks_.erase(index);
      } else if (l.streams_.erase(index) && l.ready_ && l.on_streams_changed) {
        l.on_streams_changed();
      }
    });
  }

  static void event(pa_context* c, pa_subscription_event_type_t t, uint32_t index, void*) {
    auto facility =
        static_cast<pa_subscription_event_type_t>(t & PA_SUBSCRIPTION_EVENT_FACILITY_MASK);
    bool gone = (t & PA_SUBSCRIPTION_EVENT_TYPE_MASK) == PA_SUBSCRIPTION_EVENT_REMOVE;
    pa_operation* op = nullptr;
    if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
      op = pa_context_get_server_info(c, server_info, nullptr);
    } else if (gone) {
      removed(c, facility, index);
    } else if (facility == PA_SUBSCRIPTION_EVENT_SINK) {
      op = pa_context_get_sink_info_by_index(c, index, sink_info, nullptr);
    } else if (facility == PA_SUBSCRIPTION_EVENT_SINK_INPUT) {
      op = pa_context_get_sink_input_info(c, index, stream_info, nullptr);
    }
    if (op) pa_operation_unref(op);
  }

  static void ready(pa_context* c) {
    to_main([c] {
      if (c == link().ctx_) link().pending_lists_ = 3;
    });
    pa_context_set_subscribe_callback(c, event, nullptr);
    auto mask = static_cast<pa_subscription_mask_t>(
        PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SINK_INPUT | PA_SUBSCRIPTION_MASK_SERVER);
    void* list = reinterpret_cast<void*>(1);
    for (pa_operation* op : {pa_context_subscribe(c, mask, nullptr, nullptr),
                             pa_context_get_server_info(c, server_info, list),
                             pa_context_get_sink_info_list(c, sink_info, list),
                             pa_context_get_sink_input_info_list(c, stream_info, list)}) {
      if (op) pa_operation_unref(op);
    }
  }
};

PulseLink& PulseLink::get() {
  static PulseLink* link = new PulseLink;  // lives until the process ends
  return *link;
}

void PulseLink::when_ready(std::function<void(int status)> fn) {
  if (ready_) {
    to_main([fn = std::move(fn)] { fn(0); });
    return;
  }
  waiters_.push_back(std::move(fn));
  if (!ctx_) connect();
}

void PulseLink::connect() {
  if (!loop_) {
    loop_ = pa_threaded_mainloop_new();
    pa_threaded_mainloop_set_name(loop_, "kelojs-audio");
    pa_threaded_mainloop_start(loop_);
  }
  PulseLock lock;
  ctx_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "kelojs");
  pa_context_set_state_callback(ctx_, on_state, this);
  if (pa_context_connect(ctx_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    to_main([c = ctx_, err = pa_context_errno(ctx_)] {
      if (c == get().ctx_) get().fail(err);
    });
  }
}

void PulseLink::on_state(pa_context* c, void*) {
  pa_context_state_t state = pa_context_get_state(c);
  if (state == PA_CONTEXT_READY) {
    PulseEvents::ready(c);
  } else if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
    int err = pa_context_errno(c);
    to_main([c, err] {
      if (c == get().ctx_) get().fail(err ? err : PA_ERR_CONNECTIONTERMINATED);
    });
  }
}

// The connection is gone: the mirror empties, waiters hear the error, and features that were
// running start over (their rebuild reconnects).
void PulseLink::fail(int status) {
  bool was_ready = ready_;
  ready_ = false;
  streams_.clear();
  sinks_.clear();
  default_name_.clear();
  {
    PulseLock lock;
    pa_context_set_state_callback(ctx_, nullptr, nullptr);
    pa_context_set_subscribe_callback(ctx_, nullptr, nullptr);
    pa_context_disconnect(ctx_);
    pa_context_unref(ctx_);
    ctx_ = nullptr;
  }
  auto waiters = std::move(waiters_);
  for (auto& fn : waiters)
    fn(status);
  if (was_ready && on_output_changed) on_output_changed();
}

const SinkFacts* PulseLink::sink(uint32_t index) const {
  auto it = sinks_.find(index);
  return it == sinks_.end() ? nullptr : &it->second;
}

uint32_t PulseLink::sink_index(const std::string& name) const {
  for (const auto& [index, f] : sinks_) {
    if (f.name == name) return index;
  }
  return UINT32_MAX;
}

const SinkFacts* PulseLink::default_sink() const {
  uint32_t index = sink_index(default_name_);
  return index == UINT32_MAX ? nullptr : sink(index);
}

void PulseLink::wait_until(const std::function<bool()>& fn, unsigned ms) {
  double deadline = kelo_now_ms() + ms;
  while (!fn() && kelo_now_ms() < deadline) {
    pa_threaded_mainloop_unlock(loop_);
    g_usleep(2000);
    pa_threaded_mainloop_lock(loop_);
  }
}

PulseLock::PulseLock() {
  pa_threaded_mainloop_lock(PulseLink::get().loop());
}
PulseLock::~PulseLock() {
  pa_threaded_mainloop_unlock(PulseLink::get().loop());
}

Capture::Capture(const std::string& source, uint32_t stream, int rate, Data on_data,
                 std::function<void(int)> state)
    : on_data_(std::move(on_data)), alive_(std::make_shared<bool>(true)) {
  pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, static_cast<uint32_t>(rate), 2};
  pa_context* c = PulseLink::get().context();
  stream_ = c ? pa_stream_new(c, "kelojs-audioTap", &spec, nullptr) : nullptr;
  report_ = [alive = alive_, state](int status) {
    to_main([alive, state, status] {
      if (*alive) state(status);
    });
  };
  if (!stream_) {
    report_(c ? pa_context_errno(c) : PA_ERR_CONNECTIONTERMINATED);
    return;
  }
  if (stream != UINT32_MAX) pa_stream_set_monitor_stream(stream_, stream);
  pa_buffer_attr attr;
  std::memset(&attr, 0xff, sizeof attr);
  attr.fragsize = static_cast<uint32_t>(rate / 100 * 8);  // 10 ms
  pa_stream_set_state_callback(stream_, on_state, this);
  pa_stream_set_read_callback(stream_, on_read, this);
  auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
  if (pa_stream_connect_record(stream_, source.c_str(), &attr, flags) < 0) {
    report_(pa_context_errno(c));
  }
}

void Capture::on_state(pa_stream* s, void* self) {
  pa_stream_state_t state = pa_stream_get_state(s);
  if (state == PA_STREAM_READY) static_cast<Capture*>(self)->report_(0);
  if (state == PA_STREAM_FAILED) {
    static_cast<Capture*>(self)->report_(pa_context_errno(pa_stream_get_context(s)));
  }
}

Capture::~Capture() {
  *alive_ = false;
  if (!stream_) return;
  pa_stream_set_read_callback(stream_, nullptr, nullptr);
  pa_stream_set_state_callback(stream_, nullptr, nullptr);
  pa_stream_disconnect(stream_);
  pa_stream_unref(stream_);
}

void Capture::on_read(pa_stream* s, size_t, void* self) {
  auto* capture = static_cast<Capture*>(self);
  const void* data;
  size_t bytes;
  while (pa_stream_readable_size(s) > 0) {
    if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0) return;
    capture->on_data_(static_cast<const float*>(data), bytes / (2 * sizeof(float)));
    pa_stream_drop(s);
  }
}

std::string eq_sink_name() {
  return "kelojs-eq-" + std::to_string(getpid());
}

void CaptureSet::follow(const std::vector<uint32_t>& wanted, int rate, const Data& on_data,
                        const State& on_state) {
  PulseLink& link = PulseLink::get();
  PulseLock lock;
  std::erase_if(captures_, [&](const auto& entry) {
    bool gone = std::find(wanted.begin(), wanted.end(), entry.first) == wanted.end();
    if (gone && on_drop) on_drop(entry.first);
    return gone;
  });
  std::erase_if(failed_on_, [&](const auto& entry) {
    return std::find(wanted.begin(), wanted.end(), entry.first) == wanted.end();
  });
  for (uint32_t index : wanted) {
    auto stream = link.streams().find(index);
    const SinkFacts* sink =
        stream == link.streams().end() ? nullptr : link.sink(stream->second.sink);
    if (captures_.count(index) || !sink) continue;
    uint32_t on_sink = stream->second.sink;
    auto failed = failed_on_.find(index);
    if (failed != failed_on_.end() && failed->second == on_sink) continue;
    failed_on_.erase(index);
    captures_[index] = std::make_unique<Capture>(
        sink->monitor, index, rate,
        [on_data, index](const float* frames, size_t count) { on_data(index, frames, count); },
        [this, index, on_sink, on_state](int status) {
          if (status != 0) {
            PulseLock relock;
            failed_on_[index] = on_sink;
            if (on_drop) on_drop(index);
            captures_.erase(index);
          }
          on_state(status);
        });
  }
}

void CaptureSet::clear() {
  captures_.clear();
  failed_on_.clear();
}

std::shared_ptr<Ticket> Ticket::start(std::function<void(int)> done, unsigned deadline_ms) {
  auto t = std::make_shared<Ticket>();
  t->done_ = std::move(done);
  using Weak = std::weak_ptr<Ticket>;
  t->timer_ = g_timeout_add_full(
      G_PRIORITY_DEFAULT, deadline_ms,
      [](gpointer w) -> gboolean {
        if (auto ticket = static_cast<Weak*>(w)->lock()) {
          ticket->timer_ = 0;
          ticket->finish(PA_ERR_TIMEOUT);
        }
        return G_SOURCE_REMOVE;
      },
      new Weak(t), [](gpointer w) { delete static_cast<Weak*>(w); });
  return t;
}

Ticket::~Ticket() {
  cancel();
}

void Ticket::finish(int status) {
  if (!done_) return;
  auto done = std::move(done_);
  cancel();
  done(status);
}

void Ticket::cancel() {
  done_ = nullptr;
  if (timer_) g_source_remove(timer_);
  timer_ = 0;
}

double kelo_now_ms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
  return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}
