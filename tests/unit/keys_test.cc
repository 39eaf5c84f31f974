// Key combinations, the hot-key registry and the key request lines.
#include <gtest/gtest.h>

#include <set>

#include "menus/hotkeys.h"
#include "menus/keys.h"

TEST(Keys, CombinationsNameOneKeyAndItsModifiers) {
  struct Case {
    const char* text;
    const char* key;  // "" when not valid
    uint32_t mods;
  };
  const Case cases[] = {
      {"cmd+shift+K", "k", kControlMask | kShiftMask},
      {"Command+Option+Space", "space", kControlMask | kMod1Mask},
      {"ctrl+alt+win+f5", "f5", kControlMask | kMod1Mask | kMod4Mask},
      {"f5", "f5", 0},
      {"super+,", "comma", kMod4Mask},
      {"cmd+pgdn", "pagedown", kControlMask},
      {"cmd+delete", "backspace", kControlMask},
      {"opt+esc", "escape", kMod1Mask},
      {"meta+`", "grave", kControlMask},
      {"cmd+k+l", "", kControlMask},
      {"cmd+shift", "", kControlMask | kShiftMask},
      {"cmd++", "", kControlMask},
      {"+a", "", 0},
      {"", "", 0},
  };
  for (const Case& c : cases) {
    Combo combo = read_combo(c.text);
    EXPECT_EQ(combo.key, c.key) << c.text;
    EXPECT_EQ(combo.valid, *c.key != 0) << c.text;
    EXPECT_EQ(key_mods(combo), c.mods) << c.text;
  }
  // Names that mean the same key.
  EXPECT_EQ(keysym_for(canonical_key("pgdn")), keysym_for("pagedown"));
  EXPECT_EQ(keysym_for("delete"), keysym_for("backspace"));
  EXPECT_EQ(keysym_for("foo"), -1);
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
  std::set<KeyGrab> foreign;  // held by another client
  int keycode(uint32_t keysym) override { return keysym == 0xffd1 ? 0 : int(keysym & 0xff); }
  bool grab(const KeyGrab& k) override { return !foreign.contains(k) && grabbed.insert(k).second; }
  void ungrab(const KeyGrab& k) override { grabbed.erase(k); }
};

const char* refused(const char* message) {
  static std::string text;
  text = std::string("{\"ok\":false,\"error\":\"") + message + "\"}";
  return text.c_str();
}

}  // namespace

TEST(Hotkeys, RegistrationRefusalAndReRegistration) {
  FakeSystem sys;
  HotkeyTable t;
  auto reg = [&](const char* name, const char* combo, const char* id = "1") {
    return t.apply(HotkeyReq{name, combo, id}, sys).value_or("<none>");
  };
  const KeyGrab ctrl_k{'k', kControlMask};
  EXPECT_EQ(reg("a", "cmd+k"), "{\"ok\":true}");
  EXPECT_TRUE(sys.grabbed.contains(ctrl_k));
  ASSERT_TRUE(t.fired('k', kControlMask | kLockMask | 16));  // locks do not count
  EXPECT_EQ(*t.fired('k', kControlMask), "a");
  EXPECT_FALSE(t.fired('k', kControlMask | kShiftMask));

  EXPECT_EQ(reg("b", "cmd+foo"), refused("unknown key"));
  EXPECT_EQ(reg("b", "cmd+k+l"), refused("needs exactly one key plus modifiers"));
  EXPECT_EQ(reg("b", "ctrl+k"), refused("the system refused it (already taken?)"));
  EXPECT_EQ(reg("b", "f20"), refused("the system refused it (already taken?)"));  // no such key
  sys.foreign.insert({'j', kMod1Mask});
  EXPECT_EQ(reg("b", "alt+j"), refused("the system refused it (already taken?)"));

  // A new combination replaces the old one; a refused one still drops it.
  EXPECT_EQ(reg("a", "shift+k", ""), "<none>");
  EXPECT_FALSE(sys.grabbed.contains(ctrl_k));
  EXPECT_EQ(*t.fired('k', kShiftMask), "a");
  EXPECT_EQ(reg("a", "alt+j"), refused("the system refused it (already taken?)"));
  EXPECT_TRUE(sys.grabbed.empty());
  EXPECT_FALSE(t.fired('k', kShiftMask));

  // An empty combination, and HKUNREG, only unregister.
  reg("c", "f5");
  EXPECT_EQ(reg("c", ""), "{\"ok\":true}");
  reg("c", "f5");
  EXPECT_EQ(t.apply(*parse_hkunreg("HKUNREG c", 8), sys), std::nullopt);
  EXPECT_TRUE(sys.grabbed.empty());
}

TEST(Hotkeys, RequestLines) {
  auto r = parse_hkreg("HKREG 7 name\tcmd+k\textra", 6);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->name + "|" + r->combination + "|" + r->request_id, "name|cmd+k|7");
  EXPECT_EQ(parse_hkreg("HKREG  n\t", 6)->request_id, "");
  EXPECT_FALSE(parse_hkreg("HKREG 7 name", 6));
  EXPECT_FALSE(parse_keystroke("KEYSTROKE k1", 10));
}
