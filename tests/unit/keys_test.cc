// Key combinations, the hot-key registry and the key request lines.
#include <gtest/gtest.h>

#include <set>

#include "menus/hotkeys.h"
#include "menus/keys.h"
#include "wire/text.h"

TEST(Keys, CombinationsNameOneKeyAndItsModifiers) {
  // Text -> key (empty: not valid), then the modifiers: C(ontrol) A(lt) S(hift) W(in).
  const std::string cases =
      "cmd+shift+K -> k CS\tCommand+Option+Space -> space CA\tctrl+alt+win+f5 -> f5 CAW\t"
      "f5 -> f5 \tsuper+, -> comma W\tcmd+pgdn -> pagedown C\tcmd+delete -> backspace C\t"
      "opt+esc -> escape A\tmeta+` -> grave C\tcmd+k+l ->  C\tcmd+shift ->  CS\tcmd++ ->  C\t"
      "+a ->  \t ->  ";
  for (std::string_view c : split_tabs(cases)) {
    std::string_view text = c.substr(0, c.find(" -> ")), want = c.substr(c.find(" -> ") + 4);
    Combo combo = read_combo(text);
    uint32_t m = key_mods(combo);
    std::string got = combo.key + " " + (m & kControlMask ? "C" : "") + (m & kMod1Mask ? "A" : "") +
                      (m & kShiftMask ? "S" : "") + (m & kMod4Mask ? "W" : "");
    EXPECT_EQ(got, want) << text;
    EXPECT_EQ(combo.valid, !combo.key.empty()) << text;
  }
  // Names that mean the same key.
  EXPECT_EQ(keysym_for(canonical_key("pgdn")), keysym_for("pagedown"));
  EXPECT_EQ(keysym_for("delete"), keysym_for("backspace"));
}

TEST(Keys, LockVariantsCoverEveryLockOnOrOff) {
  auto as_set = [](std::vector<uint32_t> v) { return std::set<uint32_t>(v.begin(), v.end()); };
  EXPECT_EQ(as_set(lock_variants(1 << 4, 1 << 7)),
            (std::set<uint32_t>{0, 2, 16, 18, 128, 130, 144, 146}));
  EXPECT_EQ(lock_variants(1 << 4, 0).size(), 4u);
  EXPECT_EQ(lock_variants(1 << 4, 1 << 4).size(), 4u);  // one modifier for both locks
  EXPECT_EQ(lock_variants(0, 0), (std::vector<uint32_t>{0, kLockMask}));
}

namespace {

struct FakeSystem : HotkeySystem {
  std::set<KeyGrab> grabbed;
  int keycode(uint32_t keysym) override { return keysym == 0xffd1 ? 0 : int(keysym & 0xff); }
  bool grab(const KeyGrab& k) override { return k.mods != kMod1Mask && grabbed.insert(k).second; }
  void ungrab(const KeyGrab& k) override { grabbed.erase(k); }
};

}  // namespace

TEST(Hotkeys, RegistrationRefusalAndReRegistration) {
  FakeSystem sys;  // alt+<key> is another client's
  HotkeyTable t;
  auto reg = [&](const char* name, const char* combo, const char* id = "1") {
    std::string a = t.apply(HotkeyReq{name, combo, id}, sys).value_or("<none>");
    return a.starts_with("{\"ok\":false,\"error\":\"") ? a.substr(21, a.size() - 23) : a;
  };
  EXPECT_EQ(reg("a", "cmd+k"), "{\"ok\":true}");
  ASSERT_TRUE(t.fired('k', kControlMask | kLockMask | 16));  // locks do not count
  EXPECT_EQ(*t.fired('k', kControlMask), "a");
  EXPECT_FALSE(t.fired('k', kControlMask | kShiftMask));
  EXPECT_EQ(reg("b", "cmd+foo"), "unknown key");
  EXPECT_EQ(reg("b", "cmd+k+l"), "needs exactly one key plus modifiers");
  const char* kRefused = "the system refused it (already taken?)";
  EXPECT_EQ(reg("b", "ctrl+k"), kRefused);  // held by "a"
  EXPECT_EQ(reg("b", "f20"), kRefused);     // not on this keyboard
  EXPECT_EQ(reg("b", "alt+j"), kRefused);

  // A new combination replaces the old one; a refused one still drops it.
  EXPECT_EQ(reg("a", "shift+k", ""), "<none>");
  EXPECT_EQ(*t.fired('k', kShiftMask), "a");
  EXPECT_EQ(reg("a", "alt+j"), kRefused);
  EXPECT_TRUE(sys.grabbed.empty());
  EXPECT_FALSE(t.fired('k', kShiftMask));

  // An empty combination, and HKUNREG, only unregister.
  reg("c", "f5");
  EXPECT_EQ(reg("c", ""), "{\"ok\":true}");
  reg("c", "f5");
  EXPECT_EQ(t.apply(*parse_hkunreg("HKUNREG c", 8), sys), std::nullopt);
  EXPECT_TRUE(sys.grabbed.empty());
  EXPECT_FALSE(parse_hkreg("HKREG 7 name", 6));
  EXPECT_FALSE(parse_keystroke("KEYSTROKE k1", 10));
}
