// WINOP: window operations, one sub-command per line.
#pragma once

#include <string>
#include <string_view>

struct WinopReq {
  std::string id;       // "main" when the line names no window
  std::string command;  // the rest of the line
};

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
