#include "windows/winop.h"

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
