#include "menus/hotkeys.h"

#include <cstdio>

#include "menus/keys.h"
#include "wire/text.h"

std::unique_ptr<HotkeyReq> parse_hkreg(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after), id;
  if (!take_token(rest, id)) return nullptr;
  std::vector<std::string> f = split_tabs(rest);
  if (f.size() < 2) return nullptr;
  return std::make_unique<HotkeyReq>(HotkeyReq{f[0], f[1], std::string(id)});
}

std::unique_ptr<HotkeyReq> parse_hkunreg(std::string_view line, size_t after) {
  return std::make_unique<HotkeyReq>(HotkeyReq{std::string(line.substr(after)), "", ""});
}

std::unique_ptr<KeystrokeReq> parse_keystroke(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after), id;
  if (!take_token(rest, id)) return nullptr;
  return std::make_unique<KeystrokeReq>(KeystrokeReq{std::string(id), std::string(rest)});
}

namespace {

constexpr const char* kUnknownKey = "unknown key";
constexpr const char* kNeedsOneKey = "needs exactly one key plus modifiers";
constexpr const char* kRefused = "the system refused it (already taken?)";

}  // namespace

std::string HotkeyTable::add(const std::string& name, const std::string& combination,
                             HotkeySystem& system) {
  Combo combo = read_combo(combination);
  long keysym = combo.valid ? keysym_for(combo.key) : -1;
  if (keysym < 0) return combo.valid ? kUnknownKey : kNeedsOneKey;
  KeyGrab key{system.keycode(static_cast<uint32_t>(keysym)), key_mods(combo)};
  unsigned id = ++next_id_;
  // The same key for a second name is refused, as a system with one registration per key
  // refuses it: sharing one grab would let either name's release drop the other.
  if (key.keycode == 0 || by_key_.contains(key) || !system.grab(key)) return kRefused;
  by_name_[name] = key;
  by_key_[key] = id;
  names_[id] = name;
  return {};
}

std::optional<std::string> HotkeyTable::apply(const HotkeyReq& req, HotkeySystem& system) {
  if (auto it = by_name_.find(req.name); it != by_name_.end()) {
    system.ungrab(it->second);
    names_.erase(by_key_[it->second]);
    by_key_.erase(it->second);
    by_name_.erase(it);
  }
  std::string refusal;
  if (!req.combination.empty()) refusal = add(req.name, req.combination, system);
  if (!refusal.empty()) {
    std::fprintf(stderr, "kelojs: hotkey \"%s\" not registered: %s\n", req.combination.c_str(),
                 refusal.c_str());
  }
  if (req.request_id.empty()) return std::nullopt;
  return refusal.empty() ? "{\"ok\":true}"
                         : "{\"ok\":false,\"error\":" + json_escape(refusal) + "}";
}

const std::string* HotkeyTable::fired(int keycode, uint32_t mods) const {
  auto it = by_key_.find(KeyGrab{keycode, mods & kComboMods});
  return it == by_key_.end() ? nullptr : &names_.at(it->second);
}

std::string keystroke_answer(bool ok, bool trusted) {
  return std::string("{\"ok\":") + (ok ? "true" : "false") +
         ",\"trusted\":" + (trusted ? "true" : "false") + "}";
}
