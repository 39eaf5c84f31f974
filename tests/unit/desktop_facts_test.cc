#include <gtest/gtest.h>

#include "system/desktop_facts.h"

TEST(DesktopFacts, Battery) {
  BatteryFacts b;
  b.percentage = 66.5;
  b.state = 1;
  b.time_to_full = 3599;
  b.time_to_empty = 999;
  EXPECT_EQ(battery_json(b),
            R"({"percent":67,"charging":true,"plugged":true,"minutesRemaining":59})");
  b.state = 2;
  b.on_battery = true;
  EXPECT_EQ(battery_json(b),
            R"({"percent":67,"charging":false,"plugged":false,"minutesRemaining":16})");
  b.time_to_empty = 0;  // still estimating
  EXPECT_EQ(battery_json(b),
            R"({"percent":67,"charging":false,"plugged":false,"minutesRemaining":null})");
}

TEST(DesktopFacts, Wifi) {
  EXPECT_EQ(dbm_from_percent(71), -65);
  EXPECT_EQ(dbm_from_percent(0), -100);
  WifiFacts w;
  w.ssid = "Caf\xc3\xa9 \"1\"";
  w.strength = 80;
  w.bitrate_kbps = 144000;
  EXPECT_EQ(wifi_json(w),
            R"({"ssid":"Café \"1\"","bssid":null,"rssi":-60,"noise":null,"txRate":144.000000})");
}

TEST(DesktopFacts, OtherWindowsGroupByApplication) {
  auto win = [](long pid, const char* title, bool app_window, bool readable) {
    OtherWindow w;
    w.pid = pid;
    w.app = {pid == 20 ? "Editor" : "term", pid == 20 ? "org.example.Editor" : ""};
    w.title = title;
    w.app_window = app_window;
    if (readable) w.frame = Rect{10.9, -5.5, 300, 200};
    return w;
  };
  std::vector<OtherWindow> front_to_back{win(30, "shell", true, true), win(20, "a", true, false),
                                         win(99, "own", true, true),   win(20, "dock", false, true),
                                         win(30, "two", true, true),   win(20, "b", true, true)};
  EXPECT_EQ(other_windows_json(front_to_back, 99),
            R"([{"app":"term","bundleId":null,"title":"shell","pid":30,"index":0,"x":10,)"
            R"("y":-5,"width":300,"height":200},{"app":"term","bundleId":null,"title":"two",)"
            R"("pid":30,"index":1,"x":10,"y":-5,"width":300,"height":200},{"app":"Editor",)"
            R"("bundleId":"org.example.Editor","title":"b","pid":20,"index":1,"x":10,"y":-5,)"
            R"("width":300,"height":200}])");
}

TEST(DesktopFacts, ScreenInFront) {
  std::vector<ScreenInfo> screens(2);
  screens[0].frame = {0, 0, 1000, 800};
  screens[1].frame = {1000, 0, 1000, 800};
  EXPECT_EQ(fgscreen_index(screens, Rect{900, 10, 400, 300}, 5, 5), 1);
  EXPECT_EQ(fgscreen_index(screens, std::nullopt, 1500, 5), 1);
  EXPECT_EQ(fgscreen_index(screens, Rect{-900, 10, 40, 30}, 5, 5), 0);
  EXPECT_EQ(fgscreen_index(screens, std::nullopt, -5, 5), -1);
}

TEST(DesktopFacts, SmallRecords) {
  EXPECT_EQ(frontmost_json({"Files", ""}, 42), R"({"name":"Files","bundleId":null,"pid":42})");
  EXPECT_EQ(activation_json(true, false, true),
            R"({"policy":"accessory","active":false,"hidden":true})");
  EXPECT_EQ(close_button_json({}), R"({"hidden":true})");
  EXPECT_EQ(close_button_json({CloseButton::WindowManager, {}}), "null");
  EXPECT_EQ(close_button_json({CloseButton::Own, {8, 6, 22, 22}}), R"({"fromTop":6.0,"x":8.0})");
}
