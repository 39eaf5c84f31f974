#include "system/clipboard.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "wire/text.h"

namespace {

std::vector<std::string> unescaped_paths(const std::vector<std::string>& fields, size_t from) {
  std::vector<std::string> paths;
  for (size_t i = from; i < fields.size(); ++i) {
    if (!fields[i].empty()) paths.push_back(wire_unescape(fields[i]));
  }
  return paths;
}

int base64_value(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+' || c == '-') return 62;  // the URL-safe alphabet too
  if (c == '/' || c == '_') return 63;
  return -1;
}

std::optional<std::string> read_file(const std::string& path, size_t limit) {
  std::error_code err;
  if (!std::filesystem::is_regular_file(path, err)) return std::nullopt;
  auto size = std::filesystem::file_size(path, err);
  if (err || size > limit) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  std::string bytes(size, '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) return std::nullopt;
  return bytes;
}

uint32_t be32(std::string_view b, size_t at) {
  auto u = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(b[at + i])); };
  return u(0) << 24 | u(1) << 16 | u(2) << 8 | u(3);
}

bool unreserved(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::strchr("-._~/", c) != nullptr;
}

int channel_byte(double v) {
  return static_cast<int>(v * 255 + 0.5);
}

}  // namespace

std::unique_ptr<ClipWriteReq> parse_clip_write(std::string_view line, size_t after) {
  std::vector<std::string> f = split_tabs(line.substr(after));
  f.resize(std::max<size_t>(f.size(), 4));
  auto req = std::make_unique<ClipWriteReq>();
  req->text = wire_unescape(f[0]);
  req->html = wire_unescape(f[1]);
  req->image = wire_unescape(f[2]);
  req->colour = wire_unescape(f[3]);
  req->files = unescaped_paths(f, 4);
  return req;
}

std::unique_ptr<int> parse_clip_watch(std::string_view line, size_t after) {
  std::string_view s = line.substr(after);
  while (!s.empty() && (s.front() == ' ' || (s.front() >= '\t' && s.front() <= '\r')))
    s.remove_prefix(1);
  bool negative = !s.empty() && s.front() == '-';
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
  long long value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    value = std::min<long long>(value * 10 + (c - '0'), INT_MAX);
  }
  return std::make_unique<int>(static_cast<int>(negative ? -value : value));
}

std::unique_ptr<DragOutReq> parse_dragout(std::string_view line, size_t after) {
  if (after >= line.size()) return nullptr;
  auto req = std::make_unique<DragOutReq>();
  std::string_view rest = line.substr(after + 1);
  if (line[after] == '@') {
    std::string_view win;
    if (!take_token(rest, win)) return nullptr;
    req->win = win;
  }
  std::vector<std::string> f = split_tabs(rest);
  req->icon = wire_unescape(f[0]);
  req->paths = unescaped_paths(f, 1);
  return req;
}

std::vector<std::string> existing_files(const std::vector<std::string>& paths) {
  std::vector<std::string> found;
  std::error_code err;
  for (const std::string& p : paths) {
    if (p.starts_with("/") && std::filesystem::exists(p, err)) found.push_back(p);
  }
  return found;
}

std::optional<std::string> decode_base64(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3);
  uint32_t bits = 0;
  int count = 0;
  for (unsigned char c : text) {
    if (c == '=') break;
    int v = base64_value(c);
    if (v < 0) continue;
    bits = bits << 6 | static_cast<uint32_t>(v);
    if (++count == 4) {
      out.push_back(static_cast<char>(bits >> 16));
      out.push_back(static_cast<char>(bits >> 8));
      out.push_back(static_cast<char>(bits));
      bits = 0;
      count = 0;
    }
  }
  if (count == 1) return std::nullopt;
  if (count >= 2) out.push_back(static_cast<char>(bits >> (count == 2 ? 4 : 10)));
  if (count == 3) out.push_back(static_cast<char>(bits >> 2));
  if (out.empty()) return std::nullopt;
  return out;
}

std::optional<std::string> decode_image_field(const std::string& field, const std::string& home) {
  if (field.empty()) return std::nullopt;
  if (field[0] == '/') return read_file(field, kClipImageLimit);
  if (field[0] == '~') return read_file(home + field.substr(1), kClipImageLimit);
  std::string_view text = field;
  size_t comma = text.find(',');
  if (text.starts_with("data:") && comma != std::string_view::npos) text.remove_prefix(comma + 1);
  if (text.size() / 4 * 3 > kClipImageLimit) return std::nullopt;
  return decode_base64(text);
}

std::optional<PixelSize> png_size(std::string_view bytes) {
  static constexpr char kSignature[] = "\x89PNG\r\n\x1a\n";
  if (bytes.size() < 24 || bytes.substr(0, 8) != std::string_view(kSignature, 8) ||
      bytes.substr(12, 4) != "IHDR") {
    return std::nullopt;
  }
  uint32_t w = be32(bytes, 16), h = be32(bytes, 20);
  if (w == 0 || h == 0 || w > INT_MAX || h > INT_MAX) return std::nullopt;
  return PixelSize{static_cast<int>(w), static_cast<int>(h)};
}

