#include "windows/winop.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "wire/text.h"

namespace {

struct Switch {
  std::string_view name;
  WinopKind kind;
};

// Commands of the form "<name> 1" / "<name> 0".
constexpr Switch kSwitches[] = {
    {"geom", WinopKind::Geom},
    {"presence", WinopKind::Presence},
    {"hideonclose", WinopKind::HideOnClose},
    {"fullscreen", WinopKind::Fullscreen},
    {"ontop", WinopKind::OnTop},
    {"resizable", WinopKind::Resizable},
    {"clickthrough", WinopKind::ClickThrough},
    {"allspaces", WinopKind::AllSpaces},
    {"rescue", WinopKind::Rescue},
};

struct Plain {
  std::string_view text;
  WinopKind kind;
  bool on;
};

constexpr Plain kPlain[] = {
    {"show", WinopKind::Show, true},
    {"show 1", WinopKind::Show, true},
    {"show 0", WinopKind::ShowInactive, false},
    {"hide", WinopKind::Hide, false},
    {"hidewin", WinopKind::HideWin, false},
    {"center", WinopKind::Center, false},
    {"minimize", WinopKind::Minimize, false},
    {"restore", WinopKind::Restore, false},
    {"zoom", WinopKind::Zoom, false},
    {"fullscreen", WinopKind::FullscreenToggle, false},
    {"onscreen", WinopKind::OnScreen, false},
};

struct WithArg {
  std::string_view prefix;
  WinopKind kind;
};

constexpr WithArg kWithArg[] = {
    {"level ", WinopKind::Level},
    {"minsize ", WinopKind::MinSize},
    {"zoomfactor ", WinopKind::ZoomFactor},
    {"pos ", WinopKind::Pos},
    {"spos ", WinopKind::SPos},
    {"pxsize ", WinopKind::PxSize},
    {"fsscreen ", WinopKind::FsScreen},
};

}  // namespace

WinopCmd parse_winop(std::string_view command) {
  WinopCmd cmd;
  for (const Plain& p : kPlain) {
    if (command == p.text) {
      cmd.kind = p.kind;
      cmd.on = p.on;
      return cmd;
    }
  }
  for (const Switch& s : kSwitches) {
    if (command.size() == s.name.size() + 2 && command.substr(0, s.name.size()) == s.name &&
        command[s.name.size()] == ' ' && (command.back() == '1' || command.back() == '0')) {
      cmd.kind = s.kind;
      cmd.on = command.back() == '1';
      return cmd;
    }
  }
  for (const WithArg& w : kWithArg) {
    if (command.substr(0, w.prefix.size()) == w.prefix) {
      cmd.kind = w.kind;
      cmd.arg = command.substr(w.prefix.size());
      return cmd;
    }
  }
  return cmd;
}

std::optional<Size> parse_min_size(const std::string& arg) {
  Size s;
  if (std::sscanf(arg.c_str(), "%dx%d", &s.width, &s.height) != 2) return std::nullopt;
  if (s.width <= 0 || s.height <= 0) return std::nullopt;
  return s;
}

std::optional<Size> parse_pixel_size(const std::string& arg) {
  Size s;
  if (std::sscanf(arg.c_str(), "%d %d", &s.width, &s.height) != 2) return std::nullopt;
  if (s.width <= 0 || s.height <= 0) return std::nullopt;
  return s;
}

std::optional<Point> parse_point(const std::string& arg) {
  Point p;
  if (std::sscanf(arg.c_str(), "%d %d", &p.x, &p.y) != 2) return std::nullopt;
  return p;
}

std::optional<Size> grown_content(Size current, Size minimum) {
  if (current.width >= minimum.width && current.height >= minimum.height) return std::nullopt;
  return Size{std::max(current.width, minimum.width), std::max(current.height, minimum.height)};
}

std::optional<ScreenPos> parse_screen_pos(const std::string& arg) {
  ScreenPos p;
  char unit[4] = "";
  int n = std::sscanf(arg.c_str(), "%ld %lf %lf %3s", &p.display, &p.x, &p.y, unit);
  if (n < 3) return std::nullopt;
  if (n == 4) p.unit = unit;
  return p;
}

int screen_by_display(const std::vector<ScreenInfo>& screens, long display) {
  for (size_t i = 0; i < screens.size(); ++i) {
    if (static_cast<long>(screens[i].id) == display) return static_cast<int>(i);
  }
  return -1;
}

std::optional<Point> screen_pos_target(const ScreenInfo& screen, const ScreenPos& pos) {
  double x = pos.x;
  double y = pos.y;
  if (pos.unit == "px" && screen.scale > 0) {
    x /= screen.scale;
    y /= screen.scale;
  }
  x += screen.frame.x;
  y += screen.frame.y;
  // X11 positions are 16-bit; anything beyond that is no place on a display.
  constexpr double kFar = 1 << 20;
  if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > kFar || std::fabs(y) > kFar) {
    return std::nullopt;
  }
  return Point{static_cast<int>(round_half_away(x)), static_cast<int>(round_half_away(y))};
}

Size pixel_size_content(Size pixels, double scale) {
  if (!(scale > 0)) scale = 1;
  return Size{std::max(1, static_cast<int>(round_half_away(pixels.width / scale))),
              std::max(1, static_cast<int>(round_half_away(pixels.height / scale)))};
}

int level_for_name(std::string_view name) {
  if (name == "desktop") return kLevelDesktop;
  if (name == "overlay") return kLevelOverlay;
  if (name == "floating") return kLevelFloating;
  return kLevelNormal;
}

LevelTraits level_traits(int level) {
  return LevelTraits{level > kLevelNormal, level < kLevelNormal};
}

bool is_overlay(bool click_through, int level) {
  return click_through || level < kLevelNormal || level > kLevelFloating;
}

Rect centered_in(const Rect& frame, const Rect& area) {
  Rect r;
  r.width = std::min(frame.width, area.width);
  r.height = std::min(frame.height, area.height);
  r.x = area.x + area.width / 2 - r.width / 2;
  r.y = area.y + area.height / 2 - r.height / 2;
  return r;
}

std::optional<double> parse_zoom_factor(const std::string& arg) {
  double f = std::atof(arg.c_str());
  if (!(f >= 0.25 && f <= 5)) return std::nullopt;
  return f;
}

WinCtrlReq parse_winctrl(std::string req_id, std::string_view fields) {
  WinCtrlReq r;
  r.req_id = std::move(req_id);
  std::vector<std::string> f = split_tabs(fields);
  auto number = [&f](size_t i) { return i < f.size() ? wire_atoi(f[i]) : 0; };
  r.pid = f.empty() ? 0 : std::strtol(f[0].c_str(), nullptr, 10);
  r.x = number(1);
  r.y = number(2);
  r.width = number(3);
  r.height = number(4);
  return r;
}
