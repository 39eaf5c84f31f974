// Find in page: FIND steps to the next or previous occurrence of a text and counts them all;
// STOPFIND clears the selection.
#pragma once

#include <memory>
#include <string>
#include <string_view>

struct FindReq {
  std::string callref;  // a page call id, or "q" + digits
  std::string text;     // as received, not unescaped
  bool forward = true;
  bool case_sensitive = false;
};

// "FIND <callref> <text>[TAB forward[TAB case]]"; null without the blank after the reference.
std::unique_ptr<FindReq> parse_find(std::string_view line, size_t after);
// "STOPFIND <callref>".
std::unique_ptr<std::string> parse_stopfind(std::string_view line, size_t after);

// The window a call reference speaks for: the text before its first colon, else "main".
std::string callref_window(std::string_view callref);

// The answer when there is no page to search or nothing to search for.
constexpr const char* kFindNothing = "{\"found\":false}";

// The page script of one FIND: the page's own find selects the next occurrence (wrapping at
// the ends), then every occurrence in the visible text is counted. It evaluates to the answer
// record as JSON text.
std::string find_script(const FindReq& req);
