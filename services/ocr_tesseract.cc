// OCR: Tesseract with its English data, on the image workers; several recognitions may run at
// once, each worker thread with an engine of its own.
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <optional>

#include "services/capture_gtk.h"
#include "services/image_files_gdk.h"
#include "services/thumb.h"
#include "services/work_queue.h"
#include "wire/link.h"

namespace {

// The calling thread's engine, made on first use; null when the English data cannot be loaded.
tesseract::TessBaseAPI* engine() {
  thread_local std::unique_ptr<tesseract::TessBaseAPI> api;
  thread_local bool tried = false;
  if (!tried) {
    tried = true;
    auto made = std::make_unique<tesseract::TessBaseAPI>();
    // The engine's own diagnostics stay off the launcher's standard error.
    made->SetVariable("debug_file", "/dev/null");
    if (made->Init(nullptr, "eng") == 0) api = std::move(made);
  }
  return api.get();
}

// The lines found in the image, or nothing when recognition fails.
std::optional<std::vector<OcrLine>> recognise_lines(tesseract::TessBaseAPI& api, GdkPixbuf* image) {
  api.SetImage(gdk_pixbuf_read_pixels(image), gdk_pixbuf_get_width(image),
               gdk_pixbuf_get_height(image), gdk_pixbuf_get_n_channels(image),
               gdk_pixbuf_get_rowstride(image));
  api.SetSourceResolution(96);
  std::optional<std::vector<OcrLine>> lines;
  if (api.Recognize(nullptr) == 0) {
    lines.emplace();
    std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    constexpr auto kLine = tesseract::RIL_TEXTLINE;
    if (it && !it->Empty(kLine)) {
      do {
        std::unique_ptr<char[]> text(it->GetUTF8Text(kLine));
        OcrLine line;
        line.text = text ? text.get() : "";
        line.confidence = it->Confidence(kLine);
        it->BoundingBox(kLine, &line.left, &line.top, &line.right, &line.bottom);
        lines->push_back(std::move(line));
      } while (it->Next(kLine));
    }
  }
  api.Clear();
  return lines;
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
  tesseract::TessBaseAPI* api = engine();
  if (!api) return capture_fail(id, "no English data for text recognition (tesseract-ocr-eng)");
  auto lines = recognise_lines(*api, image.get());
  if (!lines) return capture_fail(id, kOcrFailed);
  send_reply(id, ocr_reply_json(*lines, gdk_pixbuf_get_width(image.get()),
                                gdk_pixbuf_get_height(image.get())));
}

}  // namespace

void do_ocr(webview_t, std::unique_ptr<OcrReq> req) {
  image_workers().post(
      [id = std::move(req->id), path = std::move(req->path)] { recognise(id, path); });
}
