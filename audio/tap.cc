#include "audio/tap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "wire/text.h"

std::unique_ptr<AudioTapReq> parse_audiotap(std::string_view line, size_t after) {
  auto req = std::make_unique<AudioTapReq>();
  std::string_view rest = line.substr(after);
  size_t blank = rest.find(' ');
  req->id = std::string(rest.substr(0, blank));
  if (blank == std::string_view::npos) return req;
  std::vector<std::string> f = split_tabs(rest.substr(blank + 1));
  req->scope = f[0];
  req->exclude_self = f.size() > 1 && f[1] == "1";
  if (f.size() > 2) req->interval_ms = wire_atoi(f[2]);
  return req;
}

std::unique_ptr<AudioTapReq> parse_audiotap_stop(std::string_view, size_t) {
  auto req = std::make_unique<AudioTapReq>();
  req->scope = "__stop__";
  return req;
}

int clamp_tap_interval(int ms) {
  return std::clamp(ms, 20, 500);
}

int16_t tap_sample(float x) {
  if (std::isnan(x)) return 0;
  x = std::clamp(x, -1.0f, 1.0f);
  return static_cast<int16_t>(std::lrintf(x * 32767.0f));
}

std::string base64_encode(const uint8_t* data, size_t size) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((size + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < size; i += 3) {
    uint32_t v = data[i] << 16 | data[i + 1] << 8 | data[i + 2];
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (i < size) {
    uint32_t v = data[i] << 16 | (i + 1 < size ? data[i + 1] << 8 : 0);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < size ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string tap_event_line(const std::vector<int16_t>& samples, int rate, int channels,
                           double first_ms) {
  std::vector<uint8_t> bytes(samples.size() * 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    auto v = static_cast<uint16_t>(samples[i]);
    bytes[2 * i] = static_cast<uint8_t>(v & 0xff);
    bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
  }
  int frames = std::max(1, static_cast<int>(samples.size()) / std::max(channels, 1));
  char tail[96];
  std::snprintf(tail, sizeof tail, "\t%d\t%d\t%d\t%.1f", rate, channels, frames, first_ms);
  return "AUDIOTAP " + base64_encode(bytes.data(), bytes.size()) + tail;
}

std::string tap_running_json(const TapFormat& f) {
  return "{\"ok\":true,\"sampleRate\":" + std::to_string(f.rate) +
         ",\"channels\":" + std::to_string(f.channels) + "}";
}

std::string tap_failed_json(int status) {
  return "{\"ok\":false,\"code\":\"failed\",\"status\":" + std::to_string(status) + "}";
}

void TapBatch::append(const float* samples, size_t count, double now_ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (samples_.empty()) first_ms_ = now_ms;
  for (size_t i = 0; i < count; ++i)
    samples_.push_back(tap_sample(samples[i]));
}

bool TapBatch::take(std::vector<int16_t>& out, double& first_ms) {
  out.clear();
  std::lock_guard<std::mutex> lock(mutex_);
  if (samples_.empty()) return false;
  out.swap(samples_);
  first_ms = first_ms_;
  first_ms_ = 0;
  return true;
}

void TapBatch::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  samples_.clear();
  first_ms_ = 0;
}

void TapController::handle(std::unique_ptr<AudioTapReq> req) {
  if (building_) {
    waiting_.push_back(std::move(req));
    return;
  }
  run(std::move(req));
}

void TapController::run(std::unique_ptr<AudioTapReq> req) {
  if (req->stop()) {
    stop();
    return next();
  }
  TapSettings wanted{req->scope, req->exclude_self, clamp_tap_interval(req->interval_ms)};
  if (active_ && wanted == settings_) {
    p_.send("GOT " + req->id + " " + tap_running_json(format_));
    return next();
  }
  stop();
  settings_ = wanted;
  build(req->id);
}

void TapController::stop() {
  if (!active_) return;
  active_ = false;
  p_.teardown();
  batch_.clear();
}

// Without an id: a rebuild in place, which answers nobody.
void TapController::build(std::optional<std::string> id) {
  building_ = true;
  building_id_ = id;
  p_.build(settings_, [this](int status, TapFormat format) { built(status, format); });
}

void TapController::built(int status, TapFormat format) {
  building_ = false;
  std::optional<std::string> id = std::exchange(building_id_, std::nullopt);
  if (status != 0) {
    // A failed rebuild leaves the tap marked active without objects.
    p_.teardown();
    batch_.clear();
    if (id) p_.send("GOT " + *id + " " + tap_failed_json(status));
  } else {
    active_ = true;
    format_ = format;
    p_.start_timer(settings_.interval_ms);
    if (id) p_.send("GOT " + *id + " " + tap_running_json(format_));
  }
  if (std::exchange(rebuild_, false) && active_) return output_changed();
  next();
}

void TapController::next() {
  while (!building_ && !waiting_.empty()) {
    auto req = std::move(waiting_.front());
    waiting_.pop_front();
    run(std::move(req));
  }
}

void TapController::output_changed() {
  if (building_) {
    rebuild_ = true;
    return;
  }
  if (!active_) return;
  p_.teardown();
  batch_.clear();
  build(std::nullopt);
}

void TapController::tick() {
  std::vector<int16_t> samples;
  double first_ms = 0;
  if (!batch_.take(samples, first_ms)) return;
  p_.send(tap_event_line(samples, format_.rate, format_.channels, first_ms));
}

void TapController::shutdown(int status) {
  if (building_) {
    p_.teardown();
    building_ = false;
    if (building_id_) p_.send("GOT " + *building_id_ + " " + tap_failed_json(status));
    building_id_.reset();
  }
  stop();
  for (auto& req : waiting_) {
    if (!req->stop()) p_.send("GOT " + req->id + " " + tap_failed_json(status));
  }
  waiting_.clear();
}
