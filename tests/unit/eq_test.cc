#include <gtest/gtest.h>

#include <cmath>

#include "audio/eq_control.h"
#include "tests/unit/wire_fixture.h"

namespace {

constexpr double kFs = 48000;

// Gain in dB of one band at frequency f (0: DC, fs/2: Nyquist), from its settled output.
double measured_db(EqBand band, double f) {
  double peak = 0;
  for (int n = 0; n < 24000; ++n) {
    float y = eq_run(&band, 1, static_cast<float>(std::cos(2 * M_PI * f * n / kFs)));
    if (n >= 20000) peak = std::max(peak, std::fabs(static_cast<double>(y)));
  }
  return 20 * std::log10(peak);
}

}  // namespace

// Points of the cookbook designs' magnitude responses that follow from their formulas: a
// pass filter gives Q at its corner, shelves and the peaking filter reach their gain, a notch
// nulls its centre, the band-pass peaks at 0 dB and the all-pass keeps every level.
TEST(EqCompile, MatchesTheAnalyticResponses) {
  struct Case {
    const char* type;
    double f0, q, gain, probe, db;
  } cases[] = {
      {"bq_lowpass", 1000, 2, 0, 0, 0},           {"bq_lowpass", 1000, 2, 0, 1000, 6.02},
      {"bq_lowpass", 1000, 0.707, 0, 24000, -60}, {"bq_highpass", 1000, 2, 0, 1000, 6.02},
      {"bq_highpass", 1000, 0.707, 0, 24000, 0},  {"bq_bandpass", 2000, 3, 0, 2000, 0},
      {"bq_notch", 2000, 3, 0, 2000, -60},        {"bq_notch", 2000, 3, 0, 0, 0},
      {"bq_allpass", 3000, 1, 0, 700, 0},         {"bq_peak", 1000, 1, 6, 1000, 6},
      {"whatever", 1000, 1, -9, 1000, -9},        {"bq_lowshelf", 300, 0.707, 8, 0, 8},
      {"bq_lowshelf", 300, 0.707, 8, 24000, 0},   {"bq_highshelf", 3000, 0.707, -8, 24000, -8},
      {"bq_highshelf", 3000, 0.707, -8, 0, 0},    {"bq_lowshelf", 300, 0.707, 8, 300, 4},
  };
  for (const Case& c : cases) {
    EqBand band;
    eq_compile(band, c.type, c.f0, c.q, c.gain, kFs);
    double db = measured_db(band, c.probe);
    if (c.db <= -60) {
      EXPECT_LT(db, -40) << c.type;
    } else {
      EXPECT_NEAR(db, c.db, 0.3) << c.type << " at " << c.probe;
    }
  }
}

TEST(EqCompile, ClampsAndNeverPassesNonFiniteCoefficients) {
  EqBand a, b;
  eq_compile(a, "bq_lowpass", 30000, 0, 0, kFs);
  eq_compile(b, "bq_lowpass", 23520, 0.0001, 0, kFs);
  EXPECT_EQ(a.b0, b.b0);
  EXPECT_EQ(a.a1, b.a1);
  for (double bad : {double(NAN), double(INFINITY), 1e300}) {
    for (const char* type : {"bq_peak", "bq_lowshelf", "linear"}) {
      EqBand band;
      eq_compile(band, type, bad, bad, bad, kFs);
      float x = 0.25f;
      EXPECT_EQ(eq_run(&band, 1, x), x) << type << " " << bad;
    }
  }
  float left, right;
  eq_balance_factors(2, left, right);
  EXPECT_EQ(std::make_pair(left, right), std::make_pair(0.0f, 1.0f));
  eq_balance_factors(-0.25, left, right);
  EXPECT_EQ(std::make_pair(left, right), std::make_pair(1.0f, 0.75f));
  eq_balance_factors(NAN, left, right);
  EXPECT_EQ(std::make_pair(left, right), std::make_pair(1.0f, 1.0f));
}

