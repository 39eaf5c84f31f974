// The equaliser's filters: biquads from the RBJ cookbook and plain gains, compiled per channel,
// and the stereo chain the realtime path runs them in.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t kEqMaxFilters = 32;

// One requested filter. type: "linear", "bq_lowshelf", "bq_highshelf", "bq_lowpass",
// "bq_highpass", "bq_bandpass", "bq_notch", "bq_allpass"; any other text is a peaking filter.
struct EqFilter {
  std::string type;
  double freq = 0;
  double q = 0;
  double gain = 0;        // dB; a plain factor for "linear"; the left channel's
  double gain_right = 0;  // equals gain unless given
  bool has_gain_right = false;
};

// One compiled stage for one channel. The initial state passes samples through.
struct EqBand {
  bool plain = false;  // a plain gain stage; otherwise a biquad
  float gain = 1;
  float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
  float x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

// Tab-separated filters of comma-separated type, freq, q, gain[, gainRight]. Empty filters and
// filters of fewer than four fields are skipped; numbers read as C atof does; an empty fifth
// field counts as absent. At most kEqMaxFilters are kept.
std::vector<EqFilter> parse_eq_filters(std::string_view text);

// Compiles one filter for sample rate fs into band (histories cleared). Coefficients that are
// not finite leave the band passing samples through.
void eq_compile(EqBand& band, std::string_view type, double f, double q, double gain, double fs);

// One sample through the bands in order, updating their histories.
float eq_run(EqBand* bands, size_t count, float x);

// The channel factors of a balance: clamped to -1..1; positive turns the left channel down,
// negative the right one.
void eq_balance_factors(double balance, float& left, float& right);

// The live stereo chain. publish() runs on the main thread; process() on the audio thread,
// which never waits for it: one try of the lock per buffer, and a busy lock lets the buffer
// through unfiltered.
class EqChain {
 public:
  // Compiles filters for both channels at rate fs and swaps them in; keep_state carries each
  // stage's history over to the stage at the same position.
  void publish(const std::vector<EqFilter>& filters, double balance, double fs, bool keep_state);
  // No stages, unit gains.
  void clear();
  // Interleaved stereo in to out (they may be the same buffer). Allocation-free. Returns false
  // when the lock was busy and the buffer went through unfiltered.
  bool process(const float* in, float* out, size_t frames);

  // For tests and benches: hold the lock as a publisher does.
  bool try_lock() { return !lock_.test_and_set(std::memory_order_acquire); }
  void unlock() { lock_.clear(std::memory_order_release); }

 private:
  std::vector<EqBand> live_[2];
  std::atomic<float> gain_[2] = {1.0f, 1.0f};
  std::atomic_flag lock_ = ATOMIC_FLAG_INIT;
};
