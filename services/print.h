// Paper and PDF output of a window's page: PRINT, PRINT@, PDF and PDF@.
#pragma once

#include <memory>
#include <string>
#include <string_view>

// PDF id path and PDF@win id path.
struct PdfReq {
  std::string id;
  std::string path;    // wire-unescaped
  std::string window;  // empty: the main window
};

// PDF and PDF@ (the verb ends in a blank or in "@"); null when a required blank is missing.
std::unique_ptr<PdfReq> parse_pdf(std::string_view line, size_t after);
// PRINT (the main window: an empty id) and PRINT@win.
std::unique_ptr<std::string> parse_print(std::string_view line, size_t after);

std::string pdf_ok_json(std::string_view path);
std::string pdf_error_json(std::string_view error);

// The name a PDF is written under before it is renamed onto path: beside it, so that the rename
// stays within one file system, ending in the six X of a unique-name template.
std::string pdf_temp_template(std::string_view path);
