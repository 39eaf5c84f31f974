// PRINT and PDF: a window's page on paper through the print dialog, or into a PDF file.
#pragma once

#include <memory>
#include <string>

#include "services/print.h"
#include "wire/main_queue.h"

// The print dialog for the window's page, modal for that window only; the wire keeps flowing
// while it is open. Nothing is reported back.
void do_print(webview_t w, std::unique_ptr<std::string> window_id);
// The window's page as a PDF file; answers once the file is in place or has failed.
void do_pdf(webview_t w, std::unique_ptr<PdfReq> req);
