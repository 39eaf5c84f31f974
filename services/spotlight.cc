#include "services/spotlight.h"

#include <algorithm>
#include <deque>
#include <filesystem>

#include "services/request_head.h"
#include "wire/text.h"

namespace fs = std::filesystem;

std::unique_ptr<SpotlightReq> parse_spotlight(std::string_view line, size_t after) {
  auto head = split_request_head(line, after);
  if (!head) return nullptr;
  return std::make_unique<SpotlightReq>(
      SpotlightReq{std::move(head->id), wire_unescape(head->rest)});
}

std::string spotlight_reply(const std::vector<std::string>& paths) {
  size_t n = std::min(paths.size(), kSpotlightLimit);
  return "{\"ok\":true,\"paths\":" +
         json_string_array(std::vector<std::string>(paths.begin(), paths.begin() + n)) + "}";
}

std::vector<std::string> walk_names(const NameWalk& walk) {
  std::vector<std::string> found;
  std::deque<fs::path> folders{fs::path(walk.root)};
  while (!folders.empty() && found.size() < walk.limit) {
    fs::path folder = std::move(folders.front());
    folders.pop_front();
    std::error_code ec;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    std::vector<fs::directory_entry> entries;
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
      if (it->path().filename().string().starts_with('.')) continue;
      entries.push_back(*it);
    }
    std::sort(entries.begin(), entries.end());
    for (const fs::directory_entry& entry : entries) {
      if (std::chrono::steady_clock::now() >= walk.deadline) return found;
      std::string name = entry.path().filename().string();
      if (walk.fold(name).find(walk.needle) != std::string::npos) {
        found.push_back(entry.path().string());
        if (found.size() >= walk.limit) return found;
      }
      std::error_code type_ec;
      if (entry.is_directory(type_ec) && !entry.is_symlink(type_ec))
        folders.push_back(entry.path());
    }
  }
  return found;
}

std::string text_search_phrase(std::string_view folded) {
  std::string out = "\"";
  for (char c : folded) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\" *";
}
