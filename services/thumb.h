// THUMB: a thumbnail of any file, as a PNG in the temporary folder.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/pixel_size.h"

// THUMB id path<TAB>size
struct ThumbReq {
  std::string id;
  std::string path;  // unescaped
  int size = 0;      // points; below 1 means 256
};
std::unique_ptr<ThumbReq> parse_thumb(std::string_view line, size_t after);

// The side of the square the thumbnail fits in, in pixels: the size in points at scale 2. Sizes
// below 1 mean 256 points; sizes above 1024 points are treated as 1024, which bounds memory.
int thumb_box_pixels(int size);

// An image of width x height scaled to fit a box x box square, aspect kept, never enlarged,
// at least one pixel each way.
PixelSize fit_in_box(int width, int height, int box);

// Which of the shared cache's sizes (128, 256, 512, 1024 pixels: 0 to 3) serves a box: the
// smallest that is at least as large, else the largest.
int thumb_cache_size_for(int box);

// "no such file: " + path
std::string no_such_file(std::string_view path);

inline constexpr std::string_view kNoThumbnail = "no thumbnail";
