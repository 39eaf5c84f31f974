#include "services/print.h"

#include "wire/text.h"

std::unique_ptr<PdfReq> parse_pdf(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after);
  // The head tokens end at a blank each; the path is the rest of the line.
  auto cut = [&rest](std::string& token) {
    size_t blank = rest.find(' ');
    if (blank == std::string_view::npos) return false;
    token = rest.substr(0, blank);
    rest.remove_prefix(blank + 1);
    return true;
  };
  auto req = std::make_unique<PdfReq>();
  bool at = after > 0 && line[after - 1] == '@';
  if ((at && !cut(req->window)) || !cut(req->id)) return nullptr;
  req->path = wire_unescape(rest);
  return req;
}

std::unique_ptr<std::string> parse_print(std::string_view line, size_t after) {
  // "PRINT" is exact; "PRINT@" carries the window id up to the end of the line.
  return std::make_unique<std::string>(line.substr(after));
}

std::string pdf_ok_json(std::string_view path) {
  return "{\"ok\":true,\"path\":" + json_escape(path) + ",\"error\":null}";
}

std::string pdf_error_json(std::string_view error) {
  return "{\"ok\":false,\"error\":" + json_escape(error) + "}";
}

std::string pdf_temp_template(std::string_view path) {
  return std::string(path) + ".kelojs-XXXXXX";
}
