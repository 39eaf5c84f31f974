#include "menus/menu_images_gtk.h"

#include <gtk/gtk.h>

#include "menus/symbols.h"

std::string symbol_icon_name(std::string_view symbol, bool symbolic) {
  GtkIconTheme* theme = gtk_icon_theme_get_default();
  if (!theme) return "";
  for (const std::string& name : symbol_icon_names(symbol, symbolic)) {
    if (gtk_icon_theme_has_icon(theme, name.c_str())) return name;
  }
  return "";
}

GRef<GdkPixbuf> text_pixbuf(std::string_view text, int size, const double (&rgba)[4]) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t* cr = cairo_create(surface);
  PangoLayout* layout = pango_cairo_create_layout(cr);
  std::string valid = valid_utf8(text);
  pango_layout_set_text(layout, valid.c_str(), -1);
  // The system font at 13 of 16 points.
  PangoFontDescription* font = pango_font_description_from_string("Sans");
  pango_font_description_set_absolute_size(font, size * 13.0 / 16.0 * PANGO_SCALE);
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  cairo_set_source_rgba(cr, rgba[0], rgba[1], rgba[2], rgba[3]);
  cairo_move_to(cr, (size - width) / 2.0, (size - height) / 2.0);
  pango_cairo_show_layout(cr, layout);
  g_object_unref(layout);
  cairo_destroy(cr);
  GRef<GdkPixbuf> pixbuf =
      GRef<GdkPixbuf>::adopt(gdk_pixbuf_get_from_surface(surface, 0, 0, size, size));
  cairo_surface_destroy(surface);
  return pixbuf;
}

GRef<GdkPixbuf> file_pixbuf(const std::string& path, int height) {
  if (path.empty()) return {};
  return GRef<GdkPixbuf>::adopt(
      gdk_pixbuf_new_from_file_at_scale(path.c_str(), -1, height, TRUE, nullptr));
}

std::string valid_utf8(std::string_view text) {
  if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
    return std::string(text);
  }
  GCharPtr valid(g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())));
  return valid.get();
}
