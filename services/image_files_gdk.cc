#include "services/image_files_gdk.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib/gstdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/gobj.h"
#include "services/capture.h"
#include "wire/link.h"

namespace {

bool write_png(GdkPixbuf* image, const std::string& path) {
  gchar* data = nullptr;
  gsize size = 0;
  if (!gdk_pixbuf_save_to_buffer(image, &data, &size, "png", nullptr, nullptr)) return false;
  GCharPtr owned(data);
  // g_file_set_contents writes a temporary file beside the target and renames it.
  return g_file_set_contents(path.c_str(), data, static_cast<gssize>(size), nullptr);
}

}  // namespace

void reply_with_png(const std::string& id, std::string_view kind, GdkPixbuf* image) {
  std::string path = temp_png_path(g_get_tmp_dir(), kind, static_cast<long>(getpid()), id);
  if (!write_png(image, path)) {
    capture_fail(id, kPngWriteFailed);
    return;
  }
  send_reply(id, image_reply_json(path, gdk_pixbuf_get_width(image), gdk_pixbuf_get_height(image)));
}

FileKind probe_file(const std::string& path, int& width, int& height) {
  GStatBuf st;
  if (g_stat(path.c_str(), &st) != 0) return FileKind::Missing;
  if (!S_ISREG(st.st_mode)) return FileKind::Other;
  return gdk_pixbuf_get_file_info(path.c_str(), &width, &height) ? FileKind::Image
                                                                 : FileKind::Other;
}

GRef<GdkPixbuf> load_image(const std::string& path, int width, int height, std::string& error) {
  GError* err = nullptr;
  auto stored =
      GRef<GdkPixbuf>::adopt(gdk_pixbuf_new_from_file_at_size(path.c_str(), width, height, &err));
  if (!stored) {
    error = err && err->message ? err->message : "cannot read the image";
    g_clear_error(&err);
    return {};
  }
  return GRef<GdkPixbuf>::adopt(gdk_pixbuf_apply_embedded_orientation(stored.get()));
}
