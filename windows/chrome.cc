#include "windows/chrome.h"

#include <cstdio>
#include <map>

#include "wire/text.h"

namespace {

ChromeReq from_positions(std::string id, std::string_view text, bool skip_sixth) {
  ChromeReq r;
  r.id = std::move(id);
  std::vector<std::string> f = split_tabs(text);
  for (size_t pos = 0; pos < f.size(); ++pos) {
    size_t field = pos;
    if (skip_sixth) {
      if (pos == 6) continue;
      if (pos == 7) field = kTrafficPos;
    }
    if (field < kChromeFields) r.fields[field] = f[pos];
  }
  return r;
}

}  // namespace

ChromeReq chrome_from_wire(std::string id, std::string_view tab_fields) {
  return from_positions(std::move(id), tab_fields, true);
}

ChromeReq chrome_from_setting(std::string_view tab_fields) {
  return from_positions("main", tab_fields, false);
}

ChromeState chrome_after(ChromeState s, const ChromeReq& req) {
  if (!req[kTitlebar].empty()) s.frameless = req[kTitlebar] == "0";
  if (!req[kButtons].empty()) {
    for (int i = 0; i < 3; ++i)
      s.shown[i] = chrome_shows_button(req[kButtons], kChromeButtons[i]);
  }
  if (!req[kTransparent].empty()) {
    s.transparent = req[kTransparent] == "1";
    s.opaque = !s.transparent;
    s.draws_background = !s.transparent;
  }
  if (req[kTrafficPos] == "default") {
    s.traffic_pos.reset();
  } else if (auto pos = parse_traffic_pos(req[kTrafficPos])) {
    s.traffic_pos = pos;
  }
  if (req[kVibrancy] == "none") {
    s.vibrancy.clear();
    if (!s.transparent) s.draws_background = true;
  } else if (!req[kVibrancy].empty()) {
    s.vibrancy = req[kVibrancy];
    s.draws_background = false;
    s.opaque = false;
  }
  if (!req[kSquare].empty()) {
    s.square = req[kSquare] == "1";
    if (!s.square) s.frameless = false;
  }
  return s;
}

FrameKind frame_kind(const ChromeState& s) {
  if (s.square) return FrameKind::Borderless;
  return s.frameless ? FrameKind::BorderOnly : FrameKind::Standard;
}

bool is_default_frame(const ChromeState& s) {
  return !s.frameless && !s.square && s.shown[0] && s.shown[1] && s.shown[2];
}

bool own_buttons_visible(const ChromeState& s, bool fullscreen) {
  bool any = s.shown[0] || s.shown[1] || s.shown[2];
  return s.frameless && !s.square && any && !fullscreen;
}

ChromeFacts chrome_facts(const ChromeState& s, bool first_mouse) {
  ChromeFacts f;
  f.frame = !s.frameless && !s.square;
  for (int i = 0; i < 3; ++i)
    f.controls[i] = !s.square && s.shown[i];
  f.traffic_pos = s.traffic_pos;
  f.transparent = !s.opaque;
  f.vibrancy = s.vibrancy;
  f.square = s.square;
  f.first_mouse = first_mouse;
  return f;
}

bool chrome_shows_button(std::string_view buttons, std::string_view name) {
  return buttons == "all" || (buttons != "none" && buttons.find(name) != std::string_view::npos);
}

int material_for(std::string_view name) {
  static const std::map<std::string_view, int> kMaterials = {
      {"titlebar", 3}, {"selection", 4}, {"menu", 5},         {"popover", 6},    {"sidebar", 7},
      {"header", 10},  {"sheet", 11},    {"window", 12},      {"hud", 13},       {"fullscreen", 15},
      {"tooltip", 17}, {"content", 18},  {"underwindow", 21}, {"underpage", 22},
  };
  auto it = kMaterials.find(name);
  return it == kMaterials.end() ? 7 : it->second;
}

std::optional<PointD> parse_traffic_pos(const std::string& text) {
  PointD p;
  if (std::sscanf(text.c_str(), "%lf,%lf", &p.x, &p.y) != 2) return std::nullopt;
  return p;
}

std::string traffic_pos_json(const std::optional<PointD>& pos) {
  if (!pos) return "null";
  char buf[96];
  std::snprintf(buf, sizeof buf, "{\"x\":%g,\"y\":%g}", pos->x, pos->y);
  return buf;
}

std::array<PointD, 3> traffic_button_positions(PointD pos, double spacing) {
  return {PointD{pos.x, pos.y}, PointD{pos.x + spacing, pos.y}, PointD{pos.x + 2 * spacing, pos.y}};
}

Tint material_tint(int material, bool dark) {
  // Shades of the light and dark appearance; heads-up and full-screen materials are dark in
  // both, selections carry the accent colour.
  switch (material) {
    case 4:  // selection
      return {0.20, 0.45, 0.90, 0.55};
    case 13:  // hud
    case 15:  // fullscreen
      return {0.12, 0.12, 0.13, 0.80};
    case 3:   // titlebar
    case 10:  // header
      return dark ? Tint{0.20, 0.20, 0.21, 0.85} : Tint{0.91, 0.91, 0.92, 0.85};
    case 5:   // menu
    case 6:   // popover
    case 17:  // tooltip
      return dark ? Tint{0.17, 0.17, 0.18, 0.88} : Tint{0.96, 0.96, 0.96, 0.88};
    case 18:  // content
    case 22:  // underpage
      return dark ? Tint{0.12, 0.12, 0.12, 0.75} : Tint{0.98, 0.98, 0.98, 0.75};
    default:  // sidebar, sheet, window, underwindow
      return dark ? Tint{0.16, 0.16, 0.17, 0.80} : Tint{0.93, 0.93, 0.94, 0.80};
  }
}
