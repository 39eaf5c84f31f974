#include "wire/framer.h"

void LineFramer::compact() {
  if (start_ == buf_.size()) {
    buf_.clear();
    start_ = 0;
  } else if (start_ > 0) {
    buf_.erase(0, start_);
    start_ = 0;
  }
}
