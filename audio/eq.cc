#include "audio/eq.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

#include "wire/text.h"

namespace {

std::vector<std::string_view> split(std::string_view text, char sep) {
  std::vector<std::string_view> out;
  for (;;) {
    size_t at = text.find(sep);
    out.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return out;
    text.remove_prefix(at + 1);
  }
}

bool finite(const EqBand& b) {
  return std::isfinite(b.gain) && std::isfinite(b.b0) && std::isfinite(b.b1) &&
         std::isfinite(b.b2) && std::isfinite(b.a1) && std::isfinite(b.a2);
}

// y = b0·x + b1·x1 + b2·x2 - a1·y1 - a2·y2 as a chain of fused multiply-adds.
[[gnu::always_inline]] inline float stage(EqBand& b, float x) {
  if (b.plain) return x * b.gain;
  float t = b.b1 * b.x1;
  t = std::fmaf(b.b0, x, t);
  t = std::fmaf(b.b2, b.x2, t);
  t = std::fmaf(-b.a1, b.y1, t);
  float y = std::fmaf(-b.a2, b.y2, t);
  b.x2 = b.x1;
  b.x1 = x;
  b.y2 = b.y1;
  b.y1 = y;
  return y;
}

// The two channels run side by side so their independent chains overlap in the pipeline.
// Returns false when an output sample is not finite.
[[gnu::always_inline]] inline bool run_stereo(EqBand* left, EqBand* right, size_t count,
                                              const float* in, float* out, size_t frames,
                                              float gain_left, float gain_right) {
  bool bad = false;
  for (size_t k = 0; k < frames; ++k) {
    float l = in[2 * k];
    float r = in[2 * k + 1];
    for (size_t i = 0; i < count; ++i) {
      l = stage(left[i], l);
      r = stage(right[i], r);
    }
    l *= gain_left;
    r *= gain_right;
    out[2 * k] = l;
    out[2 * k + 1] = r;
    bad |= !(std::fabs(l) <= FLT_MAX);
    bad |= !(std::fabs(r) <= FLT_MAX);
  }
  return !bad;
}

using RunStereo = bool (*)(EqBand*, EqBand*, size_t, const float*, float*, size_t, float, float);

bool run_plain(EqBand* l, EqBand* r, size_t n, const float* in, float* out, size_t frames, float gl,
               float gr) {
  return run_stereo(l, r, n, in, out, frames, gl, gr);
}

// Where the processor has fused multiply-add instructions, the chain uses them inline instead
// of calling the library's fmaf. Chosen once at start-up, not by an ifunc resolver, which
// would run before the sanitizers' runtimes are ready.
#if defined(__x86_64__)
[[gnu::target("fma")]] bool run_fma(EqBand* l, EqBand* r, size_t n, const float* in, float* out,
                                    size_t frames, float gl, float gr) {
  return run_stereo(l, r, n, in, out, frames, gl, gr);
}

RunStereo pick_run() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("fma") ? run_fma : run_plain;
}
#else
RunStereo pick_run() {
  return run_plain;
}
#endif

const RunStereo g_run_stereo = pick_run();

// Denormal histories of a decaying filter are flushed to zero while the chain runs.
class FlushDenormals {
#if defined(__x86_64__)
 public:
  FlushDenormals() : saved_(_mm_getcsr()) {
    _mm_setcsr(saved_ | 0x8040);
  }
  ~FlushDenormals() {
    _mm_setcsr(saved_);
  }

 private:
  unsigned saved_;
#endif
};

}  // namespace

std::vector<EqFilter> parse_eq_filters(std::string_view text) {
  std::vector<EqFilter> filters;
  for (std::string_view item : split(text, '\t')) {
    if (filters.size() == kEqMaxFilters) break;
    if (item.empty()) continue;
    std::vector<std::string_view> f = split(item, ',');
    if (f.size() < 4) continue;
    EqFilter filter;
    filter.type = std::string(f[0]);
    filter.freq = wire_atof(f[1]);
    filter.q = wire_atof(f[2]);
    filter.gain = wire_atof(f[3]);
    filter.has_gain_right = f.size() > 4 && !f[4].empty();
    filter.gain_right = filter.has_gain_right ? wire_atof(f[4]) : filter.gain;
    filters.push_back(std::move(filter));
  }
  return filters;
}

