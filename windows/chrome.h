// Window chrome requests: title bar, window buttons and their position, transparency, vibrancy
// material, square corners and first-mouse clicks.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

// Field order of every chrome request.
enum ChromeField {
  kTitlebar,
  kButtons,
  kTransparent,
  kVibrancy,
  kSquare,
  kFirstMouse,
  kTrafficPos,
  kChromeFields
};

struct ChromeReq {
  std::string id = "main";
  std::array<std::string, kChromeFields> fields;  // empty: leave that aspect unchanged
  const std::string& operator[](ChromeField f) const { return fields[f]; }
};

// "CHROME" lines: positions 0-5 are fields 0-5, position 6 is ignored, position 7 is the
// traffic position.
ChromeReq chrome_from_wire(std::string id, std::string_view tab_fields);
// The packaged setting: positions 0-6 are fields 0-6.
ChromeReq chrome_from_setting(std::string_view tab_fields);

// The window buttons, in the order every chrome record lists them.
inline constexpr const char* kChromeButtons[3] = {"close", "minimize", "maximize"};

// Whether a "buttons" value shows the button with this name ("close", "minimize", "maximize").
bool chrome_shows_button(std::string_view buttons, std::string_view name);

// The material number of a vibrancy name; unknown names are "sidebar" (7).
int material_for(std::string_view name);

struct PointD {
  double x = 0;
  double y = 0;
};

// "x,y"; nothing unless both numbers are read.
std::optional<PointD> parse_traffic_pos(const std::string& text);
// {"x":..,"y":..} or null.
std::string traffic_pos_json(const std::optional<PointD>& pos);
// Where the close, minimize and maximize buttons go for a requested position.
std::array<PointD, 3> traffic_button_positions(PointD pos, double spacing);

// What the window queries report about a window's chrome.
struct ChromeFacts {
  bool frame = true;      // standard title bar
  bool controls[3] = {};  // close, minimize, maximize shown
  std::optional<PointD> traffic_pos;
  bool transparent = false;  // the window is not opaque
  std::string vibrancy;      // material name; empty without one
  bool square = false;       // borderless
  bool first_mouse = false;
};

// What a window's chrome requests have left it with.
struct ChromeState {
  bool frameless = false;              // title bar hidden
  bool square = false;                 // borderless
  bool shown[3] = {true, true, true};  // close, minimize, maximize
  bool transparent = false;
  bool opaque = true;
  bool draws_background = true;  // the page paints its own background
  std::string vibrancy;          // material name while the tint is shown
  std::optional<PointD> traffic_pos;
};

// The state after a request: its non-empty fields applied in field order (first-mouse belongs
// to the web view and is not part of it).
ChromeState chrome_after(ChromeState state, const ChromeReq& req);

enum class FrameKind { Standard, BorderOnly, Borderless };
// The window manager's frame: standard, only a border while the title bar is hidden, none
// for square windows.
FrameKind frame_kind(const ChromeState& state);
// Nothing has been asked of the frame or its buttons.
bool is_default_frame(const ChromeState& state);
// The launcher's own buttons show while the title bar is hidden, the window has a border and
// is not in full screen, and some button is asked for.
bool own_buttons_visible(const ChromeState& state, bool fullscreen);
ChromeFacts chrome_facts(const ChromeState& state, bool first_mouse);

// The colour a vibrancy material is imitated with, as straight RGBA from 0 to 1: there is no
// blur behind windows here, so each material gets a translucent tint of its typical shade.
struct Tint {
  double r = 0, g = 0, b = 0, a = 0;
};
Tint material_tint(int material, bool dark);
