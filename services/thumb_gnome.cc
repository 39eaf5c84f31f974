// THUMB on the image workers: images decode at their thumbnail size through GdkPixbuf; other
// files go through the desktop's thumbnailers and their shared cache; a type no thumbnailer
// serves gets its themed icon, drawn on the main thread.
#define GNOME_DESKTOP_USE_UNSTABLE_API
#include <gio/gio.h>
#include <gtk/gtk.h>
#include <libgnome-desktop/gnome-desktop-thumbnail.h>

#include <array>
#include <mutex>

#include "services/capture_gtk.h"
#include "services/image_files_gdk.h"
#include "services/work_queue.h"

namespace {

// One factory per size of the shared cache; any thread.
GnomeDesktopThumbnailFactory* factory(int size_index) {
  static std::mutex mutex;
  static std::array<GnomeDesktopThumbnailFactory*, 4> factories{};
  std::lock_guard<std::mutex> lock(mutex);
  GnomeDesktopThumbnailFactory*& f = factories[size_index];
  if (!f) f = gnome_desktop_thumbnail_factory_new(GnomeDesktopThumbnailSize(size_index));
  return f;
}

GRef<GdkPixbuf> fitted(GRef<GdkPixbuf> image, int box) {
  if (!image) return image;
  int w = gdk_pixbuf_get_width(image.get()), h = gdk_pixbuf_get_height(image.get());
  PixelSize fit = fit_in_box(w, h, box);
  if (fit.width == w && fit.height == h) return image;
  return GRef<GdkPixbuf>::adopt(
      gdk_pixbuf_scale_simple(image.get(), fit.width, fit.height, GDK_INTERP_BILINEAR));
}

// The desktop's thumbnail of the file (cached, or made now and cached), or null.
GRef<GdkPixbuf> desktop_thumbnail(GFile* file, GFileInfo* info, int box) {
  GnomeDesktopThumbnailFactory* f = factory(thumb_cache_size_for(box));
  GCharPtr uri(g_file_get_uri(file));
  auto mtime =
      static_cast<time_t>(g_file_info_get_attribute_uint64(info, G_FILE_ATTRIBUTE_TIME_MODIFIED));
  const char* type = g_file_info_get_content_type(info);
  GCharPtr mime(type ? g_content_type_get_mime_type(type) : nullptr);
  if (GCharPtr cached{gnome_desktop_thumbnail_factory_lookup(f, uri.get(), mtime)}) {
    return GRef<GdkPixbuf>::adopt(gdk_pixbuf_new_from_file(cached.get(), nullptr));
  }
  if (!mime || gnome_desktop_thumbnail_factory_has_valid_failed_thumbnail(f, uri.get(), mtime) ||
      !gnome_desktop_thumbnail_factory_can_thumbnail(f, uri.get(), mime.get(), mtime)) {
    return {};
  }
  auto made = GRef<GdkPixbuf>::adopt(gnome_desktop_thumbnail_factory_generate_thumbnail(
      f, uri.get(), mime.get(), nullptr, nullptr));
  if (made) {
    gnome_desktop_thumbnail_factory_save_thumbnail(f, made.get(), uri.get(), mtime, nullptr,
                                                   nullptr);
  } else {
    gnome_desktop_thumbnail_factory_create_failed_thumbnail(f, uri.get(), mtime, nullptr, nullptr);
  }
  return made;
}

// On the main thread (the icon theme lives there): the type's icon at box pixels, written on a
// worker.
void answer_with_icon(const std::string& id, GRef<GIcon> icon, int box) {
  GtkIconInfo* found =
      icon ? gtk_icon_theme_lookup_by_gicon(gtk_icon_theme_get_default(), icon.get(), box,
                                            GTK_ICON_LOOKUP_FORCE_SIZE)
           : nullptr;
  GRef<GdkPixbuf> image;
  if (found) {
    image = GRef<GdkPixbuf>::adopt(gtk_icon_info_load_icon(found, nullptr));
    g_object_unref(found);
  }
  if (!image) return capture_fail(id, kNoThumbnail);
  image_workers().post([id, image] { reply_with_png(id, "thumb", image.get()); });
}

void make_thumbnail(const std::string& id, const std::string& path, int size) {
  int box = thumb_box_pixels(size);
  int width = 0, height = 0;
  FileKind kind = probe_file(path, width, height);
  if (kind == FileKind::Missing) return capture_fail(id, no_such_file(path));
  if (kind == FileKind::Image && int64_t{width} * height <= kMaxImagePixels) {
    PixelSize fit = fit_in_box(width, height, box);
    std::string error;
    if (GRef<GdkPixbuf> image = load_image(path, fit.width, fit.height, error)) {
      return reply_with_png(id, "thumb", image.get());
    }
  }
  auto file = GRef<GFile>::adopt(g_file_new_for_path(path.c_str()));
  auto info = GRef<GFileInfo>::adopt(g_file_query_info(
      file.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE "," G_FILE_ATTRIBUTE_TIME_MODIFIED,
      G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
  if (!info) return capture_fail(id, kNoThumbnail);
  if (GRef<GdkPixbuf> thumb = fitted(desktop_thumbnail(file.get(), info.get(), box), box)) {
    return reply_with_png(id, "thumb", thumb.get());
  }
  const char* type = g_file_info_get_content_type(info.get());
  auto icon = GRef<GIcon>::adopt(type ? g_content_type_get_icon(type) : nullptr);
  g_main_queue->post(make_task([id, icon, box] { answer_with_icon(id, icon, box); }));
}

}  // namespace

void do_thumb(webview_t, std::unique_ptr<ThumbReq> req) {
  image_workers().post([id = std::move(req->id), path = std::move(req->path), size = req->size] {
    make_thumbnail(id, path, size);
  });
}
