// Cutting the head of a desktop-service command line.
#pragma once

#include <string_view>

// Cuts the token that ends at the next blank from rest; false when there is no blank.
inline bool cut_token(std::string_view& rest, std::string_view& token) {
  size_t blank = rest.find(' ');
  if (blank == std::string_view::npos) return false;
  token = rest.substr(0, blank);
  rest.remove_prefix(blank + 1);
  return true;
}
