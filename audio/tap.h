// AUDIOTAP: the sound the app (or the whole system) plays, sent to the backend every interval
// as 16-bit samples in Base64. The rules live here; the sound server stands behind TapPlatform.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The status of a start that finds no sound of the app to tap.
constexpr int kAudioNoProcesses = 560947818;

struct AudioTapReq {
  std::string id;     // empty for a stop
  std::string scope;  // "system", anything else the app; "__stop__" for a stop
  bool exclude_self = false;
  int interval_ms = 80;
  bool stop() const { return scope == "__stop__"; }
};

// "AUDIOTAP " id [" " scope TAB excludeSelf TAB intervalMs]; after is the offset past the verb.
std::unique_ptr<AudioTapReq> parse_audiotap(std::string_view line, size_t after);
// "AUDIOTAP STOP" and anything after it.
std::unique_ptr<AudioTapReq> parse_audiotap_stop(std::string_view line, size_t after);

// The send interval: 20 to 500 ms.
int clamp_tap_interval(int ms);

// A float sample as a 16-bit one: clamped to -1..1, times 32767, rounded half to even.
int16_t tap_sample(float x);

// Base64 of bytes, standard alphabet, padded, no line breaks.
std::string base64_encode(const uint8_t* data, size_t size);

// "AUDIOTAP " pcm TAB rate TAB channels TAB frames TAB t.
std::string tap_event_line(const std::vector<int16_t>& samples, int rate, int channels,
                           double first_ms);

struct TapFormat {
  int rate = 48000;
  int channels = 2;
};

std::string tap_running_json(const TapFormat& f);
std::string tap_failed_json(int status);

// Samples gathered between two sends. The capture thread appends, the send timer takes the
// whole batch; one mutex guards both, held by the taker only for a swap.
class TapBatch {
 public:
  // Appends converted samples; the first sample of an empty batch notes now_ms as its time.
  void append(const float* samples, size_t count, double now_ms);
  // Swaps the batch out; false when it is empty.
  bool take(std::vector<int16_t>& out, double& first_ms);
  void clear();

 private:
  std::mutex mutex_;
  std::vector<int16_t> samples_;
  double first_ms_ = 0;
};

struct TapSettings {
  std::string scope;
  bool exclude_self = false;
  int interval_ms = 80;
  bool system() const { return scope == "system"; }
  bool operator==(const TapSettings&) const = default;
};

// What the tap needs of the sound server and the main loop.
class TapPlatform {
 public:
  virtual ~TapPlatform() = default;
  // Starts capturing into the batch; calls done once, later, on the main thread, with 0 and
  // the tap's format or with a failure status. teardown() cancels a build in flight: its done
  // is never called.
  virtual void build(const TapSettings& settings,
                     std::function<void(int status, TapFormat format)> done) = 0;
  // Stops capturing and sending.
  virtual void teardown() = 0;
  // Calls TapController::tick every interval until teardown().
  virtual void start_timer(int interval_ms) = 0;
  virtual void send(const std::string& line) = 0;
};

// The tap's state machine, on the main thread. Starts and stops are handled one at a time in
// wire order: while a build is in flight, later requests wait for it.
class TapController {
 public:
  explicit TapController(TapPlatform& platform) : p_(platform) {}

  void handle(std::unique_ptr<AudioTapReq> req);
  // The default output changed: a running tap is rebuilt in place.
  void output_changed();
  // The send timer fired.
  void tick();
  // The launcher is ending: the tap stops, every start still waiting is answered as failed.
  void shutdown(int status);

  TapBatch& batch() { return batch_; }
  bool active() const { return active_; }

 private:
  void run(std::unique_ptr<AudioTapReq> req);
  void stop();
  void build(std::optional<std::string> id);
  void built(int status, TapFormat format);
  void next();

  TapPlatform& p_;
  TapBatch batch_;
  bool active_ = false;
  bool building_ = false;
  bool rebuild_ = false;  // the output changed during a build
  TapSettings settings_;
  TapFormat format_;
  std::deque<std::unique_ptr<AudioTapReq>> waiting_;
  std::optional<std::string> building_id_;  // the start being built; none for a rebuild
};
