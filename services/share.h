// SHARE: what the backend offers to share from a point of a window.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct ShareReq {
  std::string win = "main";
  int x = 0;
  int y = 0;
  std::string text;
  std::string url;
  std::vector<std::string> paths;  // empty ones skipped
};
std::unique_ptr<ShareReq> parse_share(std::string_view line, size_t after);

// A mail with the text and the URL as its body.
std::string share_mailto(std::string_view text, std::string_view url);
