#include "windows/resize.h"

#include <algorithm>

Edges parse_edges(std::string_view text) {
  Edges e;
  e.top = text.find('n') != std::string_view::npos;
  e.bottom = text.find('s') != std::string_view::npos;
  e.left = text.find('w') != std::string_view::npos;
  e.right = text.find('e') != std::string_view::npos;
  return e;
}

Size resize_minimum(Size own) {
  return Size{std::max(own.width, 120), std::max(own.height, 80)};
}

Rect resized_frame(const Rect& start, double dx, double dy, Edges edges, Size minimum) {
  // Where edges conflict, the left edge wins over the right and the bottom over the top.
  Rect f = start;
  if (edges.right) f.width = start.width + dx;
  if (edges.left) {
    f.x = start.x + dx;
    f.width = start.width - dx;
  }
  if (edges.top) {
    f.y = start.y + dy;
    f.height = start.height - dy;
  }
  if (edges.bottom) {
    f.y = start.y;
    f.height = start.height + dy;
  }
  if (f.width < minimum.width) {
    f.width = minimum.width;
    if (edges.left) f.x = start.x + start.width - minimum.width;
  }
  if (f.height < minimum.height) {
    f.height = minimum.height;
    if (edges.top && !edges.bottom) f.y = start.y + start.height - minimum.height;
  }
  return f;
}
