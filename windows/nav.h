// Navigation and popup rules: which navigations the backend is asked about, what its answers
// mean, and the NAVQ, NAV, POPUPQ and POPUP lines.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// True for the schemes the web view shows itself (http, https, file, about, data, blob,
// javascript, kelo-media, in any case) and for a URL without a scheme (no ":" after at least
// one character).
bool is_own_scheme(std::string_view url);

// What happens to a navigation that is not a request for a new window.
enum class NavPolicy {
  Allow,     // at once
  Cancel,    // at once
  AskAllow,  // NAVQ; allowed when the backend does not answer in time
  AskDeny,   // NAVQ; cancelled when the backend does not answer in time
};
NavPolicy nav_policy(std::string_view url, bool main_frame, bool connected);

// Answers to a navigation question.
enum NavAnswer : int { kNavAllow = 0, kNavDeny = 1, kNavExternal = 2 };
// "deny" and "external"; any other text allows.
int navr_answer(std::string_view text);

struct NavOutcome {
  bool allow = false;          // else the navigation is cancelled
  bool open_external = false;  // open the URL with the desktop's handler first
};
// Only an own-scheme navigation can go ahead; any navigation may be sent to the desktop.
NavOutcome nav_outcome(bool own_scheme, int answer);

// "NAVQ <id> <win>\t<url>\tmain" or "...\tsub".
std::string navq_line(std::string_view id, std::string_view win, std::string_view url,
                      bool main_frame);

// Navigation progress is reported for web and file addresses, about:blank and the empty URL.
bool nav_event_wanted(std::string_view url);
// NAV {"window":W,"kind":"K","url":U} with ,"error":E when the error is not empty.
std::string nav_event(std::string_view win, std::string_view kind, std::string_view url,
                      std::string_view error = {});

// The popup policy as it applies to a page's window request: "external" when empty.
std::string popup_policy(std::string_view mode);
// The default for a link that targets a new window: "deny" when the mode is exactly "deny",
// else "external".
std::string new_window_default(std::string_view mode);
// The outcome of a popup question: the answer when it is "external" or "deny", else the
// default.
std::string popup_outcome(std::string_view answer, std::string_view fallback);

// "POPUPQ <id> <popup>\t<opener>\t<url>\t<default>"; an empty popup id is written "-".
std::string popupq_line(std::string_view id, std::string_view popup, std::string_view opener,
                        std::string_view url, std::string_view fallback);
// POPUP {"window":W,"url":U,"action":"A"}, W null when no window was made.
std::string popup_event(const std::optional<std::string>& window, std::string_view url,
                        std::string_view action);

// "popup" + the next number of seq whose name is not taken.
std::string next_popup_name(uint64_t& seq, const std::function<bool(const std::string&)>& taken);

// The content size of a popup from the page's window features: a width below 120 becomes 900,
// a height below 90 becomes 600.
struct PopupSize {
  int width;
  int height;
};
PopupSize popup_size(int width, int height);
