// Now playing: the track the backend publishes with NOWPLAYING, the media player the desktop
// sees for it, and the MEDIAKEY lines its controls send back.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// NOWPLAYING [json]: the text unescaped; empty or "clear" clears.
struct NowPlayingReq {
  std::string json;
};
std::unique_ptr<NowPlayingReq> parse_nowplaying(std::string_view line, size_t after);

bool is_clear(const NowPlayingReq& req);

// A track as published: each key only when present with the right type; durations in seconds.
struct NowPlayingInfo {
  std::optional<std::string> title;
  std::optional<std::string> artist;
  std::optional<std::string> album;
  std::optional<double> duration;
  std::optional<double> elapsed;
  bool playing = false;
};
// A text that is not a JSON object gives a track with nothing but the paused state.
NowPlayingInfo now_playing_info(std::string_view json);

// The player the desktop's media controls drive. Times in microseconds; `now` is a monotonic
// clock.
class MediaPlayer {
 public:
  enum class Status { Stopped, Playing, Paused };

  // Publishes a track; true when its position jumped away from where playing would have taken
  // it (the desktop is told, as a seek).
  bool publish(const NowPlayingInfo& info, int64_t now);
  // Nothing playing any more.
  void clear();

  Status status() const { return status_; }
  const NowPlayingInfo& track() const { return track_; }
  // An object path naming the track; a new one for each new title, artist or album.
  std::string track_id() const;
  std::optional<int64_t> length() const;
  int64_t position(int64_t now) const;

  // The line for a seek by `offset` from the current position (past the end: the next track),
  // or nothing while stopped.
  std::optional<std::string> seek_by(int64_t offset, int64_t now) const;
  // The line for a move to `position` of the track `track_id`; nothing for another track (a
  // stale request) or a position outside the track.
  std::optional<std::string> set_position(std::string_view track_id, int64_t position) const;

 private:
  NowPlayingInfo track_;
  Status status_ = Status::Stopped;
  uint64_t track_number_ = 0;
  int64_t anchor_ = 0;  // the position at anchor_time_
  int64_t anchor_time_ = 0;
};

// "MEDIAKEY " + name.
std::string mediakey_line(std::string_view name);
// "MEDIAKEY seek" TAB the position in seconds with three decimals.
std::string seek_line(double seconds);

// The player's bus name for the app: "org.mpris.MediaPlayer2.kelojs." + the app's name made a
// valid name element, and ".instance" + pid when pid is not 0.
std::string mpris_bus_name(std::string_view app, long pid);
