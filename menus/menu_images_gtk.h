// Images of menu items and of the tray item, from the icon theme, from text and from files.
#pragma once

#include <string>
#include <string_view>

#include "platform/gobj.h"

typedef struct _GdkPixbuf GdkPixbuf;

// The icon theme's name for a system symbol ("gear"), or "" when the theme has none. With
// symbolic, the theme's symbolic icons (drawn in the text colour) come first.
std::string symbol_icon_name(std::string_view symbol, bool symbolic);

// Text drawn centred in a square of size x size pixels in the colour given as RGBA.
GRef<GdkPixbuf> text_pixbuf(std::string_view text, int size, const double (&rgba)[4]);

// An image file scaled to the height, keeping its proportions; null when it cannot be loaded.
GRef<GdkPixbuf> file_pixbuf(const std::string& path, int height);

// Bytes of text as UTF-8: invalid sequences become replacement characters.
std::string valid_utf8(std::string_view text);
