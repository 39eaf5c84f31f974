#include "services/thumb.h"

#include <algorithm>
#include <cmath>

#include "services/capture.h"
#include "wire/text.h"

std::unique_ptr<ThumbReq> parse_thumb(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after);
  auto req = std::make_unique<ThumbReq>();
  if (!take_request_id(rest, req->id)) return nullptr;
  std::vector<std::string> fields = split_tabs(rest);
  req->path = wire_unescape(fields[0]);
  if (fields.size() > 1) req->size = wire_atoi(fields[1]);
  return req;
}

int thumb_box_pixels(int size) {
  if (size < 1) size = 256;
  return std::min(size, 1024) * 2;
}

PixelSize fit_in_box(int width, int height, int box) {
  if (width <= box && height <= box) return {std::max(width, 1), std::max(height, 1)};
  double scale = static_cast<double>(box) / std::max(width, height);
  return {std::max(1, static_cast<int>(std::lround(width * scale))),
          std::max(1, static_cast<int>(std::lround(height * scale)))};
}

int thumb_cache_size_for(int box) {
  int index = 0;
  for (int side = 128; side < box && index < 3; side *= 2)
    ++index;
  return index;
}

std::string no_such_file(std::string_view path) {
  return "no such file: " + std::string(path);
}
