// PICKCOLOR: a colour the user picks anywhere on the screen.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

// PICKCOLOR id: the request id is the rest of the line.
std::unique_ptr<std::string> parse_pickcolor(std::string_view line, size_t after);

// "#rrggbb" from sRGB components in 0-1, each times 255 to the nearest integer (clamped).
std::string color_hex(double red, double green, double blue);
// {"ok":true,"color":"#rrggbb"}, or {"ok":true,"color":null} when the user cancelled.
std::string pickcolor_json(const std::optional<std::string>& hex);
