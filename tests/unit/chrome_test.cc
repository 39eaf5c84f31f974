#include <gtest/gtest.h>

#include "windows/chrome.h"
#include "windows/winopen.h"

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
