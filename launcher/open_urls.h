// Files and URLs the desktop asks the app to open.
#pragma once

#include <string>
#include <vector>

struct OpenItem {
  bool is_file = false;
  std::string text;  // a file path, or a URL's absolute text
};

// A command-line argument as an opened item: a URL with a scheme (file: URLs become their
// path), otherwise a file path made absolute against cwd.
OpenItem classify_open_arg(const std::string& arg, const std::string& cwd);

// The event lines for one list: "OPENURL " + url for each non-file URL in order, then one
// "OPENFILES " + JSON array of the paths when there are any.
std::vector<std::string> open_event_lines(const std::vector<OpenItem>& items);
