// A size in device pixels, as images and drag icons carry it.
#pragma once

struct PixelSize {
  int width = 0;
  int height = 0;
};
