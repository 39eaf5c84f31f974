// The image services' logic: request lines, replies, sizes, the recorder's phases, the preview
// list and the work queue.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <future>

#include "services/capture.h"
#include "services/ocr.h"
#include "services/pickcolor.h"
#include "services/quicklook.h"
#include "services/record.h"
#include "services/thumb.h"
#include "services/work_queue.h"

namespace {

template <auto Parse>
auto parse(std::string_view line) {
  return Parse(line, line.find(' ') == std::string_view::npos ? line.size() : line.find(' ') + 1);
}

}  // namespace

TEST(CaptureRequests, HeadsAndFieldsAsTheWireWritesThem) {
  auto cap = parse<parse_capture>("CAPTURE c1 4294967296");
  EXPECT_EQ(cap->id, "c1");
  EXPECT_EQ(cap->display, 4294967296);
  cap = parse<parse_capture>("CAPTURE c2");
  EXPECT_EQ(cap->id, "c2");
  EXPECT_EQ(cap->display, 0);
  EXPECT_EQ(parse<parse_capture>("CAPTURE c3 99999999999999999999")->display, INT64_MAX);

  auto rec = parse<parse_record>("RECORD r1 start 42\t/tmp/a\\tb.mp4");
  ASSERT_TRUE(rec);
  EXPECT_TRUE(rec->start);
  EXPECT_EQ(rec->display, 42);
  EXPECT_EQ(rec->path, "/tmp/a\tb.mp4");
  for (const char* stop : {"RECORD r2 stop", "RECORD r2 start", "RECORD r2 "}) {
    rec = parse<parse_record>(stop);
    ASSERT_TRUE(rec) << stop;
    EXPECT_FALSE(rec->start) << stop;
    EXPECT_EQ(rec->id, "r2");
  }
  EXPECT_FALSE(parse<parse_record>("RECORD r3"));

  auto ocr = parse<parse_ocr>("OCR o1 /tmp/with blank\\\\x.png");
  EXPECT_EQ(ocr->path, "/tmp/with blank\\x.png");
  EXPECT_FALSE(parse<parse_ocr>("OCR o2"));

  auto thumb = parse<parse_thumb>("THUMB t1 /a\\nb\t-1");
  EXPECT_EQ(thumb->path, "/a\nb");
  EXPECT_EQ(thumb->size, -1);
  EXPECT_EQ(parse<parse_thumb>("THUMB t2 /a")->size, 0);
  EXPECT_FALSE(parse<parse_thumb>("THUMB t3"));

  EXPECT_EQ(*parse<parse_pickcolor>("PICKCOLOR p 1"), "p 1");

  EXPECT_TRUE(parse_quicklook("QUICKLOOK", 9)->paths.empty());
  auto ql = parse_quicklook("QUICKLOOK /a\t\t/b\\tc\t", 9);
  EXPECT_EQ(ql->paths, (std::vector<std::string>{"/a", "/b\tc"}));
}

TEST(CaptureFiles, RequestIdsCannotLeaveTheTemporaryFolder) {
  EXPECT_EQ(temp_png_path("/tmp", "shot", 12, "a-1_b.c"), "/tmp/kelojs-shot-12-a-1_b.c.png");
  EXPECT_EQ(temp_png_path("/var/tmp/", "thumb", 7, "../../etc/x y"),
            "/var/tmp/kelojs-thumb-7-.._.._etc_x_y.png");
}

TEST(CaptureScreens, DisplayZeroIsTheFirstAndPixelsScale) {
  std::vector<ScreenInfo> screens(2);
  screens[0].id = 70;
  screens[1].id = 71;
  screens[1].frame = {1920, 0, 1280, 1024};
  screens[1].scale = 2;
  EXPECT_EQ(screen_for_display(screens, 0), 0);
  EXPECT_EQ(screen_for_display(screens, 71), 1);
  EXPECT_EQ(screen_for_display(screens, 5), -1);
  EXPECT_EQ(screen_for_display({}, 0), -1);
  PixelRect r = screen_pixels(screens[1], 10, 0);
  EXPECT_EQ(r.x, 3860);
  EXPECT_EQ(r.width, 2560);
  EXPECT_EQ(r.height, 2048);
}

TEST(OcrReply, LinesNormalisedToTheImageWithTheirTextJoined) {
  std::vector<OcrLine> lines = {
      {"Hello world \n", 91.26, 10, 20, 110, 40},
      {"  \n", 50, 0, 0, 5, 5},                 // blanks only: no block
      {"tab\"quote\n", 140, -5, 90, 250, 120},  // confidence and box clamped to the image
  };
  EXPECT_EQ(ocr_reply_json(lines, 200, 100),
            "{\"ok\":true,\"text\":\"Hello world\\ntab\\\"quote\",\"blocks\":["
            "{\"text\":\"Hello world\",\"confidence\":0.913,\"box\":{\"x\":0.0500,\"y\":0.2000,"
            "\"width\":0.5000,\"height\":0.2000}},"
            "{\"text\":\"tab\\\"quote\",\"confidence\":1.000,\"box\":{\"x\":0.0000,\"y\":0.9000,"
            "\"width\":1.0000,\"height\":0.1000}}]}");
  EXPECT_EQ(ocr_reply_json({}, 1, 1), "{\"ok\":true,\"text\":\"\",\"blocks\":[]}");
}

