// POWER: keeping the machine, and with it the display, awake.
#pragma once

#include <memory>
#include <string>
#include <string_view>

struct PowerReq {
  std::string id;
  std::string reason;  // unescaped from the wire
  bool on = false;
  bool display = false;
};
std::unique_ptr<PowerReq> parse_power(std::string_view line, size_t after);

// The name the desktop shows for the assertion: the reason, or "kelojs app".
std::string power_reason(std::string_view reason);
// {"ok":true,"active":false}
std::string power_reply(bool ok, bool active);
