// AUDIOTAP on the sound server: monitor streams, mixed and batched for the send timer.
#include <glib.h>
#include <pulse/pulseaudio.h>
#include <unistd.h>

#include "audio/audio_pulse.h"
#include "wire/link.h"

void PulseTap::build(const TapSettings& settings,
                     std::function<void(int status, TapFormat format)> done) {
  settings_ = settings;
  ticket_ =
      Ticket::start([this, done](int status) { done(status, format_); }, kAudioBuildDeadlineMs);
  PulseLink::get().when_ready([this, ticket = std::weak_ptr<Ticket>(ticket_)](int status) {
    auto t = ticket.lock();
    if (!t || !t->live()) return;
    if (status != 0) return t->finish(status);
    start();
  });
}

void PulseTap::start() {
  PulseLink& link = PulseLink::get();
  const SinkFacts* out = link.default_sink();
  format_ = TapFormat{out ? out->rate : 48000, 2};
  if (settings_.system() && !settings_.exclude_self) {
    if (!out) return ticket_->finish(PA_ERR_NOENTITY);
    PulseLock lock;
    whole_ = std::make_unique<Capture>(
        out->monitor, UINT32_MAX, format_.rate,
        [this](const float* frames, size_t count) { on_data(0, frames, count); },
        [this](int status) { on_state(status); });
    return;
  }
  following_ = true;
  follow();
  // Other apps may start playing later: a system tap without the app's sound runs anyway.
  if (streams_.empty()) ticket_->finish(settings_.system() ? 0 : kAudioNoProcesses);
}

void PulseTap::follow() {
  PulseLink& link = PulseLink::get();
  StreamPick pick = settings_.system() ? StreamPick::NotApp : StreamPick::App;
  auto wanted = pick_streams(link.streams(), pick, getpid(), link.sink_index(eq_sink_name()));
  streams_.on_drop = [this](uint32_t stream) { mixer_.remove(stream); };
  streams_.follow(
      wanted, format_.rate,
      [this](uint32_t stream, const float* frames, size_t count) {
        on_data(stream, frames, count);
      },
      [this](int status) { on_state(status); });
}

void PulseTap::streams_changed() {
  if (following_) follow();
}

// Server thread.
void PulseTap::on_data(uint32_t stream, const float* frames, size_t count) {
  mixer_.add(stream, frames, count, mixed_);
  if (mixed_.empty()) return;
  ctl_->batch().append(mixed_.data(), mixed_.size(), kelo_now_ms());
  mixed_.clear();
}

// A build is done once one capture runs, or when every capture it started has failed.
void PulseTap::on_state(int status) {
  if (!ticket_ || !ticket_->live()) return;
  if (status == 0 || whole_ || streams_.empty()) ticket_->finish(status);
}

void PulseTap::teardown() {
  if (ticket_) ticket_->cancel();
  ticket_.reset();
  following_ = false;
  if (timer_) g_source_remove(timer_);
  timer_ = 0;
  if (!PulseLink::get().loop()) return;
  PulseLock lock;
  whole_.reset();
  streams_.clear();
  mixer_.clear();
  mixed_.clear();
}

void PulseTap::start_timer(int interval_ms) {
  if (timer_) g_source_remove(timer_);
  timer_ = g_timeout_add(
      static_cast<guint>(interval_ms),
      [](gpointer self) -> gboolean {
        static_cast<PulseTap*>(self)->ctl_->tick();
        return G_SOURCE_CONTINUE;
      },
      this);
}

void PulseTap::send(const std::string& line) {
  sock_write_line(line);
}
