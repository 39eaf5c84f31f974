#include "platform/hex_colour.h"

#include <cstdint>

std::optional<Rgba> parse_hex_colour(std::string_view text) {
  if (!text.empty() && text.front() == '#') text.remove_prefix(1);
  if (text.size() != 6 && text.size() != 8) return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0) return std::nullopt;
    value = value << 4 | static_cast<uint32_t>(digit);
  }
  if (text.size() == 6) value = value << 8 | 0xff;
  auto channel = [value](int shift) { return ((value >> shift) & 0xff) / 255.0; };
  return Rgba{channel(24), channel(16), channel(8), channel(0)};
}
