// CAPTURE, and what the image services share: their request heads, their replies and the
// temporary files they write.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "windows/screens.h"

// CAPTURE id [display]
struct CaptureReq {
  std::string id;
  int64_t display = 0;  // a screen record's id; 0 is the first screen
};
std::unique_ptr<CaptureReq> parse_capture(std::string_view line, size_t after);

// Cuts the request id, which ends at the next blank; false when there is no blank.
bool take_request_id(std::string_view& rest, std::string& id);

// {"ok":true,"path":P,"width":W,"height":H}: an image written for a request.
std::string image_reply_json(std::string_view path, int width, int height);
// {"ok":false,"error":E}
std::string capture_fail_json(std::string_view error);
// Writes "GOT id" + the failure reply.
void capture_fail(std::string_view id, std::string_view error);

// The file an image service writes for a request: <tmp>/kelojs-<kind>-<pid>-<id>.png. Bytes of
// the id other than letters, digits, "-", "_" and "." become "_", so the name stays inside the
// folder whatever the id holds.
std::string temp_png_path(std::string_view tmp_dir, std::string_view kind, long pid,
                          std::string_view id);

// The index of the screen a display id names (0: the first screen), or -1.
int screen_for_display(const std::vector<ScreenInfo>& screens, int64_t display);

// A screen's area in device pixels of the root window: the frame (wire coordinates, whose
// origin lies at origin_x, origin_y of the root) times the scale, truncated.
struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};
PixelRect screen_pixels(const ScreenInfo& screen, int origin_x, int origin_y);

// Images above this many pixels are neither recognised nor decoded for thumbnails: decoding
// alone takes four bytes a pixel, recognition several copies more.
inline constexpr int64_t kMaxImagePixels = 40'000'000;

// Error texts of the capture services.
inline constexpr std::string_view kNoScreens =
    "no shareable content (screen-recording permission?)";
inline constexpr std::string_view kNoSuchDisplay = "no such display";
inline constexpr std::string_view kCaptureFailed = "capture failed";
inline constexpr std::string_view kPngWriteFailed = "png write failed";
