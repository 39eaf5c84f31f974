#include "windows/screens.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "wire/text.h"

namespace {

double overlap(double a0, double a1, double b0, double b1) {
  return std::max(0.0, std::min(a1, b1) - std::max(a0, b0));
}

double intersection_area(const Rect& a, const Rect& b) {
  return overlap(a.x, a.x + a.width, b.x, b.x + b.width) *
         overlap(a.y, a.y + a.height, b.y, b.y + b.height);
}

}  // namespace

long round_half_away(double v) {
  return std::lround(v);
}

int screen_for_rect(const std::vector<ScreenInfo>& screens, const Rect& rect) {
  int best = -1;
  double best_area = 0;
  for (size_t i = 0; i < screens.size(); ++i) {
    double area = intersection_area(screens[i].frame, rect);
    if (area > best_area) {
      best_area = area;
      best = static_cast<int>(i);
    }
  }
  return best;
}

std::string screen_uid(const ScreenInfo& screen) {
  return screen.uid.empty() ? std::to_string(screen.id) : screen.uid;
}

std::string screen_json(const ScreenInfo& s) {
  const Rect& f = s.frame;
  const Rect& v = s.visible;
  double k = s.scale;
  return strprintf(
      "{\"id\":%ld,\"uid\":%s,\"name\":%s,\"x\":%d,\"y\":%d,\"width\":%d,\"height\":%d,"
      "\"visible\":{\"x\":%d,\"y\":%d,\"width\":%d,\"height\":%d},\"scale\":%.2f,\"primary\":%s,"
      "\"internal\":%s,\"pixels\":{\"width\":%ld,\"height\":%ld,\"visible\":{\"x\":%ld,\"y\":%ld,"
      "\"width\":%ld,\"height\":%ld}}}",
      static_cast<long>(s.id), json_escape(screen_uid(s)).c_str(), json_escape(s.name).c_str(),
      static_cast<int>(f.x), static_cast<int>(f.y), static_cast<int>(f.width),
      static_cast<int>(f.height), static_cast<int>(v.x), static_cast<int>(v.y),
      static_cast<int>(v.width), static_cast<int>(v.height), k, s.primary ? "true" : "false",
      s.internal ? "true" : "false", round_half_away(f.width * k), round_half_away(f.height * k),
      round_half_away((v.x - f.x) * k), round_half_away((v.y - f.y) * k),
      round_half_away(v.width * k), round_half_away(v.height * k));
}

std::string window_screen_fields(const ScreenInfo& screen, const Rect& frame, const Rect& content) {
  double lx = frame.x - screen.frame.x;
  double ly = frame.y - screen.frame.y;
  double k = screen.scale;
  char buf[256];
  std::snprintf(buf, sizeof buf,
                "\"screenId\":%ld,\"local\":{\"x\":%d,\"y\":%d},\"pixels\":{\"x\":%ld,\"y\":%ld,"
                "\"width\":%ld,\"height\":%ld}",
                static_cast<long>(screen.id), static_cast<int>(round_half_away(lx)),
                static_cast<int>(round_half_away(ly)), round_half_away(lx * k),
                round_half_away(ly * k), round_half_away(content.width * k),
                round_half_away(content.height * k));
  return buf;
}

std::optional<Rect> rescue_frame(const Rect& f, const std::vector<Rect>& areas) {
  for (const Rect& v : areas) {
    if (overlap(f.x, f.x + f.width, v.x, v.x + v.width) >= 24 &&
        overlap(f.y, f.y + f.height, v.y, v.y + v.height) >= 24) {
      return std::nullopt;
    }
  }
  const Rect* nearest = nullptr;
  double best = 0;
  double cx = f.x + f.width / 2, cy = f.y + f.height / 2;
  for (const Rect& v : areas) {
    double dx = v.x + v.width / 2 - cx, dy = v.y + v.height / 2 - cy;
    double d = dx * dx + dy * dy;
    if (!nearest || d < best) {
      nearest = &v;
      best = d;
    }
  }
  if (!nearest) return std::nullopt;
  const Rect& v = *nearest;
  Rect r = f;
  r.x = std::max(v.x, std::min(f.x, v.x + v.width - f.width));
  // A window that fits gets its top edge no higher than the area's top and its bottom edge
  // inside; a taller one gets its top edge at the area's top, also when it was below the area.
  if (v.height >= f.height) {
    r.y = std::min(std::max(f.y, v.y), v.y + v.height - f.height);
  } else {
    r.y = v.y;
  }
  return r;
}
