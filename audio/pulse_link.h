// The launcher's one connection to the sound server (PulseAudio, or PipeWire's PulseAudio
// service), run by a threaded main loop. The server's sinks, playback streams and default sink
// are mirrored on the main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "audio/streams.h"

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

struct SinkFacts {
  std::string name;
  std::string monitor;  // the sink's monitor source
  int rate = 48000;
  uint32_t module = UINT32_MAX;  // the module that owns the sink
};

class PulseLink {
 public:
  static PulseLink& get();

  // Connects when needed; runs fn on the main thread once the mirror is filled (status 0) or
  // the connection failed (a PulseAudio error code).
  void when_ready(std::function<void(int status)> fn);

  // Main thread.
  const std::map<uint32_t, PlaybackStream>& streams() const { return streams_; }
  const SinkFacts* sink(uint32_t index) const;
  // The index of the sink with this name, or UINT32_MAX.
  uint32_t sink_index(const std::string& name) const;
  const SinkFacts* default_sink() const;
  const std::map<uint32_t, SinkFacts>& sinks() const { return sinks_; }

  // Set by the audio features; run on the main thread.
  std::function<void()> on_streams_changed;
  // The default sink changed, or the server went away.
  std::function<void()> on_output_changed;

  pa_context* context() const { return ctx_; }
  pa_threaded_mainloop* loop() const { return loop_; }
  // Waits (main thread, lock held) until fn() is true or ms have passed. Only for the end of
  // the process: everywhere else the main thread never waits for the server.
  void wait_until(const std::function<bool()>& fn, unsigned ms);

 private:
  PulseLink() = default;
  void connect();
  void fail(int status);
  static void on_state(pa_context* c, void* self);

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* ctx_ = nullptr;
  bool ready_ = false;
  int pending_lists_ = 0;
  std::vector<std::function<void(int)>> waiters_;
  std::map<uint32_t, PlaybackStream> streams_;
  std::map<uint32_t, SinkFacts> sinks_;
  std::string default_name_;

  friend struct PulseEvents;
};

// Holds the main loop's lock: every call into the connection from the main thread is made
// under it.
class PulseLock {
 public:
  PulseLock();
  ~PulseLock();
  PulseLock(const PulseLock&) = delete;
  PulseLock& operator=(const PulseLock&) = delete;
};

// A record stream of float stereo at a rate: a whole source, or one playback stream through
// its sink's monitor. Data reaches on_data on the server thread; on_state gets 0 once the
// stream runs or the error code when it failed, on the main thread. Created and destroyed
// under PulseLock.
class Capture {
 public:
  using Data = std::function<void(const float* frames, size_t count)>;  // null: silence
  Capture(const std::string& source, uint32_t stream, int rate, Data on_data,
          std::function<void(int)> state);
  ~Capture();
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

 private:
  static void on_read(pa_stream* s, size_t bytes, void* self);
  static void on_state(pa_stream* s, void* self);
  pa_stream* stream_ = nullptr;
  Data on_data_;
  std::function<void(int)> report_;  // hands a state to the main thread
  std::shared_ptr<bool> alive_;
};

// Deadline of a build: a server that does not answer fails it.
constexpr unsigned kAudioBuildDeadlineMs = 5000;

// The name of this launcher's equaliser sink.
std::string eq_sink_name();

// Record streams over a set of playback streams, each through its sink's monitor, following
// the set as it changes. A stream whose capture failed is tried again once it moves.
class CaptureSet {
 public:
  using Data = std::function<void(uint32_t stream, const float* frames, size_t count)>;
  using State = std::function<void(int status)>;  // 0: one capture runs; else it failed

  // Makes the captures match wanted; new ones report to on_state.
  void follow(const std::vector<uint32_t>& wanted, int rate, const Data& on_data,
              const State& on_state);
  void clear();  // under PulseLock
  bool empty() const { return captures_.empty(); }
  // Called under PulseLock for every capture that goes.
  std::function<void(uint32_t stream)> on_drop;

 private:
  std::map<uint32_t, std::unique_ptr<Capture>> captures_;
  std::map<uint32_t, uint32_t> failed_on_;  // stream -> the sink its capture failed on
};

// A build of audio objects that finishes once: done runs with a status, unless the build is
// cancelled first; after the deadline it fails with PA_ERR_TIMEOUT.
class Ticket {
 public:
  static std::shared_ptr<Ticket> start(std::function<void(int)> done, unsigned deadline_ms);
  ~Ticket();
  bool live() const { return static_cast<bool>(done_); }
  void finish(int status);
  void cancel();

 private:
  std::function<void(int)> done_;
  unsigned timer_ = 0;
};

// Milliseconds of the monotonic raw clock.
double kelo_now_ms();
