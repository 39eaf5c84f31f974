// Key combinations ("cmd+shift+k") and the key-name table shared by global hot keys and
// synthetic keystrokes. Keys are X keysyms and modifiers X modifier masks: the values are the
// X protocol's own, so nothing here needs the X headers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct Combo {
  bool cmd = false;
  bool ctrl = false;
  bool alt = false;
  bool shift = false;
  bool win = false;
  std::string key;     // the canonical key name; empty when the combination is not valid
  bool valid = false;  // exactly one key and no empty part
};

// Cut at every "+", parts lower-cased (A-Z only). "cmd"/"command"/"meta", "ctrl"/"control",
// "alt"/"opt"/"option", "shift" and "win"/"super" are modifiers; any other part is the key
// (through canonical_key; a later key replaces an earlier one). Valid exactly when one key was
// given and no part is empty, so "+" itself can never be the key.
Combo read_combo(std::string_view text);

// The table's name of a key part: punctuation characters get their names ("," -> comma) and
// a few aliases their canonical name ("esc" -> escape, "delete"/"del" -> backspace,
// "enter" -> return, "pgdn" -> pagedown...); everything else stays as it is.
std::string canonical_key(std::string_view part);

// The X keysym of a key name of the table (84 names: letters, digits, F1-F20, arrows, editing
// and punctuation keys); -1 for a name the table does not hold.
long keysym_for(std::string_view name);

// X modifier masks.
inline constexpr uint32_t kShiftMask = 1 << 0;
inline constexpr uint32_t kLockMask = 1 << 1;
inline constexpr uint32_t kControlMask = 1 << 2;
inline constexpr uint32_t kMod1Mask = 1 << 3;  // Alt
inline constexpr uint32_t kMod4Mask = 1 << 6;  // Super
// The modifiers a combination can name; a key event's other bits (locks) do not count.
inline constexpr uint32_t kComboMods = kShiftMask | kControlMask | kMod1Mask | kMod4Mask;

// The combination's modifiers as X presses them: Command and Control are Control (the
// primary modifier here), Option is Alt (Mod1), Shift is Shift, win is Super (Mod4).
uint32_t key_mods(const Combo& combo);

// The keysyms of the modifier keys a keystroke holds down, in the order they go down.
std::vector<uint32_t> modifier_keysyms(const Combo& combo);

// Every combination of the lock modifiers (Caps Lock, and the Num Lock and Scroll Lock masks
// of this keyboard, 0 when it has none), no lock first: a grab made once for each variant
// works whatever lock is on.
std::vector<uint32_t> lock_variants(uint32_t num_lock, uint32_t scroll_lock);
