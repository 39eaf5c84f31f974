#include <gtest/gtest.h>

#include "windows/chrome.h"
#include "windows/winopen.h"

namespace {

// The names of the buttons shown, comma separated.
std::string shown_names(const bool (&controls)[3]) {
  std::string out;
  for (int i = 0; i < 3; ++i) {
    if (!controls[i]) continue;
    if (!out.empty()) out += ",";
    out += kChromeButtons[i];
  }
  return out;
}

}  // namespace

TEST(Chrome, EachSourceMapsItsPositionsToTheSameFields) {
  // The wire skips its seventh position; the packaged setting has none to skip.
  ChromeReq wire = chrome_from_wire("side", "0\tnone\t1\thud\t1\t1\tignored\t20,18\textra");
  EXPECT_EQ(wire.id, "side");
  EXPECT_EQ(wire.fields,
            (std::array<std::string, kChromeFields>{"0", "none", "1", "hud", "1", "1", "20,18"}));
  ChromeReq setting = chrome_from_setting("0\tnone\t1\thud\t1\t1\t20,18");
  EXPECT_EQ(setting.id, "main");
  EXPECT_EQ(setting.fields, wire.fields);
  WinOpenReq open =
      parse_winopen("w\tu\tt\t300x200\t0\tnone\t1\thud\t1\t1\t10\t20\tskip\t20,18\tp\t0\t1");
  EXPECT_EQ(open.chrome, wire.fields);

  // Empty and missing fields stay empty: they leave that aspect alone.
  ChromeReq partial = chrome_from_wire("main", "\tclose");
  EXPECT_EQ(partial[kTitlebar], "");
  EXPECT_EQ(partial[kButtons], "close");
  EXPECT_EQ(partial[kTrafficPos], "");
  EXPECT_EQ(chrome_from_wire("main", "\t\t\t\t\t\t20,18")[kTrafficPos], "");
}

TEST(Chrome, ButtonsAreNamedBySubstring) {
  for (const char* name : {"close", "minimize", "maximize"}) {
    EXPECT_TRUE(chrome_shows_button("all", name));
    EXPECT_FALSE(chrome_shows_button("none", name));
  }
  EXPECT_TRUE(chrome_shows_button("close,minimize", "close"));
  EXPECT_TRUE(chrome_shows_button("close,minimize", "minimize"));
  EXPECT_FALSE(chrome_shows_button("close,minimize", "maximize"));
  EXPECT_FALSE(chrome_shows_button("All", "close"));
}

TEST(Chrome, MaterialsFallBackToSidebar) {
  EXPECT_EQ(material_for("titlebar"), 3);
  EXPECT_EQ(material_for("hud"), 13);
  EXPECT_EQ(material_for("underpage"), 22);
  EXPECT_EQ(material_for("sidebar"), 7);
  EXPECT_EQ(material_for("glass"), 7);
  EXPECT_EQ(material_for("HUD"), 7);
  // Dark materials look dark in both appearances; the others follow it.
  EXPECT_LT(material_tint(13, false).r, 0.5);
  EXPECT_GT(material_tint(7, false).r, material_tint(7, true).r);
  EXPECT_GT(material_tint(7, false).a, 0);
  EXPECT_LT(material_tint(7, false).a, 1);
}

TEST(Chrome, TrafficPositions) {
  auto pos = parse_traffic_pos("20,18.5");
  ASSERT_TRUE(pos);
  EXPECT_EQ(traffic_pos_json(pos), R"({"x":20,"y":18.5})");
  EXPECT_EQ(traffic_pos_json(std::nullopt), "null");
  for (const char* bad : {"20", "x,1", "", "default", "20;18"})
    EXPECT_FALSE(parse_traffic_pos(bad)) << bad;
  auto places = traffic_button_positions({20, 18}, 26);
  EXPECT_EQ(places[0].x, 20);
  EXPECT_EQ(places[1].x, 46);
  EXPECT_EQ(places[2].x, 72);
  EXPECT_EQ(places[2].y, 18);
}

TEST(Chrome, RequestsChangeOnlyTheirFieldsAndTheStateCarriesTheRest) {
  ChromeState s = chrome_after({}, chrome_from_wire("main", "0\tclose"));
  EXPECT_EQ(frame_kind(s), FrameKind::BorderOnly);
  EXPECT_TRUE(own_buttons_visible(s, false));
  EXPECT_FALSE(own_buttons_visible(s, true));
  EXPECT_EQ(shown_names(chrome_facts(s, false).controls), "close");

  // A material makes the window see-through; "none" gives the page its background back unless
  // the window was made transparent.
  s = chrome_after(s, chrome_from_wire("main", "\t\t\thud"));
  EXPECT_FALSE(s.opaque);
  EXPECT_FALSE(s.draws_background);
  s = chrome_after(s, chrome_from_wire("main", "\t\t\tnone"));
  EXPECT_TRUE(s.draws_background);
  EXPECT_TRUE(s.vibrancy.empty());
  s = chrome_after(s, chrome_from_wire("main", "\t\t1\thud"));
  s = chrome_after(s, chrome_from_wire("main", "\t\t\tnone"));
  EXPECT_FALSE(s.draws_background);

  // Square windows have no frame and no buttons; "square 0" brings the title bar back.
  s = chrome_after(s, chrome_from_wire("main", "\t\t\t\t1\t\t\t20,18"));
  EXPECT_EQ(frame_kind(s), FrameKind::Borderless);
  EXPECT_FALSE(own_buttons_visible(s, false));
  EXPECT_EQ(shown_names(chrome_facts(s, false).controls), "");
  s = chrome_after(s, chrome_from_wire("main", "\t\t\t\t0\t\t\tdefault"));
  EXPECT_EQ(frame_kind(s), FrameKind::Standard);
  EXPECT_FALSE(s.traffic_pos);
  EXPECT_FALSE(is_default_frame(s));  // only close is still asked for
  s = chrome_after(s, chrome_from_wire("main", "\tall"));
  EXPECT_TRUE(is_default_frame(s));
}
