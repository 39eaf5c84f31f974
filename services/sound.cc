#include "services/sound.h"

#include <utility>

#include "wire/text.h"

std::unique_ptr<SoundReq> parse_sound(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after), id;
  if (!take_token(rest, id)) return std::make_unique<SoundReq>(SoundReq{std::string(rest), ""});
  return std::make_unique<SoundReq>(SoundReq{std::string(id), wire_unescape(rest)});
}

std::string_view theme_sound_name(std::string_view name) {
  static constexpr std::pair<std::string_view, std::string_view> kAlerts[] = {
      {"Basso", "dialog-error"},
      {"Blow", "message"},
      {"Bottle", "message-new-instant"},
      {"Frog", "window-question"},
      {"Funk", "dialog-warning"},
      {"Glass", "complete"},
      {"Hero", "service-login"},
      {"Morse", "window-attention"},
      {"Ping", "bell"},
      {"Pop", "audio-volume-change"},
      {"Purr", "dialog-information"},
      {"Sosumi", "suspend-error"},
      {"Submarine", "phone-incoming-call"},
      {"Tink", "device-added"},
  };
  for (const auto& [alert, theme] : kAlerts) {
    if (alert == name) return theme;
  }
  return name;
}

std::string sound_reply(bool ok) {
  return ok ? R"({"ok":true})" : R"({"ok":false})";
}
