#include <gtest/gtest.h>

#include "launcher/open_urls.h"

TEST(OpenUrls, ClassifiesArguments) {
  auto c = [](const std::string& a) {
    OpenItem i = classify_open_arg(a, "/home/u");
    return std::string(i.is_file ? "file:" : "url:") + i.text;
  };
  EXPECT_EQ(c("https://x.example/a?b"), "url:https://x.example/a?b");
  EXPECT_EQ(c("myapp:open/1"), "url:myapp:open/1");
  EXPECT_EQ(c("file:///tmp/a%20b.txt"), "file:/tmp/a b.txt");
  EXPECT_EQ(c("file://localhost/tmp/x"), "file:/tmp/x");
  EXPECT_EQ(c("notes.txt"), "file:/home/u/notes.txt");
  EXPECT_EQ(c("../x/./y"), "file:/home/x/y");
  EXPECT_EQ(c("/abs/p"), "file:/abs/p");
  EXPECT_EQ(c("C:x"), "file:/home/u/C:x");
}

TEST(OpenUrls, UrlsInOrderThenOneFilesLine) {
  std::vector<OpenItem> items = {
      {false, "https://a/"}, {true, "/x \"q\""}, {false, "app:b"}, {true, "/y"}};
  EXPECT_EQ(open_event_lines(items),
            (std::vector<std::string>{"OPENURL https://a/", "OPENURL app:b",
                                      "OPENFILES [\"/x \\\"q\\\"\",\"/y\"]"}));
  EXPECT_EQ(open_event_lines({{false, "u:1"}}), (std::vector<std::string>{"OPENURL u:1"}));
  EXPECT_TRUE(open_event_lines({}).empty());
}
