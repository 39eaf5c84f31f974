// Edge resizing of a window by the pointer (RESIZEWIN), in wire coordinates (y downwards).
#pragma once

#include <string_view>

#include "windows/screens.h"
#include "windows/winop.h"

struct Edges {
  bool top = false;     // n
  bool bottom = false;  // s
  bool left = false;    // w
  bool right = false;   // e
};

// The letters n, s, w and e anywhere in the text.
Edges parse_edges(std::string_view text);

// The smallest frame a resize may give: the window's own minimum frame, and never below 120 x 80.
Size resize_minimum(Size own_minimum_frame);

// The frame after the pointer moved by (dx, dy) from where the resize started: the edges named
// follow the pointer, the opposite ones stay, and the size never goes below the minimum.
Rect resized_frame(const Rect& start, double dx, double dy, Edges edges, Size minimum);
