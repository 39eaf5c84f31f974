// The image files the capture services write, through GdkPixbuf. Any thread.
#pragma once

#include <string>
#include <string_view>

#include "platform/gobj.h"

typedef struct _GdkPixbuf GdkPixbuf;

// Writes the image as a PNG in the temporary folder under the request's name (kind "shot",
// "thumb") and answers the request with its path and pixel size, or "png write failed". The
// file appears whole: it is written under a temporary name and renamed into place.
void reply_with_png(const std::string& id, std::string_view kind, GdkPixbuf* image);

// What a path holds: nothing, an image GdkPixbuf can read (its stored pixel size in width and
// height), or anything else (folders included).
enum class FileKind { Missing, Image, Other };
FileKind probe_file(const std::string& path, int& width, int& height);

// Loads an image file at width x height pixels, turned upright by its orientation tag; null
// with the loader's error text in error when it cannot be read.
GRef<GdkPixbuf> load_image(const std::string& path, int width, int height, std::string& error);
