// SOUND: event sounds by name, sound files, and the beep.
#pragma once

#include <memory>
#include <string>
#include <string_view>

struct SoundReq {
  std::string id;
  std::string name;  // unescaped from the wire; empty: the beep
};
std::unique_ptr<SoundReq> parse_sound(std::string_view line, size_t after);

// The sound-theme name for a name the backend gives: the classic alert names (Basso, Glass,
// Ping, ...) become the nearest sounds of the freedesktop theme; other names stay.
std::string_view theme_sound_name(std::string_view name);

// {"ok":true}
std::string sound_reply(bool ok);
