// Handlers of the image services: screenshots, recordings, text recognition, thumbnails, the
// colour picker and the file preview.
#pragma once

#include <memory>
#include <string>

#include "services/capture.h"
#include "services/ocr.h"
#include "services/quicklook.h"
#include "services/record.h"
#include "services/thumb.h"
#include "wire/main_queue.h"

void do_capture(webview_t w, std::unique_ptr<CaptureReq> req);
void do_record(webview_t w, std::unique_ptr<RecordReq> req);
void do_ocr(webview_t w, std::unique_ptr<OcrReq> req);
void do_thumb(webview_t w, std::unique_ptr<ThumbReq> req);
void do_pickcolor(webview_t w, std::unique_ptr<std::string> id);
void do_quicklook(webview_t w, std::unique_ptr<QLReq> req);
// At exit: finishes the file of a recording still running (waits at most a little over 15 s).
void kelo_record_shutdown();
