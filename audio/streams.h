// The sound server's playback streams as the audio features see them: which belong to the app,
// which a tap listens to, and how several of them are mixed into one.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Whether pid is root or a descendant of it; parent_of gives a process's parent (0 when
// unknown). The walk stops at the top of the tree or after a bounded number of steps.
bool pid_in_tree(long pid, long root, const std::function<long(long)>& parent_of);

// One playback stream of the sound server.
struct PlaybackStream {
  uint32_t index = 0;
  uint32_t sink = 0;
  long pid = 0;      // the playing process, 0 when unknown
  bool app = false;  // played by the launcher or one of its descendants
};

enum class StreamPick {
  App,          // the app's streams
  AppChildren,  // the app's streams not played by the launcher itself
  NotApp,       // every other stream
};

// The streams a pick names, in index order. Streams on held_sink (the equaliser's own sink,
// whose sound is heard through the equaliser's output) are left out.
std::vector<uint32_t> pick_streams(const std::map<uint32_t, PlaybackStream>& streams,
                                   StreamPick pick, long own_pid, uint32_t held_sink);

// Mixes interleaved float streams that arrive in pieces of their own. Each source adds at its
// own position; frames are final once every source has passed them. A source more than
// max_lag frames behind the leader (paused, or just started) is moved up so it never holds the
// others back for longer than that.
class StreamMixer {
 public:
  StreamMixer(int channels, size_t max_lag_frames)
      : channels_(channels), max_lag_(max_lag_frames) {}

  // Adds frames of a source (data null: silence) and appends the frames that became final
  // to out.
  void add(uint32_t source, const float* data, size_t frames, std::vector<float>& out);
  void remove(uint32_t source);
  void clear();

 private:
  int channels_;
  size_t max_lag_;
  uint64_t base_ = 0;           // position of pending_'s first frame
  std::vector<float> pending_;  // mixed frames not yet final
  std::map<uint32_t, uint64_t> cursor_;
};
