// The audio tap and the equaliser on the sound server.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "audio/eq_control.h"
#include "audio/pulse_link.h"
#include "audio/streams.h"
#include "audio/tap.h"

struct pa_operation;

// AUDIOTAP: scope "system" records the default sink's monitor; the app's scope, and "system"
// without the app's own sound, record each chosen playback stream and mix them.
class PulseTap final : public TapPlatform {
 public:
  void attach(TapController* controller) { ctl_ = controller; }
  void build(const TapSettings& settings,
             std::function<void(int status, TapFormat format)> done) override;
  void teardown() override;
  void start_timer(int interval_ms) override;
  void send(const std::string& line) override;
  // The server's playback streams changed.
  void streams_changed();

 private:
  void start();
  void follow();
  void on_data(uint32_t stream, const float* frames, size_t count);
  void on_state(int status);

  TapController* ctl_ = nullptr;
  TapSettings settings_;
  TapFormat format_;
  std::shared_ptr<Ticket> ticket_;
  bool following_ = false;          // the captures follow the chosen streams
  std::unique_ptr<Capture> whole_;  // the default sink's monitor
  CaptureSet streams_;
  StreamMixer mixer_{2, 4800};
  std::vector<float> mixed_;  // server thread only
  unsigned timer_ = 0;
};

// The equaliser: listens to the app's streams while waiting; once they sound, moves them to a
// sink of its own, filters that sink's monitor and plays the result on the default sink.
class PulseEq final : public EqPlatform {
 public:
  void attach(EqController* controller) { ctl_ = controller; }
  void build(bool mute, std::function<void(int status, double rate)> done) override;
  void teardown() override;
  // The server's playback streams changed.
  void streams_changed();
  // Gives the streams back and removes the sink, waiting for the server at most ms.
  void teardown_now(unsigned ms);
  // Told true when the sink is loaded and false when it goes: while it exists, the launcher
  // must give the app's streams back before it ends.
  std::function<void(bool)> on_hold;

 private:
  void listen();
  void take_over();
  void sink_loaded(uint32_t module);
  void move_streams();
  void filter(const float* frames, size_t count);  // the realtime path
  void on_state(int status);
  pa_operation* release();

  EqController* ctl_ = nullptr;
  std::shared_ptr<Ticket> ticket_;
  bool mute_ = false;
  int rate_ = 48000;
  std::string output_;  // the default sink the filtered sound plays on
  CaptureSet listeners_;
  std::unique_ptr<Capture> record_;
  pa_stream* playback_ = nullptr;
  int ready_ = 0;  // record and playback streams running
  uint32_t module_ = UINT32_MAX;
  std::set<uint32_t> moved_;
};