TEST(OcrReply, HugeImagesAreRefusedBeforeTheyAreRead) {
  EXPECT_FALSE(ocr_size_error(1, 1));
  EXPECT_FALSE(ocr_size_error(8000, 5000));
  auto refused = ocr_size_error(20000, 20000);
  ASSERT_TRUE(refused);
  EXPECT_NE(refused->find("20000x20000"), std::string::npos);
}

TEST(Thumbnails, BoxesAtScaleTwoWithBoundedSizes) {
  EXPECT_EQ(thumb_box_pixels(0), 512);
  EXPECT_EQ(thumb_box_pixels(-1), 512);
  EXPECT_EQ(thumb_box_pixels(64), 128);
  EXPECT_EQ(thumb_box_pixels(100000), 2048);

  auto fit = fit_in_box(400, 200, 100);
  EXPECT_EQ(fit.width, 100);
  EXPECT_EQ(fit.height, 50);
  fit = fit_in_box(30, 20, 512);  // never enlarged
  EXPECT_EQ(fit.width, 30);
  fit = fit_in_box(10000, 1, 100);
  EXPECT_EQ(fit.height, 1);

  EXPECT_EQ(thumb_cache_size_for(128), 0);
  EXPECT_EQ(thumb_cache_size_for(129), 1);
  EXPECT_EQ(thumb_cache_size_for(512), 2);
  EXPECT_EQ(thumb_cache_size_for(2048), 3);
}

TEST(PickColor, ComponentsRoundToTheNearestByte) {
  EXPECT_EQ(color_hex(0.2, 0.4, 0.6), "#336699");
  EXPECT_EQ(color_hex(1.0 / 510, 1.5, -0.2), "#01ff00");
  EXPECT_EQ(color_hex(std::nan(""), 0, 1), "#0000ff");
  EXPECT_EQ(pickcolor_json("#336699"), "{\"ok\":true,\"color\":\"#336699\"}");
  EXPECT_EQ(pickcolor_json(std::nullopt), "{\"ok\":true,\"color\":null}");
}

TEST(Recorder, OneRecordingAtATimeThroughItsPhases) {
  RecordMachine m;
  EXPECT_EQ(m.begin_stop(), "not recording");
  EXPECT_FALSE(m.begin_start());
  EXPECT_EQ(m.begin_start(), "already recording");  // while starting
  m.start_done(true);
  EXPECT_EQ(m.begin_start(), "already recording");
  m.frame(1'000'000'000);
  m.frame(3'500'250'000);
  EXPECT_FALSE(m.begin_stop());
  EXPECT_EQ(m.begin_stop(), "not recording");  // while stopping
  EXPECT_EQ(m.stop_done("/r.mp4", {true, ""}),
            "{\"ok\":true,\"path\":\"/r.mp4\",\"duration\":2.500,\"error\":null}");
  EXPECT_EQ(m.phase(), RecPhase::Idle);

  // A failed start goes back to idle; a new recording starts its timeline afresh.
  EXPECT_FALSE(m.begin_start());
  m.start_done(false);
  EXPECT_EQ(m.begin_stop(), "not recording");
  EXPECT_FALSE(m.begin_start());
  m.start_done(true);
  EXPECT_FALSE(m.begin_stop());
  EXPECT_EQ(m.stop_done("/r.mp4", {true, ""}), "{\"ok\":false,\"error\":\"no frames captured\"}");

  EXPECT_FALSE(m.begin_start());
  m.start_done(true);
  m.frame(5);
  EXPECT_FALSE(m.begin_stop());
  EXPECT_EQ(m.stop_done("/r.mp4", {false, "disk full"}), "{\"ok\":false,\"error\":\"disk full\"}");
}

TEST(Preview, MovesStopAtTheEnds) {
  PreviewList list;
  list.assign({"/a"});
  EXPECT_EQ(list.position(), "");
  EXPECT_FALSE(list.next());
  list.assign({"/a", "/b", "/c"});
  EXPECT_FALSE(list.previous());
  EXPECT_TRUE(list.next());
  EXPECT_TRUE(list.next());
  EXPECT_FALSE(list.next());
  EXPECT_EQ(list.current(), "/c");
  EXPECT_EQ(list.position(), "3 of 3");
  list.assign({"/d", "/e"});
  EXPECT_EQ(list.current(), "/d");
}

TEST(WorkQueues, OneThreadKeepsOrderAndMoreRunJobsTogether) {
  std::vector<int> order;
  {
    WorkQueue serial(1);
    for (int i = 0; i < 50; ++i)
      serial.post([&order, i] { order.push_back(i); });
  }  // the destructor runs what was posted
  ASSERT_EQ(order.size(), 50u);
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));

  // Each job waits for the other: both see it only when they run at once.
  std::promise<void> a, b;
  std::atomic<int> met{0};
  auto meet = [&met](std::promise<void>& mine, std::promise<void>& other) {
    mine.set_value();
    if (other.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::ready) ++met;
  };
  {
    WorkQueue pool(2);
    pool.post([&] { meet(a, b); });
    pool.post([&] { meet(b, a); });
  }
  EXPECT_EQ(met, 2);
}
