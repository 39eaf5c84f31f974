#include <gtest/gtest.h>

#include "windows/screens.h"
#include "windows/winstate.h"

namespace {

ScreenInfo screen(uint32_t id, Rect frame, Rect visible, double scale = 1) {
  ScreenInfo s;
  s.id = id;
  s.name = "DUMMY" + std::to_string(id);
  s.frame = frame;
  s.visible = visible;
  s.scale = scale;
  return s;
}

}  // namespace

TEST(Rescue, ReachableCornersStayAndOthersMoveOntoTheNearestScreen) {
  std::vector<Rect> areas = {{0, 0, 1440, 900}};
  // 30 x 30 points still on the screen: left alone.
  EXPECT_FALSE(rescue_frame({1410, 870, 400, 300}, areas).has_value());
  // Only 20 x 30: moved fully inside, size kept.
  auto r = rescue_frame({1420, 870, 400, 300}, areas);
  ASSERT_TRUE(r.has_value());
  EXPECT_DOUBLE_EQ(r->x, 1040);
  EXPECT_DOUBLE_EQ(r->y, 600);
  EXPECT_DOUBLE_EQ(r->width, 400);
  EXPECT_DOUBLE_EQ(r->height, 300);
  // Above the top: the top edge comes down to the area's top.
  r = rescue_frame({100, -500, 400, 300}, areas);
  ASSERT_TRUE(r);
  EXPECT_DOUBLE_EQ(r->y, 0);
  // Wider and taller than the area: left-aligned, top edge at the area's top.
  r = rescue_frame({3000, 2000, 2000, 1200}, areas);
  ASSERT_TRUE(r);
  EXPECT_DOUBLE_EQ(r->x, 0);
  EXPECT_DOUBLE_EQ(r->y, 0);  // too tall to fit: its top edge goes to the area's top
  EXPECT_FALSE(rescue_frame({5000, 5000, 10, 10}, {}).has_value());
}

TEST(Rescue, ChoosesTheNearestVisibleArea) {
  std::vector<Rect> areas = {{0, 0, 1000, 800}, {1000, 0, 1000, 800}};
  auto r = rescue_frame({2500, 100, 300, 200}, areas);  // right of the second screen
  ASSERT_TRUE(r);
  EXPECT_DOUBLE_EQ(r->x, 1700);
  EXPECT_DOUBLE_EQ(r->y, 100);
  r = rescue_frame({-900, 300, 300, 200}, areas);  // left of the first
  ASSERT_TRUE(r);
  EXPECT_DOUBLE_EQ(r->x, 0);
}

TEST(Screens, ChoiceByLargestIntersection) {
  std::vector<ScreenInfo> s = {screen(1, {0, 0, 1000, 800}, {0, 0, 1000, 800}),
                               screen(2, {1000, 0, 1000, 800}, {1000, 0, 1000, 800})};
  EXPECT_EQ(screen_for_rect(s, {900, 0, 300, 100}), 1);
  EXPECT_EQ(screen_for_rect(s, {800, 0, 300, 100}), 0);
  EXPECT_EQ(screen_for_rect(s, {900, 0, 200, 100}), 0);  // a tie keeps the first
  EXPECT_EQ(screen_for_rect(s, {3000, 0, 10, 10}), -1);
}

TEST(Screens, RecordAtScaleTwo) {
  ScreenInfo s = screen(7, {0, 0, 1440, 900}, {0, 25, 1440, 800}, 2);
  s.primary = true;
  EXPECT_EQ(screen_json(s),
            "{\"id\":7,\"uid\":\"7\",\"name\":\"DUMMY7\",\"x\":0,\"y\":0,\"width\":1440,"
            "\"height\":900,\"visible\":{\"x\":0,\"y\":25,\"width\":1440,\"height\":800},"
            "\"scale\":2.00,\"primary\":true,\"internal\":false,\"pixels\":{\"width\":2880,"
            "\"height\":1800,\"visible\":{\"x\":0,\"y\":50,\"width\":2880,\"height\":1600}}}");
  ScreenInfo right = screen(8, {1440, -100, 1280, 1024}, {1440.5, -100, 1280, 1000}, 1.5);
  right.uid = "a-b\"c";
  std::string j = screen_json(right);
  EXPECT_NE(j.find("\"uid\":\"a-b\\\"c\""), std::string::npos);
  EXPECT_NE(j.find("\"x\":1440,\"y\":-100"), std::string::npos);
  // The visible offset in pixels is inside the screen itself: 0.5 x 1.5 rounds to 1.
  EXPECT_NE(j.find("\"visible\":{\"x\":1,\"y\":0,\"width\":1920,\"height\":1500}"),
            std::string::npos);
}

TEST(Screens, WindowFieldsRoundHalvesAwayFromZero) {
  ScreenInfo s = screen(3, {1000, 0, 1000, 800}, {1000, 0, 1000, 800}, 2);
  EXPECT_EQ(window_screen_fields(s, {1100.5, 40.25, 300, 200}, {1101, 60, 298, 175.25}),
            "\"screenId\":3,\"local\":{\"x\":101,\"y\":40},\"pixels\":{\"x\":201,\"y\":81,"
            "\"width\":596,\"height\":351}");
  EXPECT_EQ(round_half_away(-2.5), -3);
  EXPECT_EQ(round_half_away(2.5), 3);
}

TEST(WinState, JsonAndRepeatSuppression) {
  WinStateMemo memo;
  WinState st;
  st.focused = true;
  st.screen_id = 4000000000u;
  EXPECT_EQ(memo.update("main", st),
            "WINSTATE main {\"fullscreen\":false,\"maximized\":false,\"minimized\":false,"
            "\"focused\":true,\"screenId\":4000000000}");
  EXPECT_FALSE(memo.update("main", st).has_value());
  EXPECT_TRUE(memo.update("side", st).has_value());  // per window
  st.maximized = true;
  EXPECT_TRUE(memo.update("main", st).has_value());
  memo.forget("side");
  EXPECT_TRUE(memo.update("side", st).has_value());  // a reused id starts afresh
}

TEST(Locale, JsonAndPosixSources) {
  LocaleInfo info;
  info.languages = languages_from_env("fr:de_DE", nullptr, nullptr, "pt_BR.UTF-8");
  EXPECT_EQ(info.languages, (std::vector<std::string>{"fr", "de-DE", "pt-BR"}));
  info.region = region_from_locale("pt_BR.UTF-8");
  info.time_zone = "Europe/Lisbon";
  EXPECT_EQ(locale_json(info),
            "{\"language\":\"fr\",\"languages\":[\"fr\",\"de-DE\",\"pt-BR\"],\"system\":[\"fr\","
            "\"de-DE\",\"pt-BR\"],\"region\":\"BR\",\"timeZone\":\"Europe/Lisbon\"}");
  LocaleInfo c;
  c.languages = languages_from_env("fr", nullptr, nullptr, "C.UTF-8");  // LANGUAGE needs a locale
  c.system = std::vector<std::string>{"en-US"};
  c.region = region_from_locale("C");
  c.time_zone = "UTC";
  EXPECT_EQ(locale_json(c),
            "{\"language\":\"en\",\"languages\":[],\"system\":[\"en-US\"],\"region\":null,"
            "\"timeZone\":\"UTC\"}");
  EXPECT_EQ(languages_from_env(nullptr, "de_AT@euro", "fr_FR", "en_US"),
            (std::vector<std::string>{"de-AT"}));
}
