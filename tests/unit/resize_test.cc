#include <gtest/gtest.h>

#include "windows/resize.h"

namespace {

const Rect kStart{100, 50, 400, 300};

void expect_rect(const Rect& r, double x, double y, double w, double h) {
  EXPECT_EQ(r.x, x);
  EXPECT_EQ(r.y, y);
  EXPECT_EQ(r.width, w);
  EXPECT_EQ(r.height, h);
}

}  // namespace

TEST(Resize, EdgesAreLettersAnywhereInTheText) {
  Edges e = parse_edges("nw");
  EXPECT_TRUE(e.top && e.left && !e.bottom && !e.right);
  e = parse_edges("south-east");
  EXPECT_TRUE(e.bottom && e.right && !e.left);
  e = parse_edges("");
  EXPECT_FALSE(e.top || e.bottom || e.left || e.right);
}

TEST(Resize, NamedEdgesFollowThePointerAndTheOthersStay) {
  Size min = resize_minimum({0, 0});
  expect_rect(resized_frame(kStart, 30, 20, parse_edges("e"), min), 100, 50, 430, 300);
  expect_rect(resized_frame(kStart, 30, 20, parse_edges("s"), min), 100, 50, 400, 320);
  expect_rect(resized_frame(kStart, 30, 20, parse_edges("w"), min), 130, 50, 370, 300);
  expect_rect(resized_frame(kStart, 30, 20, parse_edges("n"), min), 100, 70, 400, 280);
  // North-west keeps the bottom-right corner.
  Rect nw = resized_frame(kStart, -40, -25, parse_edges("nw"), min);
  expect_rect(nw, 60, 25, 440, 325);
  EXPECT_EQ(nw.x + nw.width, kStart.x + kStart.width);
  EXPECT_EQ(nw.y + nw.height, kStart.y + kStart.height);
}

TEST(Resize, NeverBelowTheMinimumAndTheOppositeEdgesStay) {
  Size floor = resize_minimum({0, 0});
  EXPECT_EQ(floor.width, 120);
  EXPECT_EQ(floor.height, 80);
  // Dragging the top-left corner far past the opposite edges.
  expect_rect(resized_frame(kStart, 1000, 1000, parse_edges("nw"), floor), 380, 270, 120, 80);
  expect_rect(resized_frame(kStart, -1000, -1000, parse_edges("se"), floor), 100, 50, 120, 80);
  // The window's own minimum wins when it is larger.
  Size own = resize_minimum({250, 60});
  EXPECT_EQ(own.width, 250);
  EXPECT_EQ(own.height, 80);
  expect_rect(resized_frame(kStart, 1000, 1000, parse_edges("nw"), own), 250, 270, 250, 80);
}

TEST(Resize, ConflictingEdgesMoveTheLeftAndBottomOnes) {
  Size min = resize_minimum({0, 0});
  expect_rect(resized_frame(kStart, 30, 20, parse_edges("ew"), min), 130, 50, 370, 300);
  expect_rect(resized_frame(kStart, 30, 20, parse_edges("ns"), min), 100, 50, 400, 320);
}