TEST(EqChain, KeepsHistoriesAcrossPublishAndPassesThroughWhenBusy) {
  std::vector<EqFilter> filters = parse_eq_filters("bq_lowpass,500,0.707,0\tlinear,0,0,0.5,0");
  ASSERT_EQ(filters.size(), 2u);
  EqChain kept, steady;
  kept.publish(filters, 0, kFs, false);
  steady.publish(filters, 0, kFs, false);
  float in[64], a[64], b[64];
  for (int i = 0; i < 64; ++i)
    in[i] = static_cast<float>(i % 7) / 7;
  kept.process(in, a, 32);
  steady.process(in, b, 32);
  kept.publish(filters, 0, kFs, true);  // same coefficients: no seam
  kept.process(in, a, 32);
  steady.process(in, b, 32);
  for (int i = 0; i < 64; ++i)
    EXPECT_EQ(a[i], b[i]) << i;
  // The fifth field "0" silences the right channel of the linear stage.
  EXPECT_EQ(a[63], 0.0f);
  EXPECT_NE(a[62], 0.0f);

  ASSERT_TRUE(kept.try_lock());
  EXPECT_FALSE(kept.process(in, a, 32));
  EXPECT_EQ(a[63], in[63]);
  kept.unlock();
}

TEST(EqParse, SkipsMalformedFiltersAndCapsTheList) {
  std::string many;
  for (int i = 0; i < 40; ++i)
    many += "bq_peak," + std::to_string(100 + i) + ",1,3\t";
  EXPECT_EQ(parse_audiofilters("AUDIOFILTERS " + many, 12)->filters.size(), 32u);
  auto f =
      parse_audiofilters("AUDIOFILTERS \t\tbq_notch,1,2\tlinear,0,0,abc,\tbq_peak,1,2,3,-4", 12)
          ->filters;
  ASSERT_EQ(f.size(), 2u);
  EXPECT_FALSE(f[0].has_gain_right);
  EXPECT_EQ(f[0].gain_right, 0);
  EXPECT_TRUE(f[1].has_gain_right);
  EXPECT_EQ(f[1].gain_right, -4);
  EXPECT_FALSE(parse_audiofilterset("AUDIOFILTERSET 1\t2\t3", 15));
  EXPECT_EQ(*parse_audiobalance("AUDIOBALANCE", 12), 0);
  EXPECT_EQ(*parse_audiobalance("AUDIOBALANCE abc", 12), 0);
  EXPECT_EQ(*parse_audiobalance("AUDIOBALANCE -0.5", 12), -0.5);
}

namespace {

struct FakeEq : EqPlatform {
  std::vector<std::string> log;
  std::function<void(int, double)> done;
  void build(bool mute, std::function<void(int, double)> d) override {
    log.push_back(mute ? "build mute" : "build");
    done = std::move(d);
  }
  void teardown() override { log.push_back("teardown"); }
  void finish(int status) { std::exchange(done, nullptr)(status, 44100); }
};

}  // namespace

TEST(EqController, WaitsHearsTakesOverAndStops) {
  RecordingQueue queue;
  g_main_queue = &queue;
  FakeEq p;
  EqController c(p);
  c.filters({});
  EXPECT_EQ(c.state_json(), "{\"available\":true,\"state\":\"off\",\"filters\":0,\"heard\":false}");
  c.filters(parse_eq_filters("bq_peak,1000,1,6"));
  p.finish(560947818);  // no stream yet: waiting without objects
  c.streams_changed(true);
  p.finish(0);
  EXPECT_EQ(c.state(), EqState::Waiting);
  c.note_sound();
  c.note_sound();
  queue.run_all();
  p.finish(0);
  EXPECT_EQ(c.state_json(),
            "{\"available\":true,\"state\":\"active\",\"filters\":1,\"heard\":true}");
  // Coefficients only: no rebuild. A new type: back to waiting. Bad indices: ignored.
  c.filters(parse_eq_filters("bq_peak,2000,1,3"));
  c.filter_set({5, 1, 1, 1});
  c.filter_set({-1, 1, 1, 1});
  c.balance(0.5);
  EXPECT_EQ(c.state(), EqState::Active);
  c.filters(parse_eq_filters("bq_notch,2000,1,3"));
  EXPECT_EQ(c.state(), EqState::Waiting);
  c.output_changed();
  c.filters({});
  EXPECT_EQ(c.state(), EqState::Off);
  EXPECT_EQ(p.log, (std::vector<std::string>{"build", "teardown", "teardown", "build", "teardown",
                                             "build mute", "teardown", "build", "teardown", "build",
                                             "teardown"}));
}
