#include <gtest/gtest.h>

#include "windows/winop.h"

namespace {

ScreenInfo screen(uint32_t id, Rect frame, double scale) {
  ScreenInfo s;
  s.id = id;
  s.frame = frame;
  s.visible = frame;
  s.scale = scale;
  return s;
}

}  // namespace

TEST(WinopMinSize, GrowsOnlyWhereTheWindowIsSmaller) {
  auto grown = grown_content({600, 400}, {800, 600});
  ASSERT_TRUE(grown);
  EXPECT_EQ(grown->width, 800);
  EXPECT_EQ(grown->height, 600);

  grown = grown_content({1000, 400}, {800, 600});
  ASSERT_TRUE(grown);
  EXPECT_EQ(grown->width, 1000);
  EXPECT_EQ(grown->height, 600);

  EXPECT_FALSE(grown_content({1000, 700}, {800, 600}));
  EXPECT_FALSE(grown_content({800, 600}, {800, 600}));
}

TEST(WinopMinSize, NeedsTwoPositiveNumbers) {
  auto size = parse_min_size("800x600");
  ASSERT_TRUE(size);
  EXPECT_EQ(size->width, 800);
  EXPECT_EQ(size->height, 600);
  for (const char* bad : {"800", "800x", "0x600", "800x0", "-5x600", "800 600", "x600", ""}) {
    EXPECT_FALSE(parse_min_size(bad)) << bad;
  }
}

TEST(WinopScreenPos, ReadsUnitAndDefaultsToPoints) {
  auto p = parse_screen_pos("42 100 50 px");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->display, 42);
  EXPECT_DOUBLE_EQ(p->x, 100);
  EXPECT_DOUBLE_EQ(p->y, 50);
  EXPECT_EQ(p->unit, "px");

  p = parse_screen_pos("7 -10.5 3");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->unit, "pt");
  EXPECT_DOUBLE_EQ(p->x, -10.5);

  // At most three characters of the unit are read: "pxx" is not "px".
  p = parse_screen_pos("7 1 2 pxxx");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->unit, "pxx");

  EXPECT_FALSE(parse_screen_pos("7 1"));
  EXPECT_FALSE(parse_screen_pos("seven 1 2"));
}

TEST(WinopScreenPos, PixelsAreDividedByTheScaleOfThatScreen) {
  ScreenInfo second = screen(90, {1920, 0, 1280, 800}, 2);
  auto at = screen_pos_target(second, *parse_screen_pos("90 100 50 px"));
  ASSERT_TRUE(at);
  EXPECT_EQ(at->x, 1970);
  EXPECT_EQ(at->y, 25);

  at = screen_pos_target(second, *parse_screen_pos("90 100 50"));
  ASSERT_TRUE(at);
  EXPECT_EQ(at->x, 2020);
  EXPECT_EQ(at->y, 50);

  // A screen left of and above the primary one.
  ScreenInfo left = screen(91, {-1024, -200, 1024, 768}, 1);
  at = screen_pos_target(left, *parse_screen_pos("91 10 20 px"));
  ASSERT_TRUE(at);
  EXPECT_EQ(at->x, -1014);
  EXPECT_EQ(at->y, -180);
}

TEST(WinopScreenPos, NumbersThatAreNoPlaceAreRefused) {
  ScreenInfo s = screen(1, {0, 0, 1920, 1080}, 1);
  EXPECT_FALSE(screen_pos_target(s, *parse_screen_pos("1 nan 0")));
  EXPECT_FALSE(screen_pos_target(s, *parse_screen_pos("1 0 inf")));
  EXPECT_FALSE(screen_pos_target(s, *parse_screen_pos("1 1e300 0")));
}

TEST(WinopScreenPos, ScreenIsFoundByDisplayId) {
  std::vector<ScreenInfo> screens{screen(65, {0, 0, 800, 600}, 1),
                                  screen(66, {800, 0, 800, 600}, 1)};
  EXPECT_EQ(screen_by_display(screens, 66), 1);
  EXPECT_EQ(screen_by_display(screens, 65), 0);
  EXPECT_EQ(screen_by_display(screens, 67), -1);
  EXPECT_EQ(screen_by_display(screens, 65 + (1L << 32)), -1);
}

TEST(WinopPixelSize, DevicePixelsBecomePoints) {
  Size s = pixel_size_content({1600, 1200}, 2);
  EXPECT_EQ(s.width, 800);
  EXPECT_EQ(s.height, 600);
  s = pixel_size_content({801, 1}, 2);
  EXPECT_EQ(s.width, 401);
  EXPECT_EQ(s.height, 1);
  s = pixel_size_content({640, 480}, 1);
  EXPECT_EQ(s.width, 640);
  EXPECT_EQ(s.height, 480);

  ASSERT_TRUE(parse_pixel_size("640 480"));
  EXPECT_FALSE(parse_pixel_size("640 0"));
  EXPECT_FALSE(parse_pixel_size("-1 480"));
  EXPECT_FALSE(parse_pixel_size("640"));
}

TEST(WinopLevel, NamesLevelsAndTheirEffects) {
  EXPECT_EQ(level_for_name("desktop"), -2147483623);
  EXPECT_EQ(level_for_name("overlay"), 1000);
  EXPECT_EQ(level_for_name("floating"), 3);
  EXPECT_EQ(level_for_name("normal"), 0);
  EXPECT_EQ(level_for_name("Floating"), 0);

  struct Row {
    const char* name;
    bool above, below, overlay;
  } rows[] = {
      {"desktop", false, true, true},
      {"floating", true, false, false},
      {"overlay", true, false, true},
      {"normal", false, false, false},
  };
  for (const Row& r : rows) {
    int level = level_for_name(r.name);
    LevelTraits t = level_traits(level);
    EXPECT_EQ(t.keep_above, r.above) << r.name;
    EXPECT_EQ(t.keep_below, r.below) << r.name;
    EXPECT_EQ(is_overlay(false, level), r.overlay) << r.name;
    EXPECT_TRUE(is_overlay(true, level)) << r.name;
  }
}

TEST(WinopFullScreen, FrameIsCentredInTheTargetWorkArea) {
  Rect r = centered_in({10, 10, 400, 300}, {1920, 30, 1280, 770});
  EXPECT_DOUBLE_EQ(r.x, 1920 + 640 - 200);
  EXPECT_DOUBLE_EQ(r.y, 30 + 385 - 150);
  EXPECT_DOUBLE_EQ(r.width, 400);
  EXPECT_DOUBLE_EQ(r.height, 300);

  r = centered_in({0, 0, 2000, 300}, {1920, 0, 1280, 800});
  EXPECT_DOUBLE_EQ(r.x, 1920);
  EXPECT_DOUBLE_EQ(r.width, 1280);
}

TEST(WinopZoomFactor, OnlyFactorsFromAQuarterToFive) {
  EXPECT_EQ(parse_zoom_factor("0.25"), 0.25);
  EXPECT_EQ(parse_zoom_factor("5"), 5.0);
  EXPECT_EQ(parse_zoom_factor("1.5"), 1.5);
  for (const char* bad : {"0.24", "5.01", "0", "-1", "abc", "nan", "inf", ""}) {
    EXPECT_FALSE(parse_zoom_factor(bad)) << bad;
  }
}
