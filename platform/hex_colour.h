// Hex colour text, as the tray title and the clipboard take it: "#" optional, then RRGGBB or
// RRGGBBAA.
#pragma once

#include <optional>
#include <string_view>

// Straight sRGB components from 0 to 1.
struct Rgba {
  double r = 0, g = 0, b = 0, a = 1;
};

// Nothing unless the text is exactly an optional "#" and 6 or 8 hex digits.
std::optional<Rgba> parse_hex_colour(std::string_view text);
