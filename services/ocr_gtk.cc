// OCR on the image workers; several recognitions may run at once.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gmodule.h>

#include "services/capture_gtk.h"
#include "services/image_files_gdk.h"
#include "services/ocr_engine.h"
#include "services/thumb.h"
#include "services/work_queue.h"
#include "wire/link.h"

namespace {

// The recogniser from its module, loaded once for good; null when the module is missing.
OcrRecognise recogniser() {
  static const OcrRecognise loaded = [] {
    GCharPtr exe(g_file_read_link("/proc/self/exe", nullptr));
    if (!exe) return OcrRecognise{};
    GCharPtr folder(g_path_get_dirname(exe.get()));
    GCharPtr path(g_build_filename(folder.get(), "modules", "libkelojs_ocr.so", nullptr));
    GModule* module = g_module_open(path.get(), G_MODULE_BIND_LOCAL);
    gpointer symbol = nullptr;
    if (!module || !g_module_symbol(module, kOcrRecogniseSymbol, &symbol)) {
      std::fprintf(stderr, "launcher: text recognition is unavailable: %s\n", g_module_error());
      return OcrRecognise{};
    }
    g_module_make_resident(module);
    return reinterpret_cast<OcrRecognise>(symbol);
  }();
  return loaded;
}

void recognise(const std::string& id, const std::string& path) {
  int width = 0, height = 0;
  switch (probe_file(path, width, height)) {
    case FileKind::Missing:
      return capture_fail(id, no_such_file(path));
    case FileKind::Other:
      return capture_fail(id, "not an image: " + path);
    case FileKind::Image:
      break;
  }
  if (auto refused = ocr_size_error(width, height)) return capture_fail(id, *refused);
  std::string error;
  GRef<GdkPixbuf> image = load_image(path, width, height, error);
  if (!image) return capture_fail(id, error);
  OcrRecognise recognise_lines = recogniser();
  if (!recognise_lines) return capture_fail(id, kOcrFailed);
  GdkPixbuf* pixbuf = image.get();
  std::vector<OcrLine> lines;
  switch (recognise_lines(gdk_pixbuf_read_pixels(pixbuf), gdk_pixbuf_get_width(pixbuf),
                          gdk_pixbuf_get_height(pixbuf), gdk_pixbuf_get_n_channels(pixbuf),
                          gdk_pixbuf_get_rowstride(pixbuf), &lines)) {
    case OcrOutcome::NoData:
      return capture_fail(id, "no English data for text recognition (tesseract-ocr-eng)");
    case OcrOutcome::Failed:
      return capture_fail(id, kOcrFailed);
    case OcrOutcome::Done:
      break;
  }
  send_reply(id,
             ocr_reply_json(lines, gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf)));
}

}  // namespace

void do_ocr(webview_t, std::unique_ptr<OcrReq> req) {
  image_workers().post(
      [id = std::move(req->id), path = std::move(req->path)] { recognise(id, path); });
}
