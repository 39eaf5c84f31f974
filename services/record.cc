#include "services/record.h"

#include <cstdio>

#include "services/capture.h"
#include "wire/text.h"

std::unique_ptr<RecordReq> parse_record(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after);
  auto req = std::make_unique<RecordReq>();
  if (!take_request_id(rest, req->id)) return nullptr;
  constexpr std::string_view kStart = "start ";
  if (rest.starts_with(kStart)) {
    rest.remove_prefix(kStart.size());
    req->start = true;
    size_t tab = rest.find('\t');
    req->display = wire_atol(rest.substr(0, tab));
    if (tab != std::string_view::npos) req->path = wire_unescape(rest.substr(tab + 1));
  }
  return req;
}

std::optional<std::string> RecordMachine::begin_start() {
  if (phase_ != RecPhase::Idle) return std::string(kAlreadyRecording);
  phase_ = RecPhase::Starting;
  std::lock_guard<std::mutex> lock(frames_mutex_);
  timeline_started_ = false;
  first_ns_ = last_ns_ = 0;
  return std::nullopt;
}

void RecordMachine::start_done(bool running) {
  if (phase_ == RecPhase::Starting) phase_ = running ? RecPhase::Recording : RecPhase::Idle;
}

std::optional<std::string> RecordMachine::begin_stop() {
  if (phase_ != RecPhase::Recording) return std::string(kNotRecording);
  phase_ = RecPhase::Stopping;
  return std::nullopt;
}

std::string RecordMachine::stop_done(std::string_view path, const RecordingEnd& end) {
  phase_ = RecPhase::Idle;
  std::lock_guard<std::mutex> lock(frames_mutex_);
  if (end.finished && timeline_started_) {
    return record_stopped_json(path, static_cast<double>(last_ns_ - first_ns_) / 1e9);
  }
  return capture_fail_json(end.error.empty() ? kNoFrames : std::string_view(end.error));
}

void RecordMachine::frame(int64_t pts_ns) {
  std::lock_guard<std::mutex> lock(frames_mutex_);
  if (!timeline_started_) {
    timeline_started_ = true;
    first_ns_ = pts_ns;
  }
  last_ns_ = pts_ns;
}

std::string record_started_json() {
  return "{\"ok\":true,\"error\":null}";
}

std::string record_stopped_json(std::string_view path, double seconds) {
  char duration[32];
  std::snprintf(duration, sizeof duration, "%.3f", seconds);
  return "{\"ok\":true,\"path\":" + json_escape(path) + ",\"duration\":" + duration +
         ",\"error\":null}";
}
