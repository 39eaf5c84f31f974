#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "system/clipboard.h"

namespace {

std::string png_header(uint32_t w, uint32_t h) {
  std::string b("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
  for (uint32_t v : {w, h}) {
    for (int s = 24; s >= 0; s -= 8)
      b.push_back(static_cast<char>(v >> s));
  }
  return b;
}

}  // namespace

TEST(ClipLines, WriteWatchAndDragFields) {
  std::string line = "CLIPWRITE a\\tb\t<b>x</b>\t\t#ff0000\t/tmp/one\t\t/tmp/t\\\\wo";
  auto w = parse_clip_write(line, 10);
  EXPECT_EQ(w->text, "a\tb");
  EXPECT_EQ(w->html, "<b>x</b>");
  EXPECT_EQ(w->image, "");
  EXPECT_EQ(w->colour, "#ff0000");
  EXPECT_EQ(w->files, (std::vector<std::string>{"/tmp/one", "/tmp/t\\wo"}));
  EXPECT_EQ(parse_clip_write("CLIPWRITE hi", 10)->html, "");

  for (auto [text, ms] : std::vector<std::pair<std::string, int>>{
           {"50", 50}, {" +7x", 7}, {"-20", -20}, {"abc", 0}, {"99999999999999999999", INT_MAX}}) {
    EXPECT_EQ(*parse_clip_watch("CLIPWATCH " + text, 10), ms) << text;
  }

  auto d = parse_dragout("DRAGOUT /i.png\t/a\t\t/b\\tc", 7);
  EXPECT_EQ(d->win, "main");
  EXPECT_EQ(d->icon, "/i.png");
  EXPECT_EQ(d->paths, (std::vector<std::string>{"/a", "/b\tc"}));
  auto at = parse_dragout("DRAGOUT@side \t/a", 7);
  EXPECT_EQ(at->win, "side");
  EXPECT_EQ(at->icon, "");
  EXPECT_EQ(at->paths, std::vector<std::string>{"/a"});
  EXPECT_EQ(parse_dragout("DRAGOUT@side", 7), nullptr);
}

TEST(ClipImage, Base64AndDataUrls) {
  EXPECT_EQ(decode_base64("aGVsbG8="), "hello");
  EXPECT_EQ(decode_base64("aGVs\nbG8"), "hello");  // unknown bytes skipped, padding optional
  EXPECT_EQ(decode_base64("-_8"), std::string("\xfb\xff", 2));
  EXPECT_EQ(decode_base64("a"), std::nullopt);
  EXPECT_EQ(decode_base64("!!!"), std::nullopt);
  EXPECT_EQ(decode_image_field("data:image/png;base64,aGk=", ""), "hi");
  EXPECT_EQ(decode_image_field("", ""), std::nullopt);

  auto dir = std::filesystem::temp_directory_path() / "kelo-clip-test";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "p.png", std::ios::binary) << png_header(640, 480);
  std::string home = dir.string();
  EXPECT_EQ(decode_image_field("~/p.png", home), png_header(640, 480));
  EXPECT_EQ(decode_image_field(home, home), std::nullopt);  // a folder
  EXPECT_EQ(decode_image_field(home + "/missing.png", home), std::nullopt);
  std::filesystem::remove_all(dir);

  auto size = png_size(png_header(640, 480));
  ASSERT_TRUE(size);
  EXPECT_EQ(size->width, 640);
  EXPECT_EQ(size->height, 480);
  EXPECT_FALSE(png_size("GIF89a and more bytes than a header"));
  EXPECT_FALSE(png_size(png_header(0, 5)));
}

TEST(ClipFiles, UriListsBothWays) {
  std::vector<std::string> paths{"/tmp/a b", "/tmp/é%#"};
  std::string body = uri_list_body(paths);
  EXPECT_EQ(body, "file:///tmp/a%20b\r\nfile:///tmp/%C3%A9%25%23\r\n");
  EXPECT_EQ(paths_from_uri_list(body), paths);
  EXPECT_EQ(gnome_copied_files_body({"/x"}), "copy\nfile:///x");
  EXPECT_EQ(paths_from_uri_list("# comment\nhttp://h/x\nfile://other/y\nfile://localhost/z\n"
                                "file:///n%00ul\nfile:///last"),
            (std::vector<std::string>{"/z", "/last"}));
}

