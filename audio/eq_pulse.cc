// The equaliser on the sound server. Waiting: the app's streams play directly while monitor
// streams listen to them. Active: they play into this launcher's own null sink, whose monitor
// is filtered in the record callback and played on the default sink by one playback stream.
#include <pulse/pulseaudio.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <algorithm>
#include <cstring>

#include "audio/audio_pulse.h"
#include "wire/main_queue.h"

namespace {

PulseEq* g_self = nullptr;
uint32_t g_load_seq = 0;  // the sink load in flight; others are stale

void drop(pa_operation* op) {
  if (op) pa_operation_unref(op);
}

std::vector<uint32_t> app_streams(uint32_t held) {
  return pick_streams(PulseLink::get().streams(), StreamPick::AppChildren, getpid(), held);
}

// Sinks left behind by launchers that were killed outright go first.
void remove_orphan_sinks() {
  PulseLink& link = PulseLink::get();
  for (const auto& [index, sink] : link.sinks()) {
    long pid = 0;
    if (std::sscanf(sink.name.c_str(), "kelojs-eq-%ld", &pid) != 1 || pid == getpid()) continue;
    if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    drop(pa_context_unload_module(link.context(), sink.module, nullptr, nullptr));
  }
}

}  // namespace

void PulseEq::build(bool mute, std::function<void(int status, double rate)> done) {
  g_self = this;
  mute_ = mute;
  ticket_ = Ticket::start([this, done](int status) { done(status, rate_); }, kAudioBuildDeadlineMs);
  PulseLink::get().when_ready([this, ticket = std::weak_ptr<Ticket>(ticket_)](int status) {
    auto t = ticket.lock();
    if (!t || !t->live()) return;
    if (status != 0) return t->finish(status);
    if (app_streams(UINT32_MAX).empty()) return t->finish(kAudioNoProcesses);
    const SinkFacts* out = PulseLink::get().default_sink();
    if (!out || out->name == eq_sink_name()) return t->finish(PA_ERR_NOENTITY);
    output_ = out->name;
    rate_ = out->rate;
    mute_ ? take_over() : listen();
  });
}

void PulseEq::listen() {
  listeners_.follow(
      app_streams(UINT32_MAX), rate_,
      [this](uint32_t, const float* frames, size_t count) {
        for (size_t i = 0; frames && i < 2 * count; ++i) {
          if (frames[i] != 0) return ctl_->note_sound();
        }
      },
      [this](int status) { on_state(status); });
}

// Waiting, a build is done once one listener runs or every one has failed; taking over, once
// both the record and the playback stream run, or at the first failure.
void PulseEq::on_state(int status) {
  if (!ticket_ || !ticket_->live()) return;
  if (status != 0) {
    if (mute_ || listeners_.empty()) ticket_->finish(status);
  } else if (!mute_ || ++ready_ == 2) {
    ticket_->finish(0);
  }
}

void PulseEq::take_over() {
  std::string args = "sink_name=" + eq_sink_name() + " rate=" + std::to_string(rate_) +
                     " channels=2 format=float32le sink_properties=device.description=kelojs-eq";
  PulseLock lock;
  remove_orphan_sinks();
  uintptr_t seq = ++g_load_seq;
  pa_operation* op = pa_context_load_module(
      PulseLink::get().context(), "module-null-sink", args.c_str(),
      [](pa_context* c, uint32_t module, void* seq) {
        int err = pa_context_errno(c);
        g_main_queue->post(make_task([module, err, seq = reinterpret_cast<uintptr_t>(seq)] {
          bool current = seq == g_load_seq && g_self->ticket_ && g_self->ticket_->live();
          if (module == PA_INVALID_INDEX) {
            if (current) g_self->ticket_->finish(err ? err : PA_ERR_UNKNOWN);
          } else if (!current) {
            PulseLock relock;
            if (pa_context* c = PulseLink::get().context()) {
              drop(pa_context_unload_module(c, module, nullptr, nullptr));
            }
          } else {
            g_self->sink_loaded(module);
          }
        }));
      },
      reinterpret_cast<void*>(seq));
  drop(op);
}

