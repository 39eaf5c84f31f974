// Window state reports and the system's locale, as the backend receives them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct WinState {
  bool fullscreen = false;
  bool maximized = false;  // only when not full screen and resizable
  bool minimized = false;
  bool focused = false;
  uint32_t screen_id = 0;
};

// {"fullscreen":..,"maximized":..,"minimized":..,"focused":..,"screenId":..}
std::string winstate_json(const WinState& s);

// The last state text sent per window id; a state equal to the last one is not sent again.
class WinStateMemo {
 public:
  // The WINSTATE line to write, or nothing when the state did not change.
  std::optional<std::string> update(const std::string& id, const WinState& state);
  void forget(const std::string& id) { last_.erase(id); }

 private:
  std::map<std::string, std::string> last_;
};

struct LocaleInfo {
  std::vector<std::string> languages;              // preferred languages, most wanted first
  std::optional<std::vector<std::string>> system;  // the system's list, when it has one
  std::optional<std::string> region;               // country code
  std::string time_zone;
};

// {"language":..,"languages":[..],"system":[..],"region":..,"timeZone":..}
std::string locale_json(const LocaleInfo& info);

// Preferred languages from the POSIX locale variables: LANGUAGE's colon list, else the first
// of LC_ALL, LC_MESSAGES, LANG; "C" and "POSIX" mean none. Tags use "-" ("pt_BR" gives
// "pt-BR"); the encoding and modifier are dropped.
std::vector<std::string> languages_from_env(const char* language, const char* lc_all,
                                            const char* lc_messages, const char* lang);
// The country of a locale name such as "de_AT.UTF-8", or nothing.
std::optional<std::string> region_from_locale(const char* locale);