TEST(ClipColour, HexAndXColor) {
  auto c = parse_hex_colour("#ff000080");
  ASSERT_TRUE(c);
  EXPECT_EQ(clip_colour_text(*c), "#ff000080");
  EXPECT_EQ(clip_colour_text(*parse_hex_colour("00FF7f")), "#00ff7f");
  for (const char* bad : {"", "#", "12345", "#1234567", "gg0000", "#ff00001"})
    EXPECT_FALSE(parse_hex_colour(bad)) << bad;
  auto back = colour_from_x_color(x_color_data(*c));
  ASSERT_TRUE(back);
  EXPECT_EQ(clip_colour_text(*back), "#ff000080");
  EXPECT_EQ(clip_colour_text(Rgba{0, 0, 0, 0.5}), "#00000080");
  EXPECT_FALSE(colour_from_x_color("short"));
}

TEST(ClipRecord, KindAndFieldOrder) {
  ClipContent c;
  c.count = 7;
  EXPECT_EQ(
      clipboard_json(c),
      R"({"kind":"empty","changeCount":7,"text":null,"html":null,"paths":[],"image":null,)"
      R"("imageSize":null,"color":null,"concealed":false,"sourceApp":null,"sourceURL":null})");
  c.html = "<i>x</i>";
  EXPECT_STREQ(clip_kind(c), "text");
  c.colour = Rgba{1, 1, 1, 1};
  EXPECT_STREQ(clip_kind(c), "color");
  c.image_path = "/tmp/kelojs-clip-1-7.png";
  EXPECT_STREQ(clip_kind(c), "image");
  c.paths = {"/f"};
  c.text = "t\"";
  c.image_size = {3, 2};
  c.concealed = true;
  c.source_app = source_app_json("Editor", "");
  c.source_url = "https://e.x/";
  EXPECT_EQ(clipboard_json(c),
            R"({"kind":"files","changeCount":7,"text":"t\"","html":"<i>x</i>","paths":["/f"],)"
            R"("image":"/tmp/kelojs-clip-1-7.png","imageSize":{"width":3,"height":2},)"
            R"("color":"#ffffff","concealed":true,"sourceApp":{"name":"Editor","bundleId":null},)"
            R"("sourceURL":"https://e.x/"})");
}

TEST(ClipBook, OwnWritesSourcesAndWatch) {
  ClipBook book;
  int asked = 0;
  auto source = [&] { return ++asked, std::string("other"); };
  EXPECT_EQ(book.note_source(source), "other");
  EXPECT_EQ(book.note_source(source), "other");
  EXPECT_EQ(asked, 1);  // noted once per count
  book.watch_from_now();
  EXPECT_EQ(book.tick(), std::nullopt);
  book.wrote("self");
  EXPECT_EQ(book.note_source(source), "self");
  EXPECT_EQ(book.tick(), "CLIPCHANGE 1 1");
  book.changed();
  book.changed();
  EXPECT_EQ(book.tick(), "CLIPCHANGE 3 0");
  EXPECT_EQ(book.tick(), std::nullopt);
  EXPECT_EQ(book.note_source(source), "other");
  EXPECT_EQ(asked, 2);
}

TEST(DragIcon, LargeIconsScaleToFit) {
  auto eq = [](PixelSize s, int w, int h) { return s.width == w && s.height == h; };
  EXPECT_TRUE(eq(drag_icon_size(32, 32), 32, 32));
  EXPECT_TRUE(eq(drag_icon_size(320, 200), 160, 100));
  EXPECT_TRUE(eq(drag_icon_size(100, 1000), 16, 160));
}
