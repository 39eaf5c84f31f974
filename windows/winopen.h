// WINOPEN: the request to open a secondary window.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

struct WinOpenReq {
  std::string id;
  std::string url;
  std::string title;
  int width = 600;
  int height = 400;
  // titlebar, buttons, transparent, vibrancy, square, first-mouse, traffic-light position
  std::array<std::string, 7> chrome;
  bool has_position = false;
  int x = 0;
  int y = 0;
  std::string parent;
  bool panel = false;
  bool hidden = false;
};

// The tab-separated fields after "WINOPEN "; missing trailing fields keep their defaults.
WinOpenReq parse_winopen(std::string_view fields);

// Whether a window id can be named on the wire: call ids put it before a colon and commands
// end it at a blank, so it may hold neither.
bool window_id_nameable(std::string_view id);

// Whether making `child` a child of `parent` would close a loop of parents: walks up from the
// parent through parent_of (the parent a window has or will take back, "" for none) and
// answers true when the walk meets the child.
bool closes_parent_cycle(const std::string& child, const std::string& parent,
                         const std::function<std::string(const std::string&)>& parent_of);

// True when any chrome field is set.
bool has_chrome(const WinOpenReq& req);
