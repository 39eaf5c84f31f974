// Screens and window placement in wire coordinates: points, origin at the primary screen's
// top-left corner, y downwards.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
};

struct ScreenInfo {
  uint32_t id = 0;  // display id
  std::string uid;  // stable identifier; empty when the display has none
  std::string name;
  Rect frame;        // the whole screen
  Rect visible;      // without panels and docks (the work area)
  double scale = 1;  // device pixels per point
  bool primary = false;
  bool internal = false;
};

// The screen whose frame has the largest intersection with rect (the first of equal ones), or
// -1 when none intersects.
int screen_for_rect(const std::vector<ScreenInfo>& screens, const Rect& rect);

// The screen record: {"id":..,"uid":..,"name":..,"x":..,...,"pixels":{...}}.
std::string screen_json(const ScreenInfo& screen);
// The uid text: the display's identifier, or its decimal id when it has none.
std::string screen_uid(const ScreenInfo& screen);

// "screenId":..,"local":{..},"pixels":{..} for a window with the given frame and content
// rectangle on screen.
std::string window_screen_fields(const ScreenInfo& screen, const Rect& frame, const Rect& content);

// Where a window that cannot be reached on any screen goes: nothing when at least 24 x 24
// points of it lie inside some screen's visible area (or there are no screens); otherwise the
// frame moved onto the visible area whose centre is nearest, size unchanged.
std::optional<Rect> rescue_frame(const Rect& frame, const std::vector<Rect>& visible_areas);

// Rounds halves away from zero.
long round_half_away(double v);
