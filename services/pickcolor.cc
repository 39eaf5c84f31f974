#include "services/pickcolor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "wire/text.h"

std::unique_ptr<std::string> parse_pickcolor(std::string_view line, size_t after) {
  return std::make_unique<std::string>(line.substr(after));
}

std::string color_hex(double red, double green, double blue) {
  auto byte = [](double c) {
    if (!(c > 0)) return 0;  // also NaN
    return static_cast<int>(std::lround(std::min(c, 1.0) * 255));
  };
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", byte(red), byte(green), byte(blue));
  return text;
}

std::string pickcolor_json(const std::optional<std::string>& hex) {
  return std::string("{\"ok\":true,\"color\":") + (hex ? json_escape(*hex) : "null") + "}";
}
