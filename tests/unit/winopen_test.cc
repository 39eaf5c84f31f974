#include <gtest/gtest.h>

#include <map>

#include "windows/winop.h"
#include "windows/winopen.h"

TEST(WinOpen, OnlyIdAndUrlTakeTheDefaults) {
  WinOpenReq r = parse_winopen("side\thttps://a.example/");
  EXPECT_EQ(r.id, "side");
  EXPECT_EQ(r.url, "https://a.example/");
  EXPECT_EQ(r.title, "");
  EXPECT_EQ(r.width, 600);
  EXPECT_EQ(r.height, 400);
  EXPECT_FALSE(r.has_position || r.panel || r.hidden || has_chrome(r));
  EXPECT_EQ(r.parent, "");
}

TEST(WinOpen, AllSeventeenFields) {
  WinOpenReq r = parse_winopen(
      "w\t/tmp/p.html\tTitle\t800x500\t0\tclose\t1\tsidebar\t1\t1\t10\t-20\tignored\t12,14\t"
      "main\t1\t0");
  EXPECT_EQ(r.title, "Title");
  EXPECT_EQ(r.width, 800);
  EXPECT_EQ(r.height, 500);
  EXPECT_EQ(r.chrome,
            (std::array<std::string, 7>{"0", "close", "1", "sidebar", "1", "1", "12,14"}));
  EXPECT_TRUE(r.has_position);
  EXPECT_EQ(r.x, 10);
  EXPECT_EQ(r.y, -20);
  EXPECT_EQ(r.parent, "main");
  EXPECT_TRUE(r.panel);
  EXPECT_TRUE(r.hidden);
}

TEST(WinOpen, PositionNeedsBothCoordinatesAndFlagsNeedExactValues) {
  auto fields = [](const std::string& x, const std::string& y, const std::string& panel,
                   const std::string& shown) {
    return parse_winopen("w\tu\t\t\t\t\t\t\t\t\t" + x + "\t" + y + "\t\t\t\t" + panel + "\t" +
                         shown);
  };
  EXPECT_FALSE(fields("10", "", "", "").has_position);
  EXPECT_FALSE(fields("", "5", "", "").has_position);
  EXPECT_TRUE(fields("0", "0", "", "").has_position);
  EXPECT_FALSE(fields("", "", "true", "").panel);
  EXPECT_FALSE(fields("", "", "", "").hidden);
  EXPECT_FALSE(fields("", "", "", "no").hidden);
  // A size the scanner reads only in part keeps the rest of the default.
  EXPECT_EQ(parse_winopen("w\tu\t\t1024").height, 400);
  EXPECT_EQ(parse_winopen("w\tu\t\tbig").width, 600);
}

TEST(Winop, CommandTable) {
  EXPECT_EQ(parse_winop("show").kind, WinopKind::Show);
  EXPECT_EQ(parse_winop("show 1").kind, WinopKind::Show);
  EXPECT_EQ(parse_winop("show 0").kind, WinopKind::ShowInactive);
  EXPECT_EQ(parse_winop("show 2").kind, WinopKind::Unknown);
  EXPECT_EQ(parse_winop("fullscreen").kind, WinopKind::FullscreenToggle);
  WinopCmd fs = parse_winop("fullscreen 1");
  EXPECT_EQ(fs.kind, WinopKind::Fullscreen);
  EXPECT_TRUE(fs.on);
  WinopCmd geom = parse_winop("geom 0");
  EXPECT_EQ(geom.kind, WinopKind::Geom);
  EXPECT_FALSE(geom.on);
  EXPECT_EQ(parse_winop("geom").kind, WinopKind::Unknown);
  EXPECT_EQ(parse_winop("rescue 1").kind, WinopKind::Rescue);
  WinopCmd level = parse_winop("level floating");
  EXPECT_EQ(level.kind, WinopKind::Level);
  EXPECT_EQ(level.arg, "floating");
  EXPECT_EQ(parse_winop("pos 10 20").arg, "10 20");
  EXPECT_EQ(parse_winop("hidewin").kind, WinopKind::HideWin);
  EXPECT_EQ(parse_winop("Hide").kind, WinopKind::Unknown);
}

TEST(WinOpen, ParentLoopsAreFound) {
  std::map<std::string, std::string> parents{{"b", "a"}, {"c", "b"}, {"x", "y"}, {"y", "x"}};
  auto parent_of = [&](const std::string& id) {
    auto it = parents.find(id);
    return it == parents.end() ? std::string() : it->second;
  };
  EXPECT_TRUE(closes_parent_cycle("a", "c", parent_of));
  EXPECT_TRUE(closes_parent_cycle("a", "a", parent_of));
  EXPECT_FALSE(closes_parent_cycle("c", "a", parent_of));
  EXPECT_FALSE(closes_parent_cycle("d", "main", parent_of));
  EXPECT_FALSE(closes_parent_cycle("a", "x", parent_of));  // a loop elsewhere ends the walk
}
