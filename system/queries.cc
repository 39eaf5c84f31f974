#include "system/queries.h"

#include <cstdio>

#include "windows/winop.h"
#include "wire/text.h"

namespace {

const char* b(bool v) {
  return v ? "true" : "false";
}

bool contains(const Rect& r, double x, double y) {
  return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
}

std::string controls_json(const ChromeFacts& c) {
  std::vector<std::string> shown;
  for (int i = 0; i < 3; ++i) {
    if (c.controls[i]) shown.emplace_back(kChromeButtons[i]);
  }
  return json_string_array(shown);
}

}  // namespace

std::string windows_json(bool has_main, const std::vector<std::string>& ids) {
  std::vector<std::string> all;
  if (has_main) all.emplace_back("main");
  all.insert(all.end(), ids.begin(), ids.end());
  return json_string_array(all);
}

std::string screens_json(const std::vector<ScreenInfo>& screens) {
  std::string out = "[";
  for (const ScreenInfo& s : screens) {
    if (out.size() > 1) out += ',';
    out += screen_json(s);
  }
  return out + "]";
}

const char* level_name(int level) {
  switch (level) {
    case kLevelDesktop:
      return "desktop";
    case kLevelOverlay:
      return "overlay";
    case kLevelFloating:
      return "floating";
    default:
      return "normal";
  }
}

std::string window_record_json(const WindowFacts& w) {
  const ChromeFacts& c = w.chrome;
  std::string vibrancy = w.is_main && !c.vibrancy.empty() ? json_escape(c.vibrancy) : "null";
  std::string out = strprintf(
      "{\"x\":%d,\"y\":%d,\"width\":%d,\"height\":%d,\"outer\":{\"width\":%d,\"height\":%d},"
      "\"fullscreen\":%s,\"minimized\":%s,\"visible\":%s,\"focused\":%s,\"alwaysOnTop\":%s,"
      "\"resizable\":%s,\"clickThrough\":%s,\"level\":\"%s\",\"allSpaces\":%s,"
      "\"chrome\":{\"frame\":%s,\"windowControls\":%s,\"windowControlsPos\":%s,"
      "\"transparent\":%s,\"vibrancy\":%s,\"squareCorners\":%s,\"acceptsFirstMouse\":%s},"
      "\"screen\":{\"width\":%d,\"height\":%d,\"scale\":%.2f}",
      static_cast<int>(w.frame.x), static_cast<int>(w.frame.y), static_cast<int>(w.content.width),
      static_cast<int>(w.content.height), static_cast<int>(w.frame.width),
      static_cast<int>(w.frame.height), b(w.fullscreen), b(w.minimized), b(w.visible), b(w.focused),
      b(w.level != kLevelNormal), b(w.resizable), b(w.click_through), level_name(w.level),
      b(w.all_spaces), b(c.frame), controls_json(c).c_str(),
      traffic_pos_json(c.traffic_pos).c_str(), b(c.transparent), vibrancy.c_str(), b(c.square),
      b(c.first_mouse), static_cast<int>(w.screen.frame.width),
      static_cast<int>(w.screen.frame.height), w.screen.scale);
  return out + "," + window_screen_fields(w.screen, w.frame, w.content) + "}";
}

int screen_at_point(const std::vector<ScreenInfo>& screens, double x, double y) {
  for (size_t i = 0; i < screens.size(); ++i) {
    if (contains(screens[i].frame, x, y)) return static_cast<int>(i);
  }
  return -1;
}

std::string mouse_record_json(double x, double y, const std::optional<Rect>& content,
                              const ScreenInfo& screen) {
  std::string window = "null";
  if (content) {
    char w[128];
    std::snprintf(w, sizeof w, "{\"x\":%d,\"y\":%d,\"inside\":%s}",
                  static_cast<int>(x - content->x), static_cast<int>(y - content->y),
                  b(contains(*content, x, y)));
    window = w;
  }
  const Rect& f = screen.frame;
  return strprintf(
      "{\"x\":%d,\"y\":%d,\"window\":%s,\"screen\":{\"id\":%ld,\"x\":%d,\"y\":%d,"
      "\"width\":%d,\"height\":%d,\"scale\":%.2f}}",
      static_cast<int>(x), static_cast<int>(y), window.c_str(), static_cast<long>(screen.id),
      static_cast<int>(f.x), static_cast<int>(f.y), static_cast<int>(f.width),
      static_cast<int>(f.height), screen.scale);
}
