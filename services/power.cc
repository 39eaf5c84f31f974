#include "services/power.h"

#include <vector>

#include "wire/text.h"

std::unique_ptr<PowerReq> parse_power(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after), id;
  if (!take_token(rest, id)) return nullptr;
  std::vector<std::string> f = split_tabs(rest);
  f.resize(3);
  return std::make_unique<PowerReq>(
      PowerReq{std::string(id), wire_unescape(f[2]), f[0] == "on", f[1] == "1"});
}

std::string power_reason(std::string_view reason) {
  return reason.empty() ? "kelojs app" : std::string(reason);
}

std::string power_reply(bool ok, bool active) {
  return std::string("{\"ok\":") + (ok ? "true" : "false") +
         ",\"active\":" + (active ? "true" : "false") + "}";
}
