// LOGIN: starting the app when the user logs in, through an XDG autostart entry.
#pragma once

#include <memory>
#include <string>
#include <string_view>

struct LoginReq {
  std::string id;
  int action = -1;  // 1 enable, 0 disable, -1 only report
};
std::unique_ptr<LoginReq> parse_login(std::string_view line, size_t after);

// The reply of a run without a bundle identifier.
inline constexpr std::string_view kLoginUnsupported =
    R"({"status":"unsupported","ok":false,"error":null})";
// {"status":"enabled","ok":true,"error":null}; an empty error is null.
std::string login_reply(bool enabled, std::string_view error);

// The autostart entry that starts the app as the desktop does ("<exe> --open").
std::string autostart_entry(std::string_view app_name, std::string_view exe);
// Whether an autostart entry starts the app: not when it is hidden or switched off.
bool autostart_enabled(std::string_view entry);
