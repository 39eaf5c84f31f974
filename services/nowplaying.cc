#include "services/nowplaying.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "wire/json_read.h"
#include "wire/text.h"

std::unique_ptr<NowPlayingReq> parse_nowplaying(std::string_view line, size_t after) {
  auto req = std::make_unique<NowPlayingReq>();
  if (after < line.size()) req->json = wire_unescape(line.substr(after + 1));
  return req;
}

bool is_clear(const NowPlayingReq& req) {
  return req.json.empty() || req.json == "clear";
}

NowPlayingInfo now_playing_info(std::string_view json) {
  NowPlayingInfo info;
  std::optional<JsonValue> doc = json_read(json);
  if (!doc || doc->type != JsonValue::Type::Object) return info;
  using T = JsonValue::Type;
  for (auto [key, field] : {std::pair{"title", &info.title}, std::pair{"artist", &info.artist},
                            std::pair{"album", &info.album}}) {
    if (const JsonValue* v = doc->find(key, T::String)) *field = v->text;
  }
  if (const JsonValue* v = doc->find("duration", T::Number)) info.duration = v->number;
  if (const JsonValue* v = doc->find("elapsed", T::Number)) info.elapsed = v->number;
  if (const JsonValue* v = doc->find("playing", T::Bool)) info.playing = v->boolean;
  return info;
}

namespace {

constexpr double kMicro = 1e6;
// Seconds beyond this are taken as this (about 290,000 years), so microseconds fit in 64 bits.
constexpr double kLongest = 9e12;
// A published position further than this from where playing would have taken it is a seek.
constexpr int64_t kJump = 500'000;

int64_t micros(double seconds) {
  return static_cast<int64_t>(std::clamp(seconds, 0.0, kLongest) * kMicro);
}

}  // namespace

bool MediaPlayer::publish(const NowPlayingInfo& info, int64_t now) {
  bool same_track = status_ != Status::Stopped && info.title == track_.title &&
                    info.artist == track_.artist && info.album == track_.album;
  int64_t expected = position(now);
  if (!same_track) ++track_number_;
  track_ = info;
  if (track_.duration && !(*track_.duration >= 0)) track_.duration.reset();
  status_ = info.playing ? Status::Playing : Status::Paused;
  anchor_ = info.elapsed ? micros(*info.elapsed) : (same_track ? expected : 0);
  anchor_time_ = now;
  return same_track && info.elapsed && std::llabs(anchor_ - expected) > kJump;
}

void MediaPlayer::clear() {
  track_ = {};
  status_ = Status::Stopped;
  anchor_ = 0;
}

std::string MediaPlayer::track_id() const {
  if (status_ == Status::Stopped) return "/org/mpris/MediaPlayer2/TrackList/NoTrack";
  return "/org/mpris/MediaPlayer2/kelojs/track/" + std::to_string(track_number_);
}

std::optional<int64_t> MediaPlayer::length() const {
  if (!track_.duration) return std::nullopt;
  return micros(*track_.duration);
}

int64_t MediaPlayer::position(int64_t now) const {
  int64_t p = anchor_;
  if (status_ == Status::Playing && now > anchor_time_) p += now - anchor_time_;
  if (auto len = length()) p = std::min(p, *len);
  return p;
}

std::optional<std::string> MediaPlayer::seek_by(int64_t offset, int64_t now) const {
  if (status_ == Status::Stopped) return std::nullopt;
  double target = std::max(0.0, static_cast<double>(position(now)) + static_cast<double>(offset));
  if (auto len = length(); len && target > static_cast<double>(*len)) return mediakey_line("next");
  return seek_line(target / kMicro);
}

std::optional<std::string> MediaPlayer::set_position(std::string_view id, int64_t pos) const {
  if (status_ == Status::Stopped || id != track_id() || pos < 0) return std::nullopt;
  if (auto len = length(); len && pos > *len) return std::nullopt;
  return seek_line(static_cast<double>(pos) / kMicro);
}

std::string mediakey_line(std::string_view name) {
  return "MEDIAKEY " + std::string(name);
}

std::string seek_line(double seconds) {
  // Not printf: the wire's decimal point does not follow the user's locale.
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, seconds, std::chars_format::fixed, 3);
  return "MEDIAKEY seek\t" + std::string(buf, ec == std::errc() ? end : buf);
}

std::string mpris_bus_name(std::string_view app, long pid) {
  std::string element;
  for (char c : app.substr(0, 64)) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    element += ok ? c : '_';
  }
  if (element.empty() || (element[0] >= '0' && element[0] <= '9')) element.insert(0, "_");
  std::string name = "org.mpris.MediaPlayer2.kelojs." + element;
  if (pid) name += ".instance" + std::to_string(pid);
  return name;
}
