// GET answers about the launcher's windows, the pointer and the screens, built from facts the
// platform glue collects. Coordinates are wire coordinates (points, y downwards).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "windows/chrome.h"
#include "windows/screens.h"

// ["main","a","b"]: "main" when the main window exists, then the other ids in order.
std::string windows_json(bool has_main, const std::vector<std::string>& ids);

// [screen record, ...] in the order given.
std::string screens_json(const std::vector<ScreenInfo>& screens);

// "desktop", "overlay", "floating" or "normal".
const char* level_name(int level);

struct WindowFacts {
  Rect frame;
  Rect content;
  bool fullscreen = false;
  bool minimized = false;
  bool visible = false;
  bool focused = false;
  int level = 0;
  bool resizable = true;
  bool click_through = false;
  bool all_spaces = false;
  ChromeFacts chrome;
  bool is_main = false;  // only the main window reports its vibrancy material
  ScreenInfo screen;     // the window's screen, else the main screen
};

// The window record: position, sizes, state, chrome, its screen.
std::string window_record_json(const WindowFacts& w);

// The first screen whose frame contains the point, or -1.
int screen_at_point(const std::vector<ScreenInfo>& screens, double x, double y);

// The pointer record: global position, position relative to a window's content (null without
// a window), and the screen under the pointer.
std::string mouse_record_json(double x, double y, const std::optional<Rect>& content,
                              const ScreenInfo& screen);
