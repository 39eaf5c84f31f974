#include "services/shell.h"

#include "wire/text.h"

namespace {

bool is_alpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The path of a file URL ("file:" + "//" + an empty or "localhost" host + path), or nothing
// for another URL.
bool file_url_path(std::string_view url, std::string& path) {
  if (ascii_lower(url.substr(0, 5)) != "file:") return false;
  std::string_view rest = url.substr(5);
  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    size_t slash = rest.find('/');
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
  }
  size_t end = rest.find_first_of("?#");
  path = percent_decode(rest.substr(0, end));
  return true;
}

}  // namespace

std::unique_ptr<ShellReq> parse_shell(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after), id;
  if (!take_token(rest, id)) return nullptr;
  size_t tab = rest.find('\t');
  auto req = std::make_unique<ShellReq>();
  req->id = id;
  req->op = rest.substr(0, tab);
  if (tab != std::string_view::npos) req->target = wire_unescape(rest.substr(tab + 1));
  return req;
}

bool is_url_text(std::string_view text) {
  size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || !is_alpha(text[0])) return false;
  for (size_t i = 1; i < colon; ++i) {
    char c = text[i];
    if (!is_alpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return false;
  }
  for (unsigned char c : text) {
    if (c <= ' ' || c >= 0x7F) return false;
  }
  return true;
}

ShellTarget shell_target(std::string_view target, std::string_view home, bool opening) {
  std::string path;
  if (is_url_text(target)) {
    if (opening) return {true, std::string(target)};
    if (file_url_path(target, path)) return {false, path};
  }
  if (target == "~" || target.starts_with("~/")) {
    return {false, std::string(home) + std::string(target.substr(1))};
  }
  return {false, std::string(target)};
}

std::string shell_reply(std::string_view error) {
  if (error.empty()) return R"({"ok":true,"error":null})";
  return "{\"ok\":false,\"error\":" + json_escape(error) + "}";
}
