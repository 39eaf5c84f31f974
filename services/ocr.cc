#include "services/ocr.h"

#include <algorithm>
#include <cstdio>

#include "services/capture.h"
#include "wire/text.h"

std::unique_ptr<OcrReq> parse_ocr(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after);
  auto req = std::make_unique<OcrReq>();
  if (!take_request_id(rest, req->id)) return nullptr;
  req->path = wire_unescape(rest);
  return req;
}

namespace {

double unit(double v) {
  return std::clamp(v, 0.0, 1.0);
}

std::string_view trimmed(std::string_view text) {
  size_t end = text.find_last_not_of(" \t\r\n");
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

}  // namespace

std::string ocr_reply_json(const std::vector<OcrLine>& lines, int image_width, int image_height) {
  double w = std::max(image_width, 1), h = std::max(image_height, 1);
  std::string text, blocks;
  for (const OcrLine& line : lines) {
    std::string_view t = trimmed(line.text);
    if (t.find_first_not_of(" \t") == std::string_view::npos) continue;
    if (!blocks.empty()) {
      text += '\n';
      blocks += ',';
    }
    text += t;
    double x = unit(line.left / w), y = unit(line.top / h);
    double right = unit(line.right / w), bottom = unit(line.bottom / h);
    char fixed[160];
    std::snprintf(fixed, sizeof fixed,
                  ",\"confidence\":%.3f,\"box\":{\"x\":%.4f,\"y\":%.4f,\"width\":%.4f,"
                  "\"height\":%.4f}}",
                  unit(line.confidence / 100), x, y, std::max(0.0, right - x),
                  std::max(0.0, bottom - y));
    blocks += "{\"text\":" + json_escape(t) + fixed;
  }
  return "{\"ok\":true,\"text\":" + json_escape(text) + ",\"blocks\":[" + blocks + "]}";
}

std::optional<std::string> ocr_size_error(int width, int height) {
  if (width < 1 || height < 1) return std::string(kOcrFailed);
  int64_t pixels = int64_t{width} * height;
  if (pixels <= kMaxImagePixels) return std::nullopt;
  return "image too large for text recognition (" + std::to_string(width) + "x" +
         std::to_string(height) + " pixels; at most " + std::to_string(kMaxImagePixels) + ")";
}
