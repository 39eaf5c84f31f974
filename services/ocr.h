// OCR: the text lines recognised in an image file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// OCR id path
struct OcrReq {
  std::string id;
  std::string path;  // unescaped
};
std::unique_ptr<OcrReq> parse_ocr(std::string_view line, size_t after);

// One recognised line: its text, the recogniser's confidence (0-100) and its box in pixels
// of the image, origin at the top left, right and bottom exclusive.
struct OcrLine {
  std::string text;
  double confidence = 0;
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// {"ok":true,"text":T,"blocks":[...]}: one block per line that holds more than blanks, its
// text without trailing blanks, confidence 0-1, box normalised to the image (0-1, origin at
// the top left); T is the lines joined with "\n".
std::string ocr_reply_json(const std::vector<OcrLine>& lines, int image_width, int image_height);

// Why an image of this size is not recognised (above kMaxImagePixels), or nothing.
std::optional<std::string> ocr_size_error(int width, int height);

inline constexpr std::string_view kOcrFailed = "ocr failed";
