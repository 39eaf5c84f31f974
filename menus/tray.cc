#include "menus/tray.h"

#include <cmath>
#include <cstdio>

#include "wire/text.h"

std::string colour_hex(const Rgba& c) {
  auto byte = [](double v) { return static_cast<int>(std::lround(v * 255)); };
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", byte(c.r), byte(c.g), byte(c.b));
  return buf;
}

std::optional<TitleColour> parse_title_colour(std::string_view text) {
  size_t comma = text.find(',');
  std::optional<Rgba> light = parse_hex_colour(text.substr(0, comma));
  if (!light) return std::nullopt;
  std::optional<Rgba> dark;
  if (comma != std::string_view::npos) dark = parse_hex_colour(text.substr(comma + 1));
  return TitleColour{*light, dark.value_or(*light)};
}

TrayMode tray_mode(bool has_items, bool primary_action) {
  TrayMode mode;
  mode.item_is_menu = has_items && !primary_action;
  mode.menu_held = has_items && primary_action;
  mode.reports_click = !mode.item_is_menu;
  return mode;
}

TrayFont tray_font(std::string_view title_font, const std::string& family, double size) {
  if (title_font == "monospaced") return {"Monospace", size};
  if (title_font == "monospacedDigit") return {family + " Tabular Digits", size};
  return {family, size};
}

std::string tray_debug_json(const TrayFacts* f) {
  if (!f) return "{\"exists\":false}";
  auto b = [](bool v) { return v ? "true" : "false"; };
  std::string out = "{\"exists\":true,\"menuAttached\":";
  out.append(b(f->mode.item_is_menu)).append(",\"menuHeld\":").append(b(f->mode.menu_held));
  out.append(",\"icon\":").append(b(f->icon)).append(",\"title\":");
  json_escape_to(out, f->title);
  if (!f->title.empty() && (f->colour || f->font_chosen)) {
    char size[64];
    std::snprintf(size, sizeof size, "%f", f->font.size);
    out.append(",\"titleFont\":");
    json_escape_to(out, f->font.name);
    out.append(",\"titleFontSize\":").append(size);
    if (f->colour) {
      out.append(",\"titleColorLight\":").append(json_escape(colour_hex(f->colour->light)));
      out.append(",\"titleColorDark\":").append(json_escape(colour_hex(f->colour->dark)));
    }
  }
  out += "}";
  return out;
}
