// RECORD: a video recording of one screen to an MP4 file, one at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

// RECORD id start display<TAB>path, or RECORD id <anything else> (a stop).
struct RecordReq {
  std::string id;
  std::string path;     // unescaped
  int64_t display = 0;  // 0 is the first screen
  bool start = false;
};
std::unique_ptr<RecordReq> parse_record(std::string_view line, size_t after);

// The recorder's phases: idle -> starting -> recording -> stopping -> idle; a failed start goes
// back to idle. Only one recording exists at a time.
enum class RecPhase { Idle, Starting, Recording, Stopping };

// What a stop learnt from the pipeline.
struct RecordingEnd {
  bool finished = false;  // the file was completed
  std::string error;      // the pipeline's error description, if it had one
};

// The phases and the frame times of the one recording. Phase changes happen on the recorder's
// thread; frames arrive on the pipeline's threads.
class RecordMachine {
 public:
  // Idle -> Starting; otherwise "already recording".
  std::optional<std::string> begin_start();
  // Starting -> Recording when the capture runs, else back to Idle.
  void start_done(bool running);
  // Recording -> Stopping; otherwise "not recording".
  std::optional<std::string> begin_stop();
  // Stopping -> Idle: the reply of the stop, made from the frames seen and how the file ended.
  std::string stop_done(std::string_view path, const RecordingEnd& end);

  // A frame reached the encoder; its presentation time in nanoseconds.
  void frame(int64_t pts_ns);
  RecPhase phase() const { return phase_; }

 private:
  RecPhase phase_ = RecPhase::Idle;
  std::mutex frames_mutex_;
  bool timeline_started_ = false;
  int64_t first_ns_ = 0;
  int64_t last_ns_ = 0;
};

// {"ok":true,"error":null}
std::string record_started_json();
// {"ok":true,"path":P,"duration":D,"error":null}, D in seconds with three decimals.
std::string record_stopped_json(std::string_view path, double seconds);

inline constexpr std::string_view kAlreadyRecording = "already recording";
inline constexpr std::string_view kNotRecording = "not recording";
inline constexpr std::string_view kNoFrames = "no frames captured";
inline constexpr std::string_view kNoScreensToRecord = "no shareable content (screen permission?)";
inline constexpr std::string_view kCannotCreateMp4 = "cannot create the mp4";
inline constexpr std::string_view kCannotAddTrack = "cannot add the video track";
inline constexpr std::string_view kWriterRefused = "asset writer refused to start";
