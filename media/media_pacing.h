// Flow control of a stream the launcher feeds to a page. The engine takes a custom scheme's data
// as fast as the launcher reads it and queues it for the web process on the same channel that
// carries the answers to page calls, so an unpaced stream puts seconds of data ahead of every
// answer. The stream instead sends a probe through that channel every kMediaProbeStep bytes and
// reads on only while less than kMediaAhead bytes are past the last probe the page answered.
#pragma once

#include <cstdint>
#include <optional>

inline constexpr int64_t kMediaAhead = 256 * 1024;
inline constexpr int64_t kMediaProbeStep = kMediaAhead / 8;

class MediaPacing {
 public:
  // Counts n bytes handed on; gives the mark to probe with when a probe is due.
  std::optional<int64_t> handed_on(int64_t n);
  // The page has taken in everything up to mark (any answer counts, a failed one too: a page
  // that is gone must not hold the stream).
  void answered(int64_t mark);
  bool may_read() const { return sent_ - answered_ < kMediaAhead; }

 private:
  int64_t sent_ = 0;
  int64_t answered_ = 0;
  int64_t next_probe_ = kMediaProbeStep;
};
