// The text recogniser module: Tesseract with its English data.
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <memory>

#include "services/ocr_engine.h"

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

}  // namespace

extern "C" __attribute__((visibility("default"))) OcrOutcome kelo_ocr_recognise(
    const unsigned char* pixels, int width, int height, int channels, int stride,
    std::vector<OcrLine>* lines) {
  static_assert(std::is_same_v<decltype(&kelo_ocr_recognise), OcrRecognise>);
  tesseract::TessBaseAPI* api = engine();
  if (!api) return OcrOutcome::NoData;
  api->SetImage(pixels, width, height, channels, stride);
  api->SetSourceResolution(96);
  OcrOutcome outcome = OcrOutcome::Failed;
  if (api->Recognize(nullptr) == 0) {
    outcome = OcrOutcome::Done;
    std::unique_ptr<tesseract::ResultIterator> it(api->GetIterator());
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
  api->Clear();
  return outcome;
}
