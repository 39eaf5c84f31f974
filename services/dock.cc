#include "services/dock.h"

#include <algorithm>

#include "wire/text.h"

namespace {

// The text after the verb and one more byte (its blank), or nothing when the line ends there.
std::optional<std::string_view> arg_after(std::string_view line, size_t after) {
  if (line.size() <= after + 1) return std::nullopt;
  return line.substr(after + 1);
}

}  // namespace

std::unique_ptr<std::string> parse_text_arg(std::string_view line, size_t after) {
  return std::make_unique<std::string>(wire_unescape(arg_after(line, after).value_or("")));
}

std::unique_ptr<int> parse_attention(std::string_view line, size_t after) {
  auto arg = arg_after(line, after);
  return std::make_unique<int>(arg ? wire_atoi(*arg) : 0);
}

std::unique_ptr<double> parse_progress(std::string_view line, size_t after) {
  auto arg = arg_after(line, after);
  return std::make_unique<double>(arg ? wire_atof(*arg) : -1);
}

std::optional<int64_t> badge_count(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  int64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

std::optional<ProgressBar> progress_bar(double width, double height, double progress) {
  if (progress < 0) return std::nullopt;
  progress = std::min(progress, 1.0);
  double inset = width * 0.09;
  double bar_h = height * 0.12;
  ProgressBar bar;
  bar.track = {inset, height - bar_h * 0.55 - bar_h, width - 2 * inset, bar_h, bar_h / 2};
  TileBox inner = {bar.track.x + 2, bar.track.y + 2, bar.track.width - 4, bar.track.height - 4, 0};
  double fill_w = inner.width * progress;
  if (fill_w > 0.5) {
    bar.fill = TileBox{inner.x, inner.y, fill_w, inner.height, std::min(fill_w, inner.height) / 2};
  }
  return bar;
}

namespace {
double badge_height(double height) {
  return height * 0.4;
}
double badge_padding(double height) {
  return badge_height(height) * 0.3;
}
}  // namespace

double badge_font_size(double height) {
  return badge_height(height) * 0.6;
}

double badge_text_room(double width, double height) {
  return std::max(0.0, width - 2 * badge_padding(height));
}

TileBox badge_box(double width, double height, double text_width) {
  double h = badge_height(height);
  double w = std::clamp(text_width + 2 * badge_padding(height), h, std::max(h, width));
  return {width - w, 0, w, h, h / 2};
}

unsigned Attention::request(bool is_critical) {
  urgent = true;
  critical = critical || is_critical;
  return ++serial;
}

bool Attention::expire(unsigned timer_serial) {
  if (!urgent || critical || timer_serial != serial) return false;
  urgent = false;
  return true;
}

bool Attention::focused() {
  bool was = urgent;
  urgent = false;
  critical = false;
  return was;
}

std::string icon_debug_json(const IconFacts& f) {
  std::string out = "{\"set\":";
  out += f.custom ? "true" : "false";
  out += ",\"width\":" + std::to_string(f.custom ? f.width : 0);
  out += ",\"height\":" + std::to_string(f.custom ? f.height : 0);
  out += ",\"hasDevDefault\":";
  out += f.has_default ? "true" : "false";
  out += ",\"env\":";
  json_escape_to(out, f.env);
  out += "}";
  return out;
}

void icon_keep_size(int width, int height, int max_side, int& out_width, int& out_height) {
  out_width = width;
  out_height = height;
  int side = std::max(width, height);
  if (side <= max_side) return;
  double scale = static_cast<double>(max_side) / side;
  out_width = std::max(1, static_cast<int>(width * scale + 0.5));
  out_height = std::max(1, static_cast<int>(height * scale + 0.5));
}
