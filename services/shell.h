// SHELL: open, reveal and trash files and URLs.
#pragma once

#include <memory>
#include <string>
#include <string_view>

struct ShellReq {
  std::string id;
  std::string op;
  std::string target;  // unescaped from the wire
};
std::unique_ptr<ShellReq> parse_shell(std::string_view line, size_t after);

// A URL as the launcher accepts one: a scheme (a letter, then letters, digits, "+", "-" or
// ".") and a colon, and nothing but printable ASCII without blanks.
bool is_url_text(std::string_view text);

// How a target is read: a URL when opening; else a path, with a leading "~" expanded. A file
// URL gives its path for the other operations.
struct ShellTarget {
  bool url = false;
  std::string text;  // the URL or the path
};
ShellTarget shell_target(std::string_view target, std::string_view home, bool opening);

// {"ok":true,"error":null}, or with the error text.
std::string shell_reply(std::string_view error);