std::vector<std::string> paths_from_uri_list(std::string_view body) {
  std::vector<std::string> paths;
  size_t start = 0;
  while (start < body.size()) {
    size_t end = body.find('\n', start);
    if (end == std::string_view::npos) end = body.size();
    std::string_view line = body.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\0'))
      line.remove_suffix(1);
    if (!line.starts_with("file://")) continue;
    line.remove_prefix(7);
    // file:///path, or file://localhost/path; another host is not a local file.
    if (line.starts_with("localhost/")) line.remove_prefix(9);
    if (!line.starts_with("/")) continue;
    std::string path = percent_decode(line);
    if (path.find('\0') == std::string::npos) paths.push_back(std::move(path));
  }
  return paths;
}

std::string file_uri(std::string_view path) {
  std::string out = "file://";
  char buf[4];
  for (unsigned char c : path) {
    if (unreserved(c)) {
      out.push_back(static_cast<char>(c));
    } else {
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    }
  }
  return out;
}

std::string uri_list_body(const std::vector<std::string>& paths) {
  std::string out;
  for (const std::string& p : paths)
    out += file_uri(p) + "\r\n";
  return out;
}

std::string gnome_copied_files_body(const std::vector<std::string>& paths) {
  std::string out = "copy";
  for (const std::string& p : paths)
    out += "\n" + file_uri(p);
  return out;
}

std::optional<Rgba> colour_from_x_color(std::string_view data) {
  if (data.size() < 8) return std::nullopt;
  uint16_t c[4];
  std::memcpy(c, data.data(), sizeof c);
  return Rgba{c[0] / 65535.0, c[1] / 65535.0, c[2] / 65535.0, c[3] / 65535.0};
}

std::string x_color_data(const Rgba& colour) {
  uint16_t c[4];
  const double v[4] = {colour.r, colour.g, colour.b, colour.a};
  for (int i = 0; i < 4; ++i)
    c[i] = static_cast<uint16_t>(v[i] * 65535 + 0.5);
  return std::string(reinterpret_cast<const char*>(c), sizeof c);
}

std::string clip_colour_text(const Rgba& c) {
  char buf[16];
  if (c.a < 1) {
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x%02x", channel_byte(c.r), channel_byte(c.g),
                  channel_byte(c.b), channel_byte(c.a));
  } else {
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", channel_byte(c.r), channel_byte(c.g),
                  channel_byte(c.b));
  }
  return buf;
}

const char* clip_kind(const ClipContent& c) {
  if (!c.paths.empty()) return "files";
  if (!c.image_path.empty()) return "image";
  if (c.colour) return "color";
  if (!c.text.empty() || !c.html.empty()) return "text";
  return "empty";
}

std::string clipboard_json(const ClipContent& c) {
  auto text_or_null = [](std::string& out, const std::string& v) {
    if (v.empty()) {
      out += "null";
    } else {
      json_escape_to(out, v);
    }
  };
  std::string out = "{\"kind\":\"";
  out += clip_kind(c);
  out += "\",\"changeCount\":" + std::to_string(c.count) + ",\"text\":";
  text_or_null(out, c.text);
  out += ",\"html\":";
  text_or_null(out, c.html);
  out += ",\"paths\":" + json_string_array(c.paths) + ",\"image\":";
  text_or_null(out, c.image_path);
  out += ",\"imageSize\":";
  if (!c.image_path.empty() && c.image_size.width >= 1) {
    out += "{\"width\":" + std::to_string(c.image_size.width) +
           ",\"height\":" + std::to_string(c.image_size.height) + "}";
  } else {
    out += "null";
  }
  out += ",\"color\":";
  text_or_null(out, c.colour ? clip_colour_text(*c.colour) : "");
  out += ",\"concealed\":";
  out += c.concealed ? "true" : "false";
  out += ",\"sourceApp\":" + (c.source_app.empty() ? std::string("null") : c.source_app);
  out += ",\"sourceURL\":";
  text_or_null(out, c.source_url);
  return out + "}";
}

std::string clip_count_json(uint64_t count) {
  return "{\"changeCount\":" + std::to_string(count) + "}";
}

std::string source_app_json(const std::string& name, const std::string& bundle_id) {
  return "{\"name\":" + (name.empty() ? "null" : json_escape(name)) +
         ",\"bundleId\":" + (bundle_id.empty() ? "null" : json_escape(bundle_id)) + "}";
}

std::string clip_image_path(const std::string& dir, long pid, uint64_t count) {
  return dir + "kelojs-clip-" + std::to_string(pid) + "-" + std::to_string(count) + ".png";
}

void ClipBook::wrote(std::string own_app) {
  ++count_;
  own_count_ = count_;
  note_ = std::move(own_app);
  note_count_ = count_;
  noted_ = true;
}

std::optional<std::string> ClipBook::tick() {
  if (count_ == seen_) return std::nullopt;
  seen_ = count_;
  return "CLIPCHANGE " + std::to_string(count_) + (own_write(count_) ? " 1" : " 0");
}

PixelSize drag_icon_size(int width, int height) {
  if (width <= 160 && height <= 160) return {width, height};
  double scale = 160.0 / std::max(width, height);
  return {std::max(1, static_cast<int>(width * scale + 0.5)),
          std::max(1, static_cast<int>(height * scale + 0.5))};
}
