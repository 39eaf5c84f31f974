// The tray item's decisions: how clicks behave, the title colour, and what "debug:tray" reports.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/hex_colour.h"

// "#rrggbb" of the components, rounded.
std::string colour_hex(const Rgba& c);

// A title colour for the light and the dark appearance.
struct TitleColour {
  Rgba light;
  Rgba dark;
};
// "light[,dark]": nothing when the light part is not a colour; a dark part that is not one
// falls back to the light colour.
std::optional<TitleColour> parse_title_colour(std::string_view text);

// How clicks on the tray item behave.
struct TrayMode {
  bool item_is_menu = false;  // every click opens the menu
  bool menu_held = false;     // the menu opens on the secondary click only
  bool reports_click = true;  // a primary click writes "TRAYCLICK"
};
TrayMode tray_mode(bool has_items, bool primary_action);

// The font a title is shown in: the desktop's font, its monospaced font, or the desktop's font
// with digits of one width.
struct TrayFont {
  std::string name;
  double size = 0;
};
TrayFont tray_font(std::string_view title_font, const std::string& family, double size);

// What "debug:tray" reports of an existing tray item.
struct TrayFacts {
  TrayMode mode;
  bool icon = false;
  std::string title;
  TrayFont font;
  bool font_chosen = false;  // a monospaced title font was asked for
  std::optional<TitleColour> colour;
};
// {"exists":true,"menuAttached":..,"menuHeld":..,"icon":..,"title":..[,"titleFont":..,
// "titleFontSize":..][,"titleColorLight":..,"titleColorDark":..]}; the font and colour only
// for a styled title (non-empty, with a colour or a chosen font). Without facts:
// {"exists":false}.
std::string tray_debug_json(const TrayFacts* facts);
