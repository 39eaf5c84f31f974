// SPOTLIGHT: files of the user's home whose name (or, where the desktop indexes it, whose text)
// holds the query, ignoring case and accents.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// SPOTLIGHT id query (unescaped).
struct SpotlightReq {
  std::string id;
  std::string query;
};

std::unique_ptr<SpotlightReq> parse_spotlight(std::string_view line, size_t after);

// A search answers at most this many paths.
constexpr size_t kSpotlightLimit = 100;

// {"ok":true,"paths":[...]} with the first kSpotlightLimit paths.
std::string spotlight_reply(const std::vector<std::string>& paths);

// A search of file names by walking a folder, breadth first (the names of each folder in byte
// order), without entering hidden entries or following links to folders.
struct NameWalk {
  std::string root;
  std::string needle;                                 // already folded
  std::function<std::string(std::string_view)> fold;  // case and accents away
  size_t limit = kSpotlightLimit;
  std::chrono::steady_clock::time_point deadline;
};
// The paths of files and folders whose folded name holds the needle, stopping at the limit or
// the deadline.
std::vector<std::string> walk_names(const NameWalk& walk);

// The folded query as one phrase of the index's text search, matching words that begin with
// it: "text" *, with quotes doubled.
std::string text_search_phrase(std::string_view folded);