void PulseEq::sink_loaded(uint32_t module) {
  module_ = module;
  if (on_hold) on_hold(true);
  move_streams();
  PulseLock lock;
  record_ = std::make_unique<Capture>(
      eq_sink_name() + ".monitor", UINT32_MAX, rate_,
      [this](const float* frames, size_t count) { filter(frames, count); },
      [this](int status) { on_state(status); });
  pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, static_cast<uint32_t>(rate_), 2};
  playback_ = pa_stream_new(PulseLink::get().context(), "kelojs-eq", &spec, nullptr);
  if (!playback_) return ticket_->finish(pa_context_errno(PulseLink::get().context()));
  pa_stream_set_state_callback(
      playback_,
      [](pa_stream* s, void*) {
        pa_stream_state_t state = pa_stream_get_state(s);
        if (state != PA_STREAM_READY && state != PA_STREAM_FAILED) return;
        int status = state == PA_STREAM_READY ? 0 : pa_context_errno(pa_stream_get_context(s));
        g_main_queue->post(make_task([s, status] {
          if (s == g_self->playback_) g_self->on_state(status);
        }));
      },
      nullptr);
  pa_buffer_attr attr;
  std::memset(&attr, 0xff, sizeof attr);
  attr.tlength = static_cast<uint32_t>(rate_ / 25 * 8);  // 40 ms
  if (pa_stream_connect_playback(playback_, output_.c_str(), &attr, PA_STREAM_ADJUST_LATENCY,
                                 nullptr, nullptr) < 0) {
    ticket_->finish(pa_context_errno(PulseLink::get().context()));
  }
}

// The app's streams that are not yet on the equaliser's sink go there; a stream the user
// moved away again is left where it is.
void PulseEq::move_streams() {
  PulseLink& link = PulseLink::get();
  if (!link.context()) return;
  PulseLock lock;
  for (uint32_t index : app_streams(link.sink_index(eq_sink_name()))) {
    if (!moved_.insert(index).second) continue;
    drop(pa_context_move_sink_input_by_name(link.context(), index, eq_sink_name().c_str(), nullptr,
                                            nullptr));
  }
}

void PulseEq::streams_changed() {
  if (module_ != UINT32_MAX) {
    move_streams();
  } else if (!mute_ && ticket_) {
    listen();
  }
  ctl_->streams_changed(!app_streams(UINT32_MAX).empty());
}

// The realtime path, on the server thread: no allocation, no waiting. Frames the output has no
// room for are dropped, which keeps the two clocks' drift from piling up as latency.
void PulseEq::filter(const float* frames, size_t count) {
  constexpr size_t kFrame = 2 * sizeof(float);
  size_t room = playback_ ? pa_stream_writable_size(playback_) : 0;
  if (room == static_cast<size_t>(-1)) return;
  size_t bytes = std::min(count * kFrame, room - room % kFrame);
  void* out = nullptr;
  if (bytes == 0 || pa_stream_begin_write(playback_, &out, &bytes) < 0 || !out) return;
  bytes -= bytes % kFrame;
  if (frames) {
    ctl_->chain().process(frames, static_cast<float*>(out), bytes / kFrame);
  } else {
    std::memset(out, 0, bytes);
  }
  pa_stream_write(playback_, out, bytes, nullptr, 0, PA_SEEK_RELATIVE);
}

void PulseEq::teardown() {
  drop(release());
}

void PulseEq::teardown_now(unsigned ms) {
  if (pa_operation* op = release()) {
    PulseLock lock;
    PulseLink::get().wait_until([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; },
                                ms);
    pa_operation_unref(op);
  }
}

// Stops every stream, moves the app's streams back to the default sink and unloads the sink;
// returns the unload operation.
pa_operation* PulseEq::release() {
  if (ticket_) ticket_->cancel();
  ticket_.reset();
  ready_ = 0;
  PulseLink& link = PulseLink::get();
  if (!link.loop()) return nullptr;
  PulseLock lock;
  ++g_load_seq;
  listeners_.clear();
  record_.reset();
  if (playback_) {
    pa_stream_set_state_callback(playback_, nullptr, nullptr);
    pa_stream_disconnect(playback_);
    pa_stream_unref(playback_);
    playback_ = nullptr;
  }
  if (module_ == UINT32_MAX) return nullptr;
  pa_context* c = link.context();
  pa_operation* op = nullptr;
  if (c) {
    uint32_t held = link.sink_index(eq_sink_name());
    for (const auto& [index, s] : link.streams()) {
      if (s.sink == held) moved_.insert(index);
    }
    const SinkFacts* out = link.default_sink();
    std::string back = out && out->name != eq_sink_name() ? out->name : output_;
    for (uint32_t index : moved_) {
      drop(pa_context_move_sink_input_by_name(c, index, back.c_str(), nullptr, nullptr));
    }
    op = pa_context_unload_module(c, module_, nullptr, nullptr);
  }
  module_ = UINT32_MAX;
  moved_.clear();
  if (on_hold) on_hold(false);
  return op;
}
