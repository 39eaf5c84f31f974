#include "launcher/open_urls.h"

#include <cctype>

#include "launcher/read_access.h"
#include "wire/text.h"

namespace {

// RFC 3986 scheme followed by ":"; one letter alone is a drive, not a scheme.
size_t scheme_length(const std::string& s) {
  if (s.empty() || !std::isalpha(static_cast<unsigned char>(s[0]))) return 0;
  size_t i = 1;
  while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '+' ||
                          s[i] == '-' || s[i] == '.')) {
    ++i;
  }
  return (i < s.size() && s[i] == ':' && i > 1) ? i : 0;
}

bool iequals(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
  }
  return i == a.size() && !b[i];
}

}  // namespace

OpenItem classify_open_arg(const std::string& arg, const std::string& cwd) {
  size_t scheme = scheme_length(arg);
  if (scheme == 0) {
    std::string path = !arg.empty() && arg[0] == '/' ? arg : cwd + "/" + arg;
    return {true, standardize_path(path)};
  }
  if (!iequals(arg.substr(0, scheme), "file")) return {false, arg};
  std::string rest = arg.substr(scheme + 1);
  if (rest.compare(0, 2, "//") == 0) {
    size_t path_start = rest.find('/', 2);
    rest = path_start == std::string::npos ? "/" : rest.substr(path_start);
  }
  size_t cut = rest.find_first_of("?#");
  if (cut != std::string::npos) rest.resize(cut);
  return {true, percent_decode(rest)};
}

std::vector<std::string> open_event_lines(const std::vector<OpenItem>& items) {
  std::vector<std::string> lines;
  std::vector<std::string> files;
  for (const OpenItem& item : items) {
    if (item.is_file) {
      files.push_back(item.text);
    } else {
      lines.push_back("OPENURL " + item.text);
    }
  }
  if (!files.empty()) lines.push_back("OPENFILES " + json_string_array(files));
  return lines;
}
