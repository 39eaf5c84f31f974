// The app's taskbar presence: badge, progress bar, attention requests and the app icon. The
// window icon of every app window is drawn as a tile: the app icon, the progress bar near its
// bottom edge and the badge in its top-right corner.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// BADGE [text] and APPICON [path]: the text after the verb and its blank, wire-unescaped;
// empty for the verb alone.
std::unique_ptr<std::string> parse_text_arg(std::string_view line, size_t after);
// ATTENTION n: C atoi of the text after the verb's next byte; 0 without one. 0 is an
// informational request, anything else a critical one.
std::unique_ptr<int> parse_attention(std::string_view line, size_t after);
// PROGRESS x: C atof of the text after the verb's next byte; -1 (no bar) without one.
std::unique_ptr<double> parse_progress(std::string_view line, size_t after);

// The badge as a number for docks that show counts: digits only (at most 18), else nothing.
std::optional<int64_t> badge_count(std::string_view text);

// A rectangle of the tile with rounded corners, y downwards from the tile's top edge.
struct TileBox {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  double radius = 0;
};

struct ProgressBar {
  TileBox track;                // black at 55 %, stroked in white 1.5 wide
  std::optional<TileBox> fill;  // in the accent colour; none while at most half a unit wide
};

// The progress bar over a tile of width x height, or nothing for a negative progress. Progress
// above 1 is a full bar. The track spans the tile less 9 % on each side, is 12 % of the height
// tall and sits 55 % of its own height above the bottom edge; the fill is the track inset by 2.
std::optional<ProgressBar> progress_bar(double width, double height, double progress);

// The badge's font size and the widest its text may be drawn, for a tile of width x height.
double badge_font_size(double height);
double badge_text_room(double width, double height);
// The badge: a circle in the tile's top-right corner that grows leftwards into a pill for text
// of text_width, never wider than the tile.
TileBox badge_box(double width, double height, double text_width);

// Attention requests: one state for the whole app. Informational urgency ends when the app is
// focused or its timer runs out, critical urgency only when the app is focused.
struct Attention {
  bool urgent = false;
  bool critical = false;
  unsigned serial = 0;  // of the latest request; only its timer may end the urgency

  // A request made while the app is not focused; returns the serial its timer must name.
  unsigned request(bool is_critical);
  // The timer of an informational request ran out; true when that ends the urgency.
  bool expire(unsigned timer_serial);
  // The app was focused; true when that ends the urgency.
  bool focused();
};

// The "debug:icon" record.
struct IconFacts {
  bool custom = false;  // a custom icon is set
  int width = 0;        // of the custom icon's image; 0 without one
  int height = 0;
  bool has_default = false;  // a default icon came from the environment at start-up
  std::string env;           // the environment's icon setting now
};
std::string icon_debug_json(const IconFacts& facts);

// The size an icon image is kept at: the image's own up to max_side, else scaled down to fit
// with its aspect kept (never below 1).
void icon_keep_size(int width, int height, int max_side, int& out_width, int& out_height);
