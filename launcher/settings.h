// The settings block: start-up settings from the environment and the bundle's property list.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One value of the bundle's property list, as far as settings need it.
struct PlistValue {
  enum class Kind { Missing, Bool, Integer, Real, String, Other } kind = Kind::Missing;
  bool b = false;
  int64_t i = 0;
  double r = 0;
  std::string s;
};

// Where settings come from. env answers null for an unset variable.
struct SettingsInput {
  std::function<const char*(const char*)> env;
  std::function<PlistValue(const char*)> plist;
  // Contents of a file, or nothing when it cannot be read.
  std::function<std::optional<std::string>(const std::string&)> read_file;
  std::string bundle_path;  // main bundle folder; empty when there is none
  std::string home;         // for tilde expansion
};

struct Settings {
  bool accessory = false;
  bool defer_show = false;  // asked for; ignored in accessory mode
  bool panel = false;
  std::string read_access;  // tilde-expanded
  std::string user_agent;
  bool debug = false;
  bool debug_open = false;
  std::string inject_js;
  std::string downloads;
  std::string popups;
  std::vector<std::pair<std::string, std::string>> media_origins;
  std::string icon;    // KELOJS_ICON, else the bundle's CFBundleIconFile in Contents/Resources
  std::string chrome;  // the main window's chrome fields, tab-separated (bundle only)
  std::string ai_url;  // base URL of a chat-completions model server; empty: no model
};

// The boolean reading of a property-list value: true, a non-zero number, or a string whose
// first significant character is Y, y, T, t or a digit 1 to 9.
bool plist_bool(const PlistValue& v);
// The string value, or empty when the key is missing or not a string.
std::string plist_string(const PlistValue& v);

Settings read_settings(const SettingsInput& in);

// Attribution text for the About panel: env when non-empty, else the property list.
std::string read_attribution(const SettingsInput& in);

// "WxH" read with "%dx%d" into width and height, which keep their values where the text does
// not provide them.
void parse_window_size(const std::string& text, int& width, int& height);

// Newline-separated lines, each split at its first blank; lines without a blank are ignored.
std::vector<std::pair<std::string, std::string>> parse_media_origins(const std::string& text);

// "~" and "~/..." become the home folder; "~user/..." that user's home.
std::string expand_tilde(const std::string& path, const std::string& home);
