#include <gtest/gtest.h>

#include "system/queries.h"
#include "windows/winop.h"

namespace {

ScreenInfo retina() {
  ScreenInfo s;
  s.id = 77;
  s.frame = {0, 0, 1440, 900};
  s.visible = {0, 25, 1440, 875};
  s.scale = 2;
  return s;
}

}  // namespace

TEST(Queries, WindowListStartsWithMain) {
  EXPECT_EQ(windows_json(true, {"a", "b"}), R"(["main","a","b"])");
  EXPECT_EQ(windows_json(false, {"x\"y"}), R"(["x\"y"])");
  EXPECT_EQ(windows_json(false, {}), "[]");
  EXPECT_EQ(screens_json({}), "[]");
  ScreenInfo a, b;
  a.id = 1;
  b.id = 2;
  std::string both = screens_json({a, b});
  EXPECT_EQ(both, "[" + screen_json(a) + "," + screen_json(b) + "]");
}

TEST(Queries, WindowRecord) {
  WindowFacts w;
  w.frame = {100.7, 50.2, 800, 628};
  w.content = {100.7, 78.2, 800, 600};
  w.visible = true;
  w.focused = true;
  w.level = kLevelOverlay;
  w.all_spaces = true;
  w.chrome.controls[0] = true;
  w.chrome.controls[2] = true;
  w.chrome.traffic_pos = PointD{20, 18};
  w.chrome.transparent = true;
  w.chrome.vibrancy = "hud";
  w.chrome.first_mouse = true;
  w.is_main = true;
  w.screen = retina();
  EXPECT_EQ(window_record_json(w),
            R"({"x":100,"y":50,"width":800,"height":600,"outer":{"width":800,"height":628},)"
            R"("fullscreen":false,"minimized":false,"visible":true,"focused":true,)"
            R"("alwaysOnTop":true,"resizable":true,"clickThrough":false,"level":"overlay",)"
            R"("allSpaces":true,"chrome":{"frame":true,"windowControls":["close","maximize"],)"
            R"("windowControlsPos":{"x":20,"y":18},"transparent":true,"vibrancy":"hud",)"
            R"("squareCorners":false,"acceptsFirstMouse":true},)"
            R"("screen":{"width":1440,"height":900,"scale":2.00},"screenId":77,)"
            R"("local":{"x":101,"y":50},"pixels":{"x":201,"y":100,"width":1600,"height":1200}})");

  // Only the main window reports its material; a plain window has no controls position.
  w.is_main = false;
  w.chrome.traffic_pos.reset();
  std::string other = window_record_json(w);
  EXPECT_NE(other.find(R"("windowControlsPos":null,"transparent":true,"vibrancy":null)"),
            std::string::npos);

  // Long names are never cut short.
  w.is_main = true;
  w.chrome.vibrancy = std::string(3000, 'v');
  w.screen.name = std::string(3000, 'n');
  std::string long_record = window_record_json(w);
  EXPECT_NE(long_record.find(w.chrome.vibrancy + "\","), std::string::npos);
  EXPECT_EQ(long_record.back(), '}');
  EXPECT_NE(screens_json({w.screen}).find(w.screen.name + "\","), std::string::npos);
}

TEST(Queries, LevelNames) {
  EXPECT_STREQ(level_name(kLevelDesktop), "desktop");
  EXPECT_STREQ(level_name(kLevelOverlay), "overlay");
  EXPECT_STREQ(level_name(kLevelFloating), "floating");
  EXPECT_STREQ(level_name(kLevelNormal), "normal");
  EXPECT_STREQ(level_name(7), "normal");
}

TEST(Queries, PointerRecord) {
  ScreenInfo s = retina();
  std::vector<ScreenInfo> screens{s};
  ScreenInfo right = s;
  right.id = 78;
  right.frame = {1440, 0, 1920, 1080};
  right.scale = 1;
  screens.push_back(right);
  EXPECT_EQ(screen_at_point(screens, 10, 10), 0);
  EXPECT_EQ(screen_at_point(screens, 1440, 10), 1);
  EXPECT_EQ(screen_at_point(screens, -5, 10), -1);

  EXPECT_EQ(mouse_record_json(150.9, 90.5, Rect{100, 78, 800, 600}, s),
            R"({"x":150,"y":90,"window":{"x":50,"y":12,"inside":true},)"
            R"("screen":{"id":77,"x":0,"y":0,"width":1440,"height":900,"scale":2.00}})");
  EXPECT_NE(mouse_record_json(50, 20, Rect{100, 78, 800, 600}, s)
                .find(R"("window":{"x":-50,"y":-58,"inside":false})"),
            std::string::npos);
  EXPECT_NE(mouse_record_json(50, 20, std::nullopt, s).find(R"("window":null,)"),
            std::string::npos);
}
