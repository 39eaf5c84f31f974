// Global hot keys (HKREG, HKUNREG, the HOTKEY event) and synthetic keystrokes (KEYSTROKE): the
// request lines, the registry of names and the decisions, apart from the system that grabs
// and types the keys.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

struct HotkeyReq {
  std::string name;
  std::string combination;  // empty: only unregister the name
  std::string request_id;   // empty: no answer wanted
};

struct KeystrokeReq {
  std::string request_id;
  std::string combination;
};

// "HKREG <id> <name>TAB<combination>"; null without the blank after the id or the tab.
std::unique_ptr<HotkeyReq> parse_hkreg(std::string_view line, size_t after);
// "HKUNREG <name>".
std::unique_ptr<HotkeyReq> parse_hkunreg(std::string_view line, size_t after);
// "KEYSTROKE <id> <combination>"; null without the blank after the id.
std::unique_ptr<KeystrokeReq> parse_keystroke(std::string_view line, size_t after);

// A key as the system grabs it: the keyboard's key code and the modifier mask.
struct KeyGrab {
  int keycode = 0;
  uint32_t mods = 0;
  auto operator<=>(const KeyGrab&) const = default;
};

// The system's side of hot keys.
class HotkeySystem {
 public:
  virtual ~HotkeySystem() = default;
  // The key code of a keysym on this keyboard; 0 when it has no such key.
  virtual int keycode(uint32_t keysym) = 0;
  // Grabs the key system-wide; false when the system refuses (another client holds it).
  virtual bool grab(const KeyGrab& key) = 0;
  virtual void ungrab(const KeyGrab& key) = 0;
};

// The registered hot keys by name, and by key for the key presses. Main thread.
class HotkeyTable {
 public:
  // HKREG and HKUNREG: drops the name's binding first (also when the new combination is then
  // refused), then registers the combination, if any. Refusals go to standard error. Returns
  // the answer when the request wants one.
  std::optional<std::string> apply(const HotkeyReq& req, HotkeySystem& system);

  // The name a press of this key fires (modifiers outside kComboMods ignored), or null.
  const std::string* fired(int keycode, uint32_t mods) const;

  size_t size() const { return by_name_.size(); }

 private:
  // The refusal message, or empty when registered.
  std::string add(const std::string& name, const std::string& combination, HotkeySystem& system);

  std::map<std::string, KeyGrab> by_name_;
  std::map<KeyGrab, unsigned> by_key_;     // the registration id holding the key
  std::map<unsigned, std::string> names_;  // registration id -> name
  unsigned next_id_ = 0;  // one more for every registration the system is asked for
};

// The answer to KEYSTROKE: {"ok":...,"trusted":...}.
std::string keystroke_answer(bool ok, bool trusted);
