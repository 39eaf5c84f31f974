#include <gtest/gtest.h>

#include "services/dock.h"
#include "services/print.h"
#include "wire/dispatcher.h"

namespace {

// A whole wire line through recognition and the family's parser.
template <class R>
std::unique_ptr<R> parse(std::unique_ptr<R> (*parser)(std::string_view, size_t),
                         std::string_view line) {
  return parser(line, recognise(line).after);
}

}  // namespace

TEST(Dock, NumbersAndTextsComeFromTheirFixedColumns) {
  EXPECT_EQ(*parse(parse_text_arg, "BADGE"), "");
  EXPECT_EQ(*parse(parse_text_arg, "BADGE 3 new\\tmail\\\\"), "3 new\tmail\\");
  EXPECT_EQ(*parse(parse_text_arg, "APPICON /a b/i.png"), "/a b/i.png");
  EXPECT_EQ(*parse(parse_attention, "ATTENTION"), 0);
  EXPECT_EQ(*parse(parse_attention, "ATTENTION 1"), 1);
  EXPECT_EQ(*parse(parse_attention, "ATTENTIONx7"), 7);  // the byte after the verb is skipped
  EXPECT_EQ(*parse(parse_progress, "PROGRESS"), -1);
  EXPECT_EQ(*parse(parse_progress, "PROGRESS "), -1);  // nothing from the tenth byte on
  EXPECT_DOUBLE_EQ(*parse(parse_progress, "PROGRESS 0.25xyz"), 0.25);
}

TEST(Dock, PdfAndPrintLinesNameTheirWindow) {
  auto pdf = parse(parse_pdf, "PDF 7 /tmp/a\\tb.pdf");
  ASSERT_TRUE(pdf);
  EXPECT_EQ(pdf->id + "|" + pdf->path + "|" + pdf->window, "7|/tmp/a\tb.pdf|");
  pdf = parse(parse_pdf, "PDF@side 8 /tmp/x y.pdf");
  ASSERT_TRUE(pdf);
  EXPECT_EQ(pdf->id + "|" + pdf->path + "|" + pdf->window, "8|/tmp/x y.pdf|side");
  for (const char* dropped : {"PDF 7", "PDF@side", "PDF@side 8"})
    EXPECT_FALSE(parse(parse_pdf, dropped)) << dropped;
  EXPECT_EQ(*parse(parse_print, "PRINT"), "");
  EXPECT_EQ(*parse(parse_print, "PRINT@side"), "side");
}

TEST(Dock, ProgressBarGeometry) {
  auto half = progress_bar(128, 128, 0.5);
  ASSERT_TRUE(half && half->fill);
  const TileBox& track = half->track;
  EXPECT_DOUBLE_EQ(track.x, 128 * 0.09);
  EXPECT_DOUBLE_EQ(track.width, 128 - 2 * 128 * 0.09);
  EXPECT_DOUBLE_EQ(track.height, 128 * 0.12);
  // 55 % of the bar's height above the bottom edge.
  EXPECT_DOUBLE_EQ(128 - (track.y + track.height), 128 * 0.12 * 0.55);
  EXPECT_DOUBLE_EQ(half->fill->x + half->fill->y, track.x + track.y + 4);
  EXPECT_DOUBLE_EQ(half->fill->width, (track.width - 4) / 2);
  EXPECT_DOUBLE_EQ(half->fill->radius, (track.height - 4) / 2);

  EXPECT_DOUBLE_EQ(progress_bar(128, 128, 1.7)->fill->width, track.width - 4);
  // A fill of at most half a unit is not drawn; the track is. A narrow one is rounded by its
  // width.
  double inner = track.width - 4;
  EXPECT_FALSE(progress_bar(128, 128, 0.5 / inner)->fill);
  EXPECT_DOUBLE_EQ(progress_bar(128, 128, 1.0 / inner)->fill->radius, 0.5);
  EXPECT_FALSE(progress_bar(128, 128, -0.01));
}

TEST(Dock, BadgeCountAndBox) {
  EXPECT_EQ(badge_count("42"), 42);
  EXPECT_EQ(badge_count("007"), 7);
  for (const char* text : {"", "-1", "3 new", "1234567890123456789"})
    EXPECT_FALSE(badge_count(text)) << text;
  // A short text sits in a circle in the top-right corner; long ones grow a pill leftwards,
  // never wider than the tile.
  TileBox dot = badge_box(128, 128, 5), pill = badge_box(128, 128, 60);
  EXPECT_DOUBLE_EQ(dot.width, dot.height);
  EXPECT_DOUBLE_EQ(dot.x + dot.width + dot.y, 128);
  EXPECT_GT(pill.width, dot.width);
  EXPECT_DOUBLE_EQ(pill.x + pill.width, 128);
  EXPECT_DOUBLE_EQ(badge_box(128, 128, 5000).width, 128);
}

TEST(Dock, AttentionEndsByFocusOrByItsOwnTimer) {
  Attention a;
  unsigned first = a.request(false);
  unsigned second = a.request(false);
  EXPECT_FALSE(a.expire(first));  // a later request has a timer of its own
  EXPECT_TRUE(a.expire(second));
  EXPECT_FALSE(a.urgent);
  unsigned info = a.request(false);
  a.request(true);
  EXPECT_FALSE(a.expire(info));  // critical lasts until the app is focused
  EXPECT_TRUE(a.focused());
  EXPECT_FALSE(a.urgent);
  EXPECT_FALSE(a.focused());
  unsigned after = a.request(false);  // focus ended the critical request too
  EXPECT_TRUE(a.expire(after));
}

TEST(Dock, Records) {
  EXPECT_EQ(icon_debug_json({true, 16, 12, true, "/i \"x\".png"}),
            "{\"set\":true,\"width\":16,\"height\":12,\"hasDevDefault\":true,"
            "\"env\":\"/i \\\"x\\\".png\"}");
  EXPECT_EQ(icon_debug_json({false, 16, 12, false, ""}),
            "{\"set\":false,\"width\":0,\"height\":0,\"hasDevDefault\":false,\"env\":\"\"}");
  EXPECT_EQ(pdf_ok_json("/t/a\"b.pdf"), "{\"ok\":true,\"path\":\"/t/a\\\"b.pdf\",\"error\":null}");
  int w, h;
  icon_keep_size(16, 12, 256, w, h);
  EXPECT_EQ(w * 1000 + h, 16012);
  icon_keep_size(5000, 1, 256, w, h);
  EXPECT_EQ(w * 1000 + h, 256001);  // never below one pixel
}
