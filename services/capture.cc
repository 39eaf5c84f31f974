#include "services/capture.h"

#include <cctype>
#include <cstdio>

#include "wire/link.h"
#include "wire/text.h"

bool take_request_id(std::string_view& rest, std::string& id) {
  size_t blank = rest.find(' ');
  if (blank == std::string_view::npos) return false;
  id = rest.substr(0, blank);
  rest.remove_prefix(blank + 1);
  return true;
}

std::unique_ptr<CaptureReq> parse_capture(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after);
  auto req = std::make_unique<CaptureReq>();
  if (take_request_id(rest, req->id)) {
    req->display = wire_atol(rest);
  } else {
    req->id = rest;
  }
  return req;
}

std::string image_reply_json(std::string_view path, int width, int height) {
  return "{\"ok\":true,\"path\":" + json_escape(path) + ",\"width\":" + std::to_string(width) +
         ",\"height\":" + std::to_string(height) + "}";
}

std::string capture_fail_json(std::string_view error) {
  return "{\"ok\":false,\"error\":" + json_escape(error) + "}";
}

void capture_fail(std::string_view id, std::string_view error) {
  send_reply(id, capture_fail_json(error));
}

std::string temp_png_path(std::string_view tmp_dir, std::string_view kind, long pid,
                          std::string_view id) {
  std::string path(tmp_dir);
  if (path.empty() || path.back() != '/') path += '/';
  path += "kelojs-";
  path += kind;
  path += "-" + std::to_string(pid) + "-";
  for (char c : id) {
    bool keep = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
    path += keep ? c : '_';
  }
  return path + ".png";
}

int screen_for_display(const std::vector<ScreenInfo>& screens, int64_t display) {
  if (screens.empty()) return -1;
  if (display == 0) return 0;
  for (size_t i = 0; i < screens.size(); ++i) {
    if (screens[i].id == display) return static_cast<int>(i);
  }
  return -1;
}

PixelRect screen_pixels(const ScreenInfo& s, int origin_x, int origin_y) {
  return PixelRect{static_cast<int>((s.frame.x + origin_x) * s.scale),
                   static_cast<int>((s.frame.y + origin_y) * s.scale),
                   static_cast<int>(s.frame.width * s.scale),
                   static_cast<int>(s.frame.height * s.scale)};
}
