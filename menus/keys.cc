#include "menus/keys.h"

#include <unordered_map>

#include "wire/text.h"

Combo read_combo(std::string_view text) {
  Combo c;
  bool empty_part = false;
  int keys = 0;
  size_t start = 0;
  while (true) {
    size_t plus = text.find('+', start);
    std::string part = ascii_lower(text.substr(start, plus - start));
    if (part.empty()) {
      empty_part = true;
    } else if (part == "cmd" || part == "command" || part == "meta") {
      c.cmd = true;
    } else if (part == "ctrl" || part == "control") {
      c.ctrl = true;
    } else if (part == "alt" || part == "opt" || part == "option") {
      c.alt = true;
    } else if (part == "shift") {
      c.shift = true;
    } else if (part == "win" || part == "super") {
      c.win = true;
    } else {
      c.key = canonical_key(part);
      ++keys;
    }
    if (plus == std::string_view::npos) break;
    start = plus + 1;
  }
  c.valid = keys == 1 && !empty_part;
  if (!c.valid) c.key.clear();
  return c;
}

std::string canonical_key(std::string_view part) {
  static const std::unordered_map<std::string_view, std::string_view> kAliases = {
      {"'", "quote"},      {",", "comma"},          {"-", "minus"},       {".", "period"},
      {"/", "slash"},      {";", "semicolon"},      {"=", "equal"},       {"[", "bracketleft"},
      {"\\", "backslash"}, {"]", "bracketright"},   {"`", "grave"},       {"enter", "return"},
      {"esc", "escape"},   {"delete", "backspace"}, {"del", "backspace"}, {"apostrophe", "quote"},
      {"equals", "equal"}, {"backtick", "grave"},   {"pgup", "pageup"},   {"pgdn", "pagedown"},
  };
  auto it = kAliases.find(part);
  return std::string(it == kAliases.end() ? part : it->second);
}

long keysym_for(std::string_view name) {
  static const std::unordered_map<std::string_view, long> kTable = [] {
    std::unordered_map<std::string_view, long> t;
    static constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz";
    static constexpr std::string_view kDigits = "0123456789";
    // Letters and digits are their Latin-1 keysyms, the unshifted symbol of each key.
    for (size_t i = 0; i < kLetters.size(); ++i)
      t[kLetters.substr(i, 1)] = kLetters[i];
    for (size_t i = 0; i < kDigits.size(); ++i)
      t[kDigits.substr(i, 1)] = kDigits[i];
    static constexpr std::string_view kFunctionKeys[] = {
        "f1",  "f2",  "f3",  "f4",  "f5",  "f6",  "f7",  "f8",  "f9",  "f10",
        "f11", "f12", "f13", "f14", "f15", "f16", "f17", "f18", "f19", "f20"};
    for (size_t i = 0; i < std::size(kFunctionKeys); ++i)
      t[kFunctionKeys[i]] = 0xffbe + static_cast<long>(i);  // XK_F1 onwards
    const std::pair<std::string_view, long> named[] = {
        {"space", 0x20},        {"tab", 0xff09},       {"return", 0xff0d},
        {"enter", 0xff0d},      {"escape", 0xff1b},    {"esc", 0xff1b},
        {"left", 0xff51},       {"up", 0xff52},        {"right", 0xff53},
        {"down", 0xff54},       {"minus", 0x2d},       {"equal", 0x3d},
        {"comma", 0x2c},        {"period", 0x2e},      {"slash", 0x2f},
        {"semicolon", 0x3b},    {"quote", 0x27},       {"bracketleft", 0x5b},
        {"bracketright", 0x5d}, {"backslash", 0x5c},   {"grave", 0x60},
        {"delete", 0xff08},     {"backspace", 0xff08}, {"forwarddelete", 0xffff},
        {"home", 0xff50},       {"end", 0xff57},       {"pageup", 0xff55},
        {"pagedown", 0xff56},
    };
    for (const auto& [n, sym] : named)
      t[n] = sym;
    return t;
  }();
  auto it = kTable.find(name);
  return it == kTable.end() ? -1 : it->second;
}

uint32_t key_mods(const Combo& combo) {
  uint32_t mods = 0;
  if (combo.cmd || combo.ctrl) mods |= kControlMask;
  if (combo.alt) mods |= kMod1Mask;
  if (combo.shift) mods |= kShiftMask;
  if (combo.win) mods |= kMod4Mask;
  return mods;
}

std::vector<uint32_t> modifier_keysyms(const Combo& combo) {
  std::vector<uint32_t> syms;
  if (combo.cmd || combo.ctrl) syms.push_back(0xffe3);  // Control_L
  if (combo.alt) syms.push_back(0xffe9);                // Alt_L
  if (combo.shift) syms.push_back(0xffe1);              // Shift_L
  if (combo.win) syms.push_back(0xffeb);                // Super_L
  return syms;
}

std::vector<uint32_t> lock_variants(uint32_t num_lock, uint32_t scroll_lock) {
  std::vector<uint32_t> locks = {kLockMask};
  for (uint32_t mask : {num_lock, scroll_lock}) {
    bool known = false;
    for (uint32_t l : locks)
      known = known || (l & mask) == mask;
    if (mask && !known) locks.push_back(mask);
  }
  std::vector<uint32_t> variants;
  for (size_t set = 0; set < (size_t{1} << locks.size()); ++set) {
    uint32_t mods = 0;
    for (size_t i = 0; i < locks.size(); ++i)
      if (set & (size_t{1} << i)) mods |= locks[i];
    variants.push_back(mods);
  }
  return variants;
}
