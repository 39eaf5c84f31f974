#include "services/request_head.h"

std::optional<RequestHead> split_request_head(std::string_view line, size_t after) {
  if (after > line.size()) return std::nullopt;
  std::string_view tail = line.substr(after);
  size_t blank = tail.find(' ');
  if (blank == std::string_view::npos) return std::nullopt;
  return RequestHead{std::string(tail.substr(0, blank)), tail.substr(blank + 1)};
}
