#include <gtest/gtest.h>

#include "services/nowplaying.h"

TEST(NowPlaying, LinesClearOrCarryEscapedJson) {
  EXPECT_TRUE(is_clear(*parse_nowplaying("NOWPLAYING", 10)));
  EXPECT_TRUE(is_clear(*parse_nowplaying("NOWPLAYING clear", 10)));
  auto r = parse_nowplaying("NOWPLAYING {\"title\":\"a\\\\tb\"}", 10);
  EXPECT_FALSE(is_clear(*r));
  EXPECT_EQ(r->json, "{\"title\":\"a\\tb\"}");
}

TEST(NowPlaying, KeysOfTheWrongTypeAreIgnored) {
  NowPlayingInfo i = now_playing_info(
      R"({"title":"Song","artist":5,"album":["x"],"duration":"60","elapsed":12.5,"playing":1})");
  EXPECT_EQ(i.title, "Song");
  EXPECT_FALSE(i.artist || i.album || i.duration);
  EXPECT_EQ(i.elapsed, 12.5);
  EXPECT_FALSE(i.playing);
  for (const char* not_an_object : {"[1]", "{\"title\":", "\"Song\""}) {
    NowPlayingInfo n = now_playing_info(not_an_object);
    EXPECT_FALSE(n.title || n.elapsed || n.playing) << not_an_object;
  }
}

TEST(NowPlaying, PositionRunsWhilePlayingAndJumpsAreSeeks) {
  MediaPlayer p;
  NowPlayingInfo song{"Song", "Band", std::nullopt, 100.0, 10.0, true};
  EXPECT_FALSE(p.publish(song, 1'000'000));
  std::string id = p.track_id();
  EXPECT_EQ(p.position(3'000'000), 12'000'000);
  EXPECT_EQ(p.position(500'000'000), 100'000'000);  // never past the end
  song.elapsed = 12.2;                              // where playing took it: no seek
  EXPECT_FALSE(p.publish(song, 3'000'000));
  song.elapsed = 50;
  song.playing = false;
  EXPECT_TRUE(p.publish(song, 4'000'000));
  EXPECT_EQ(p.position(9'000'000), 50'000'000);  // paused
  EXPECT_EQ(p.track_id(), id);
  song.title = "Next song";
  EXPECT_FALSE(p.publish(song, 5'000'000));
  EXPECT_NE(p.track_id(), id);
  // Absurd numbers stay within the microsecond range.
  song.duration = 1e300;
  song.elapsed = -5;
  p.publish(song, 0);
  EXPECT_EQ(p.position(0), 0);
  EXPECT_GT(*p.length(), 0);
}

TEST(NowPlaying, ControlsBecomeMediaKeyLines) {
  MediaPlayer p;
  EXPECT_FALSE(p.seek_by(1'000'000, 0));  // nothing published
  p.publish({"Song", std::nullopt, std::nullopt, 60.0, 12.0, false}, 0);
  EXPECT_EQ(p.seek_by(345'600, 0), "MEDIAKEY seek\t12.346");
  EXPECT_EQ(p.seek_by(-20'000'000, 0), "MEDIAKEY seek\t0.000");
  EXPECT_EQ(p.seek_by(INT64_MAX, 0), "MEDIAKEY next");
  EXPECT_EQ(p.set_position(p.track_id(), 30'000'000), "MEDIAKEY seek\t30.000");
  EXPECT_FALSE(p.set_position("/org/mpris/MediaPlayer2/kelojs/track/0", 30'000'000));
  EXPECT_FALSE(p.set_position(p.track_id(), 61'000'000));
  EXPECT_FALSE(p.set_position(p.track_id(), -1));
  p.clear();
  EXPECT_EQ(p.status(), MediaPlayer::Status::Stopped);
  EXPECT_FALSE(p.set_position(p.track_id(), 0));
}

TEST(NowPlaying, BusNameIsValidForAnyAppName) {
  EXPECT_EQ(mpris_bus_name("Tune Box", 0), "org.mpris.MediaPlayer2.kelojs.Tune_Box");
  EXPECT_EQ(mpris_bus_name("9lives", 42), "org.mpris.MediaPlayer2.kelojs._9lives.instance42");
  EXPECT_EQ(mpris_bus_name("", 0), "org.mpris.MediaPlayer2.kelojs._");
  EXPECT_EQ(mpris_bus_name(std::string(300, 'x'), 0).size(), 30u + 64u);
}
