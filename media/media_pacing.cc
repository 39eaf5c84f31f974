#include "media/media_pacing.h"

#include <algorithm>

std::optional<int64_t> MediaPacing::handed_on(int64_t n) {
  sent_ += n;
  if (sent_ < next_probe_) return std::nullopt;
  next_probe_ = sent_ + kMediaProbeStep;
  return sent_;
}

void MediaPacing::answered(int64_t mark) {
  answered_ = std::max(answered_, mark);
}
