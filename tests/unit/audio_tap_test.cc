#include <gtest/gtest.h>

#include <cmath>

#include "audio/tap.h"

TEST(AudioTapParse, ReadsIdScopeFlagAndClampedInterval) {
  struct Case {
    const char* line;
    const char* id;
    const char* scope;
    bool exclude;
    int interval;
  } cases[] = {
      {"AUDIOTAP 5", "5", "", false, 80},
      {"AUDIOTAP 7 system\t1\t5", "7", "system", true, 20},
      {"AUDIOTAP 7 system\tyes\t2000", "7", "system", false, 500},
      {"AUDIOTAP 8 app", "8", "app", false, 80},
  };
  for (const Case& c : cases) {
    auto req = parse_audiotap(c.line, 9);
    EXPECT_EQ(req->id, c.id) << c.line;
    EXPECT_EQ(req->scope, c.scope) << c.line;
    EXPECT_EQ(req->exclude_self, c.exclude) << c.line;
    EXPECT_EQ(clamp_tap_interval(req->interval_ms), c.interval) << c.line;
    EXPECT_FALSE(req->stop());
  }
  EXPECT_TRUE(parse_audiotap_stop("AUDIOTAP STOPPED", 13)->stop());
}

TEST(AudioTapLine, ConvertsBatchesAndEncodes) {
  EXPECT_EQ(tap_sample(1.5f), 32767);
  EXPECT_EQ(tap_sample(-1.0f), -32767);
  EXPECT_EQ(tap_sample(0.5f), 16384);  // 16383.5 rounds to even
  EXPECT_EQ(tap_sample(NAN), 0);
  const uint8_t abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(base64_encode(abc, 1), "YQ==");
  EXPECT_EQ(base64_encode(abc, 2), "YWI=");
  EXPECT_EQ(base64_encode(abc, 3), "YWJj");

  TapBatch batch;
  std::vector<int16_t> taken;
  double first = -1;
  EXPECT_FALSE(batch.take(taken, first));
  const float a[] = {1.0f, -1.0f}, b[] = {0.0f, 2.0f};
  batch.append(a, 2, 1234.56);
  batch.append(b, 2, 9999);
  ASSERT_TRUE(batch.take(taken, first));
  EXPECT_EQ(first, 1234.56);
  // 0x7fff, 0x8001, 0, 0x7fff little-endian; two stereo frames.
  EXPECT_EQ(tap_event_line(taken, 48000, 2, first), "AUDIOTAP /38BgAAA/38=\t48000\t2\t2\t1234.6");
  EXPECT_FALSE(batch.take(taken, first));
}

namespace {

struct FakeTap : TapPlatform {
  std::vector<std::string> log;
  std::function<void(int, TapFormat)> done;
  void build(const TapSettings& s, std::function<void(int, TapFormat)> d) override {
    log.push_back("build " + s.scope + " " + std::to_string(s.interval_ms));
    done = std::move(d);
  }
  void teardown() override { log.push_back("teardown"); }
  void start_timer(int ms) override { log.push_back("timer " + std::to_string(ms)); }
  void send(const std::string& line) override { log.push_back(line); }
  void finish(int status) { std::exchange(done, nullptr)(status, TapFormat{44100, 2}); }
};

std::unique_ptr<AudioTapReq> tap(const char* line) {
  return parse_audiotap(line, 9);
}

}  // namespace

TEST(AudioTapController, AnswersEveryStartInWireOrder) {
  FakeTap p;
  TapController c(p);
  c.handle(tap("AUDIOTAP 1 app\t0\t100"));
  // Requests behind a build in flight wait for it.
  c.handle(tap("AUDIOTAP 2 app\t0\t100"));
  c.handle(tap("AUDIOTAP 3 app\t0\t5"));
  p.finish(0);
  p.finish(kAudioNoProcesses);
  c.handle(parse_audiotap_stop("AUDIOTAP STOP", 13));  // not running: nothing
  c.handle(tap("AUDIOTAP 4 system"));
  c.handle(tap("AUDIOTAP 5 system"));
  c.shutdown(12);
  EXPECT_EQ(
      p.log,
      (std::vector<std::string>{
          "build app 100", "timer 100", "GOT 1 {\"ok\":true,\"sampleRate\":44100,\"channels\":2}",
          "GOT 2 {\"ok\":true,\"sampleRate\":44100,\"channels\":2}", "teardown", "build app 20",
          "teardown", "GOT 3 {\"ok\":false,\"code\":\"failed\",\"status\":560947818}",
          "build system 80", "teardown", "GOT 4 {\"ok\":false,\"code\":\"failed\",\"status\":12}",
          "GOT 5 {\"ok\":false,\"code\":\"failed\",\"status\":12}"}));
}

TEST(AudioTapController, RebuildsInPlaceWhenTheOutputChanges) {
  FakeTap p;
  TapController c(p);
  c.handle(tap("AUDIOTAP 1 system"));
  p.finish(0);
  p.log.clear();
  c.output_changed();
  p.finish(kAudioNoProcesses);  // a failed rebuild stays active and answers nobody
  EXPECT_TRUE(c.active());
  c.handle(parse_audiotap_stop("AUDIOTAP STOP", 13));
  EXPECT_FALSE(c.active());
  EXPECT_EQ(p.log,
            (std::vector<std::string>{"teardown", "build system 80", "teardown", "teardown"}));
}
