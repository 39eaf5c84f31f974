// The page bridge's texts: the per-window bootstrap script, CALL lines from page messages, and
// the scripts that settle a page's calls.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The bootstrap script of one window: numbers page calls, posts them to the "kelo" handler and
// keeps their promises until __keloResolve settles them. Runs once per document.
std::string kelo_shim_js(std::string_view win_id);

// A page message, as the engine vouches for it.
struct PageMessage {
  std::string_view body;    // the posted string
  bool subframe = false;    // posted by a frame other than the main frame
  std::string_view origin;  // the posting frame's origin text ("null" when it has none)
};

// The CALL line for a message of window win_id, or nothing when the body is not
// "<1 to 15 digits>:<payload>".
std::optional<std::string> build_call_line(std::string_view win_id, const PageMessage& msg);

// Where a RET goes.
struct ReplyTarget {
  enum class Kind { Ignore, Loopback, Page } kind = Kind::Ignore;
  std::string id;      // Loopback: the request id (digits); Page: the window id
  std::string number;  // Page: the call number
};
ReplyTarget parse_reply_target(std::string_view call_id);

// "window.__keloResolve(<number>,<true|false>,<json as a string literal>)".
std::string resolve_script(std::string_view number, bool ok, std::string_view json);
