// The clipboard as the backend sees it: CLIPWRITE and DRAGOUT lines, the decoding of their
// fields, the clipboard record of GET, the change count's bookkeeping and the watch's events.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hex_colour.h"
#include "platform/pixel_size.h"

// CLIPWRITE text TAB html TAB image TAB colour [TAB path]...: every field unescaped, empty
// paths skipped.
struct ClipWriteReq {
  std::string text;
  std::string html;
  std::string image;
  std::string colour;
  std::vector<std::string> files;
};
std::unique_ptr<ClipWriteReq> parse_clip_write(std::string_view line, size_t after);

// CLIPWATCH n: the period in milliseconds, clamped to the int range; 0 or less stops.
std::unique_ptr<int> parse_clip_watch(std::string_view line, size_t after);

// DRAGOUT icon TAB path... / DRAGOUT@win icon TAB path...; null when "@win" has no blank after.
struct DragOutReq {
  std::string win = "main";
  std::string icon;
  std::vector<std::string> paths;
};
std::unique_ptr<DragOutReq> parse_dragout(std::string_view line, size_t after);

// The paths that are absolute and name something that exists, in order: only those are offered
// as files.
std::vector<std::string> existing_files(const std::vector<std::string>& paths);

// Image data larger than this is not put on the clipboard.
constexpr size_t kClipImageLimit = 64u << 20;

// Base64 with every byte outside the alphabet skipped and "=" ending the data; nothing when
// what is left cannot be Base64 (a lone sixth bit group).
std::optional<std::string> decode_base64(std::string_view text);
// The bytes of an image field: a file for a path starting with "/" or "~" (home is the home
// folder for "~"), else Base64, plain or as a data URL. Nothing for an empty field, an
// unreadable or oversized file, or text that is not Base64.
std::optional<std::string> decode_image_field(const std::string& field, const std::string& home);

// The pixel size of PNG data, read from its header; nothing when the bytes are not PNG.
std::optional<PixelSize> png_size(std::string_view bytes);

// File paths from a text/uri-list body (or the URI lines of x-special/gnome-copied-files):
// file URIs of the local host only, percent-decoded; comments and other schemes skipped.
std::vector<std::string> paths_from_uri_list(std::string_view body);
// file:// URI of an absolute path, with every byte outside the unreserved set and "/" escaped.
std::string file_uri(std::string_view path);
// The bodies a file list is offered as: "uri\r\n"... and "copy\nuri\nuri".
std::string uri_list_body(const std::vector<std::string>& paths);
std::string gnome_copied_files_body(const std::vector<std::string>& paths);

// application/x-color: four 16-bit channels, native byte order, red, green, blue, alpha.
std::optional<Rgba> colour_from_x_color(std::string_view data);
std::string x_color_data(const Rgba& colour);
// "#rrggbb", or "#rrggbbaa" when alpha is below 1.
std::string clip_colour_text(const Rgba& colour);

// What a read of the clipboard found.
struct ClipContent {
  uint64_t count = 0;
  std::vector<std::string> paths;
  std::string text;
  std::string html;
  std::string image_path;  // the saved PNG; empty without one
  PixelSize image_size;
  std::optional<Rgba> colour;
  bool concealed = false;
  std::string source_app;  // {"name":..,"bundleId":..} noted for this count; empty: null
  std::string source_url;
};

// "files", "image", "color", "text" or "empty".
const char* clip_kind(const ClipContent& c);
std::string clipboard_json(const ClipContent& c);
std::string clip_count_json(uint64_t count);
// {"name":..,"bundleId":..}; empty texts are null.
std::string source_app_json(const std::string& name, const std::string& bundle_id);

// Where the clipboard image of a change count is saved: dir (ending in "/") +
// "kelojs-clip-<pid>-<count>.png".
std::string clip_image_path(const std::string& dir, long pid, uint64_t count);

// The change count and what belongs to it: the launcher's own writes, the source application
// noted per change, and the watch's last reported count.
class ClipBook {
 public:
  uint64_t count() const { return count_; }
  // Another application's change of the clipboard.
  void changed() { ++count_; }
  // The launcher's own write; its source is the app itself.
  void wrote(std::string own_app);
  bool own_write(uint64_t count) const { return count == own_count_; }

  // The source of the current count, noted once: source() asks for it when not noted yet.
  template <class Source>
  const std::string& note_source(Source source) {
    if (note_count_ != count_ || !noted_) {
      note_ = source();
      note_count_ = count_;
      noted_ = true;
    }
    return note_;
  }

  // The watch starts from the current count; a tick gives the CLIPCHANGE line of a change.
  void watch_from_now() { seen_ = count_; }
  std::optional<std::string> tick();

 private:
  uint64_t count_ = 0;
  uint64_t own_count_ = UINT64_MAX;
  uint64_t note_count_ = 0;
  bool noted_ = false;
  std::string note_;
  uint64_t seen_ = 0;
};

// The size a drag icon is shown at: larger than 160 on either side scales down so that the
// larger side is 160, keeping the proportions.
PixelSize drag_icon_size(int width, int height);
