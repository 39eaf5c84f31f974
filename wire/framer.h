// Cuts the byte stream of the wire into lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class LineFramer {
 public:
  // Appends bytes and calls on_line(std::string_view) for each complete line, in order. The
  // line excludes its LF; CR and empty lines are passed through as they are.
  template <class F>
  void feed(const char* data, size_t n, F&& on_line) {
    buf_.append(data, n);
    size_t scan = buf_.size() - n;  // bytes before this chunk hold no LF
    for (;;) {
      size_t lf = buf_.find('\n', scan < start_ ? start_ : scan);
      if (lf == std::string::npos) break;
      on_line(std::string_view(buf_).substr(start_, lf - start_));
      start_ = lf + 1;
      scan = start_;
    }
    compact();
  }

  // Bytes received that do not yet form a complete line.
  size_t pending() const { return buf_.size() - start_; }
  void clear() {
    buf_.clear();
    start_ = 0;
  }

 private:
  void compact();

  std::string buf_;
  size_t start_ = 0;
};
