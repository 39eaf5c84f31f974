// The equaliser's commands (AUDIOFILTERS, AUDIOFILTERSET, AUDIOBALANCE), its states and its
// state record. The sound server stands behind EqPlatform.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "audio/eq.h"

struct AudioFiltersReq {
  std::vector<EqFilter> filters;
};

struct AudioFilterSetReq {
  int index = 0;
  double freq = 0, q = 0, gain = 0;
};

// "AUDIOFILTERS" [" " list]: the list is everything after the 13th byte.
std::unique_ptr<AudioFiltersReq> parse_audiofilters(std::string_view line, size_t after);
// "AUDIOFILTERSET " index TAB freq TAB q TAB gain; null with fewer than four fields.
std::unique_ptr<AudioFilterSetReq> parse_audiofilterset(std::string_view line, size_t after);
// "AUDIOBALANCE" value: the value is everything after the 13th byte, "0" when there is none.
std::unique_ptr<double> parse_audiobalance(std::string_view line, size_t after);

// What the equaliser needs of the sound server. Calls and callbacks are on the main thread.
class EqPlatform {
 public:
  virtual ~EqPlatform() = default;
  // mute false: listen to the app's streams as they play (they keep playing directly) and
  // call EqController::note_sound on the first one that is not silent. mute true: take the
  // app's streams over, run them through the chain, play the result. done gets 0 and the
  // chain's sample rate, or a failure status; teardown() cancels a build in flight.
  virtual void build(bool mute, std::function<void(int status, double rate)> done) = 0;
  // Gives the app's streams back and removes every audio object.
  virtual void teardown() = 0;
};

enum class EqState { Off, Waiting, Active };

// The equaliser's state machine. Commands and platform events on the main thread; note_sound
// on an audio thread.
class EqController {
 public:
  explicit EqController(EqPlatform& platform) : p_(platform) {}

  void filters(std::vector<EqFilter> list);
  void filter_set(const AudioFilterSetReq& req);
  void balance(double value);

  // The default output changed: an active equaliser starts over, waiting.
  void output_changed();
  // The app's streams changed; has_streams: it has at least one.
  void streams_changed(bool has_streams);
  // A non-silent sample was heard while waiting. Any thread; queues the switch to active.
  void note_sound();

  EqState state() const;
  std::string state_json() const;
  EqChain& chain() { return chain_; }
  const std::vector<EqFilter>& filter_list() const { return filters_; }

 private:
  void stop();
  void rearm();
  void build(bool mute);
  void arm();

  EqPlatform& p_;
  EqChain chain_;
  std::vector<EqFilter> filters_;
  double balance_ = 0;
  double rate_ = 48000;
  bool active_ = false;
  bool muted_ = false;
  bool built_ = false;     // the audio objects exist
  bool building_ = false;  // a build is in flight
  std::atomic<bool> heard_{false};
  std::atomic<bool> arming_{false};
};
