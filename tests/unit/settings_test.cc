#include <gtest/gtest.h>

#include <map>

#include "launcher/settings.h"

namespace {

struct Sources {
  std::map<std::string, std::string> env;
  std::map<std::string, PlistValue> plist;
  std::map<std::string, std::string> files;

  SettingsInput input() {
    SettingsInput in;
    in.env = [this](const char* k) -> const char* {
      auto it = env.find(k);
      return it == env.end() ? nullptr : it->second.c_str();
    };
    in.plist = [this](const char* k) {
      auto it = plist.find(k);
      return it == plist.end() ? PlistValue{} : it->second;
    };
    in.read_file = [this](const std::string& p) -> std::optional<std::string> {
      auto it = files.find(p);
      if (it == files.end()) return std::nullopt;
      return it->second;
    };
    in.bundle_path = "/Apps/Demo.app";
    in.home = "/home/u";
    return in;
  }
};

PlistValue str(const std::string& s) {
  PlistValue v;
  v.kind = PlistValue::Kind::String;
  v.s = s;
  return v;
}

PlistValue boolean(bool b) {
  PlistValue v;
  v.kind = PlistValue::Kind::Bool;
  v.b = b;
  return v;
}

}  // namespace

TEST(Settings, DefaultsWhenNothingIsSet) {
  Sources s;
  Settings st = read_settings(s.input());
  EXPECT_FALSE(st.accessory || st.defer_show || st.panel || st.debug || st.debug_open);
  EXPECT_TRUE(st.read_access.empty() && st.user_agent.empty() && st.inject_js.empty());
  EXPECT_TRUE(st.media_origins.empty());
}

TEST(Settings, EnvironmentRulesPerKind) {
  Sources s;
  s.env = {{"KELOJS_ACTIVATION", "accessory"},
           {"KELOJS_DEFER_SHOW", "yes"},
           {"KELOJS_PANEL", "1"},
           {"KELOJS_READ_ACCESS", "~/web"},
           {"KELOJS_DEBUG", "open"},
           {"KELOJS_INJECT", "window.x=1"},
           {"KELOJS_DOWNLOADS", "ask"},
           {"KELOJS_MEDIA_ORIGINS", "a b c\nnoblank\n\nd e"}};
  s.plist = {{"KelojsDeferShow", boolean(false)}};
  Settings st = read_settings(s.input());
  EXPECT_TRUE(st.accessory);
  EXPECT_FALSE(st.defer_show);  // only exactly "1" turns a flag on from the environment
  EXPECT_TRUE(st.panel);
  EXPECT_EQ(st.read_access, "/home/u/web");
  EXPECT_TRUE(st.debug);
  EXPECT_TRUE(st.debug_open);
  EXPECT_EQ(st.inject_js, "window.x=1");
  EXPECT_EQ(st.downloads, "ask");
  ASSERT_EQ(st.media_origins.size(), 2u);
  EXPECT_EQ(st.media_origins[0], (std::pair<std::string, std::string>{"a", "b c"}));
  EXPECT_EQ(st.media_origins[1], (std::pair<std::string, std::string>{"d", "e"}));
}

TEST(Settings, SetButEmptyEnvironmentHidesThePropertyListOnlyWhereSaidSo) {
  Sources s;
  s.env = {{"KELOJS_READ_ACCESS", ""},
           {"KELOJS_UA", ""},
           {"KELOJS_DEBUG", ""},
           {"KELOJS_POPUPS", ""},
           {"KELOJS_MEDIA_ORIGINS", ""}};
  s.plist = {{"KelojsReadAccess", str("/srv")},
             {"KelojsUserAgent", str("UA/1")},
             {"KelojsDebug", str("1")},
             {"KelojsPopups", str("deny")},
             {"KelojsMediaOrigins", str("x y")}};
  Settings st = read_settings(s.input());
  EXPECT_EQ(st.read_access, "");  // set, even empty: env wins
  EXPECT_EQ(st.user_agent, "");   // set, even empty: env wins
  EXPECT_TRUE(st.media_origins.empty());
  EXPECT_TRUE(st.debug);  // only a non-empty env wins
  EXPECT_EQ(st.popups, "deny");
}

TEST(Settings, PropertyListValues) {
  Sources s;
  PlistValue one;
  one.kind = PlistValue::Kind::Integer;
  one.i = 1;
  s.plist = {{"KelojsActivation", str("accessory")},
             {"KelojsDeferShow", str("  +0042")},
             {"KelojsPanel", one},
             {"KelojsDebug", boolean(true)},
             {"KelojsChrome", str("0\tnone\t\t\t\t\t12,10")},
             {"CFBundleIconFile", str("notes.png")}};
  s.files = {{"/Apps/Demo.app/Contents/Resources/app/inject.js", "console.log(1)"}};
  Settings st = read_settings(s.input());
  EXPECT_TRUE(st.accessory);
  EXPECT_EQ(st.chrome, "0\tnone\t\t\t\t\t12,10");
  EXPECT_TRUE(st.defer_show);
  EXPECT_TRUE(st.panel);
  EXPECT_FALSE(st.debug);  // a boolean is not a string setting
  EXPECT_EQ(st.inject_js, "console.log(1)");
  EXPECT_EQ(st.icon, "/Apps/Demo.app/Contents/Resources/notes.png");
  s.plist["CFBundleIconFile"] = str("../../../x.png");  // nothing outside the bundle
  EXPECT_EQ(read_settings(s.input()).icon, "");
}

TEST(Settings, BoolValueOfStrings) {
  for (const char* yes : {"YES", "yes", "true", "T", "1", "9", " 7", "-3", "000y"}) {
    EXPECT_TRUE(plist_bool(str(yes))) << yes;
  }
  for (const char* no : {"", "NO", "false", "0", "000", "x", "  "}) {
    EXPECT_FALSE(plist_bool(str(no))) << no;
  }
  EXPECT_FALSE(plist_bool(PlistValue{}));
}

TEST(Settings, WindowSize) {
  auto size = [](const std::string& text) {
    int w = 960, h = 640;
    parse_window_size(text, w, h);
    return std::to_string(w) + "x" + std::to_string(h);
  };
  EXPECT_EQ(size("1200x800"), "1200x800");
  EXPECT_EQ(size("1200"), "1200x640");
  EXPECT_EQ(size("wide"), "960x640");
  EXPECT_EQ(size("0x-5"), "0x-5");
}

TEST(Settings, TildeExpansion) {
  EXPECT_EQ(expand_tilde("~", "/home/u"), "/home/u");
  EXPECT_EQ(expand_tilde("~/a/b", "/home/u"), "/home/u/a/b");
  EXPECT_EQ(expand_tilde("/abs/~", "/home/u"), "/abs/~");
  EXPECT_EQ(expand_tilde("~root/x", "/home/u"), "/root/x");
  EXPECT_EQ(expand_tilde("~no-such-user-here/x", "/home/u"), "~no-such-user-here/x");
}
