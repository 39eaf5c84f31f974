// WINOP: window operations, one sub-command per line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "windows/screens.h"

struct WinopReq {
  std::string id;       // "main" when the line names no window
  std::string command;  // the rest of the line
};

// RESIZEWIN: only the letters n, s, w and e of the edges count.
struct ResizeReq {
  std::string id;
  std::string edges;
};

// WINCTRL: move and size another application's window.
struct WinCtrlReq {
  std::string req_id;
  long pid = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};
// The tab-separated fields after the request id; missing ones are 0.
WinCtrlReq parse_winctrl(std::string req_id, std::string_view fields);

enum class WinopKind {
  Unknown,
  Geom,
  Show,
  ShowInactive,
  Hide,
  HideWin,
  Presence,
  HideOnClose,
  Center,
  Minimize,
  Restore,
  Zoom,
  FullscreenToggle,
  Fullscreen,
  OnTop,
  Resizable,
  ClickThrough,
  Level,
  AllSpaces,
  MinSize,
  ZoomFactor,
  Pos,
  SPos,
  PxSize,
  FsScreen,
  OnScreen,
  Rescue,
};

struct WinopCmd {
  WinopKind kind = WinopKind::Unknown;
  bool on = false;  // the "1"/"0" of a switch
  std::string arg;  // the argument of "level", "minsize", "pos", ...
};

// Whole-string commands first; the first matching row wins.
WinopCmd parse_winop(std::string_view command);

struct Size {
  int width = 0;
  int height = 0;
};

struct Point {
  int x = 0;
  int y = 0;
};

// "WxH" with both numbers above 0 ("minsize").
std::optional<Size> parse_min_size(const std::string& arg);
// "W H" with both numbers above 0 ("pxsize").
std::optional<Size> parse_pixel_size(const std::string& arg);
// "X Y" ("pos").
std::optional<Point> parse_point(const std::string& arg);

// The content size a window grows to under a minimum size, or nothing when it already is at
// least that large. The window keeps its top-left corner.
std::optional<Size> grown_content(Size current, Size minimum);

// "DISPLAY X Y [UNIT]"; the unit is at most three characters and "pt" when missing.
struct ScreenPos {
  long display = 0;
  double x = 0;
  double y = 0;
  std::string unit = "pt";
};
std::optional<ScreenPos> parse_screen_pos(const std::string& arg);
// The first screen with that display id, or -1.
int screen_by_display(const std::vector<ScreenInfo>& screens, long display);
// Where the frame's top-left corner goes, in wire coordinates: measured from the screen's
// top-left corner, in points, or in device pixels of that screen for the unit "px". Nothing
// for coordinates that are not finite or lie far beyond any display.
std::optional<Point> screen_pos_target(const ScreenInfo& screen, const ScreenPos& pos);

// The content size in points for a size in device pixels at the given scale.
Size pixel_size_content(Size pixels, double scale);

// Window levels.
constexpr int kLevelNormal = 0;
constexpr int kLevelFloating = 3;
constexpr int kLevelOverlay = 1000;
constexpr int kLevelDesktop = -2147483623;

int level_for_name(std::string_view name);

struct LevelTraits {
  bool keep_above = false;
  bool keep_below = false;
};
LevelTraits level_traits(int level);

// Overlays (click-through windows, windows below or above the floating level) stay out of
// the taskbar and the pager.
bool is_overlay(bool click_through, int level);

// A frame of the given size centred in a work area, shrunk to fit it.
Rect centered_in(const Rect& frame, const Rect& area);

// "zoomfactor": the page zoom when the text is a factor from 0.25 to 5.
std::optional<double> parse_zoom_factor(const std::string& arg);