void eq_compile(EqBand& band, std::string_view type, double f, double q, double gain, double fs) {
  band = EqBand{};
  if (type == "linear") {
    band.plain = true;
    band.gain = static_cast<float>(gain);
    if (!finite(band)) band = EqBand{};
    return;
  }
  if (q <= 0.0001) q = 0.0001;
  if (f < 1) f = 1;
  if (f > 0.49 * fs) f = 0.49 * fs;
  double A = std::pow(10.0, gain / 40.0);
  double w0 = 6.283185307179586 * f / fs;
  double cs = std::cos(w0), sn = std::sin(w0);
  double alpha = sn / (2 * q);
  double sA = std::sqrt(A > 0 ? A : 0);
  double b0, b1, b2, a0, a1, a2;
  if (type == "bq_lowshelf") {
    b0 = A * ((A + 1) - (A - 1) * cs + 2 * sA * alpha);
    b1 = 2 * A * ((A - 1) - (A + 1) * cs);
    b2 = A * ((A + 1) - (A - 1) * cs - 2 * sA * alpha);
    a0 = (A + 1) + (A - 1) * cs + 2 * sA * alpha;
    a1 = -2 * ((A - 1) + (A + 1) * cs);
    a2 = (A + 1) + (A - 1) * cs - 2 * sA * alpha;
  } else if (type == "bq_highshelf") {
    b0 = A * ((A + 1) + (A - 1) * cs + 2 * sA * alpha);
    b1 = -2 * A * ((A - 1) + (A + 1) * cs);
    b2 = A * ((A + 1) + (A - 1) * cs - 2 * sA * alpha);
    a0 = (A + 1) - (A - 1) * cs + 2 * sA * alpha;
    a1 = 2 * ((A - 1) - (A + 1) * cs);
    a2 = (A + 1) - (A - 1) * cs - 2 * sA * alpha;
  } else if (type == "bq_lowpass") {
    b0 = (1 - cs) / 2, b1 = 1 - cs, b2 = (1 - cs) / 2;
    a0 = 1 + alpha, a1 = -2 * cs, a2 = 1 - alpha;
  } else if (type == "bq_highpass") {
    b0 = (1 + cs) / 2, b1 = -(1 + cs), b2 = (1 + cs) / 2;
    a0 = 1 + alpha, a1 = -2 * cs, a2 = 1 - alpha;
  } else if (type == "bq_bandpass" || type == "bq_notch" || type == "bq_allpass") {
    if (type == "bq_bandpass") {
      b0 = alpha, b1 = 0, b2 = -alpha;
    } else if (type == "bq_notch") {
      b0 = 1, b1 = -2 * cs, b2 = 1;
    } else {
      b0 = 1 - alpha, b1 = -2 * cs, b2 = 1 + alpha;
    }
    a0 = 1 + alpha;
    a1 = -2 * cs;
    a2 = 1 - alpha;
  } else {
    b0 = 1 + alpha * A;
    b1 = -2 * cs;
    b2 = 1 - alpha * A;
    a0 = 1 + alpha / A;
    a1 = -2 * cs;
    a2 = 1 - alpha / A;
  }
  if (a0 == 0) a0 = 1;
  band.b0 = static_cast<float>(b0 / a0);
  band.b1 = static_cast<float>(b1 / a0);
  band.b2 = static_cast<float>(b2 / a0);
  band.a1 = static_cast<float>(a1 / a0);
  band.a2 = static_cast<float>(a2 / a0);
  if (!finite(band)) band = EqBand{};
}

float eq_run(EqBand* bands, size_t count, float x) {
  for (size_t i = 0; i < count; ++i)
    x = stage(bands[i], x);
  return x;
}

void eq_balance_factors(double balance, float& left, float& right) {
  double b = balance;
  if (b < -1) b = -1;
  if (b > 1) b = 1;
  left = b > 0 ? static_cast<float>(1 - b) : 1.0f;
  right = b < 0 ? static_cast<float>(1 + b) : 1.0f;
}

void EqChain::publish(const std::vector<EqFilter>& filters, double balance, double fs,
                      bool keep_state) {
  std::vector<EqBand> fresh[2];
  for (int c = 0; c < 2; ++c) {
    fresh[c].resize(filters.size());
    for (size_t i = 0; i < filters.size(); ++i) {
      const EqFilter& f = filters[i];
      double g = c == 1 && f.has_gain_right ? f.gain_right : f.gain;
      eq_compile(fresh[c][i], f.type, f.freq, f.q, g, fs);
    }
  }
  float left, right;
  eq_balance_factors(balance, left, right);
  while (!try_lock()) {
  }
  // Histories are read under the lock: the audio thread writes them.
  for (int c = 0; keep_state && c < 2; ++c) {
    for (size_t i = 0; i < fresh[c].size() && i < live_[c].size(); ++i) {
      fresh[c][i].x1 = live_[c][i].x1;
      fresh[c][i].x2 = live_[c][i].x2;
      fresh[c][i].y1 = live_[c][i].y1;
      fresh[c][i].y2 = live_[c][i].y2;
    }
  }
  live_[0].swap(fresh[0]);
  live_[1].swap(fresh[1]);
  gain_[0].store(left, std::memory_order_relaxed);
  gain_[1].store(right, std::memory_order_relaxed);
  unlock();
}

void EqChain::clear() {
  publish({}, 0, 48000, false);
}

bool EqChain::process(const float* in, float* out, size_t frames) {
  if (!try_lock()) {
    if (in != out) std::memmove(out, in, frames * 2 * sizeof(float));
    return false;
  }
  FlushDenormals flush;
  size_t count = std::min(live_[0].size(), live_[1].size());
  if (!g_run_stereo(live_[0].data(), live_[1].data(), count, in, out, frames,
                    gain_[0].load(std::memory_order_relaxed),
                    gain_[1].load(std::memory_order_relaxed))) {
    // A chain that blew up starts again from rest rather than feeding noise to the speakers.
    for (auto& list : live_) {
      for (EqBand& b : list)
        b.x1 = b.x2 = b.y1 = b.y2 = 0;
    }
    std::memset(out, 0, frames * 2 * sizeof(float));
  }
  unlock();
  return true;
}
