#include <gtest/gtest.h>

#include <set>
#include <string>

#include "windows/downloads.h"

TEST(Downloads, EventFieldsInOrder) {
  EXPECT_EQ(download_event(1, "http://a/r.pdf", "r.pdf", "/d/r.pdf", "started"),
            "DOWNLOAD {\"id\":1,\"url\":\"http://a/r.pdf\",\"filename\":\"r.pdf\","
            "\"path\":\"/d/r.pdf\",\"state\":\"started\"}");
  EXPECT_EQ(download_event(2, "", "x", "", "denied"),
            "DOWNLOAD {\"id\":2,\"url\":\"\",\"filename\":\"x\",\"path\":null,"
            "\"state\":\"denied\"}");
  EXPECT_EQ(download_event(3, "u", "f", "/p", "progress", "", 0, 0),
            "DOWNLOAD {\"id\":3,\"url\":\"u\",\"filename\":\"f\",\"path\":\"/p\","
            "\"state\":\"progress\",\"bytes\":0,\"total\":-1}");
  EXPECT_EQ(download_event(4, "u", "f", "/p", "progress", "", 5000000000, 6000000000),
            "DOWNLOAD {\"id\":4,\"url\":\"u\",\"filename\":\"f\",\"path\":\"/p\","
            "\"state\":\"progress\",\"bytes\":5000000000,\"total\":6000000000}");
  EXPECT_EQ(download_event(5, "u", "a\"b\n", "/p", "failed", "Network \"error\""),
            "DOWNLOAD {\"id\":5,\"url\":\"u\",\"filename\":\"a\\\"b\\n\",\"path\":\"/p\","
            "\"state\":\"failed\",\"error\":\"Network \\\"error\\\"\"}");
  EXPECT_EQ(download_event(6, "u", "f", "/p", "progress", "e", 1, 2),
            "DOWNLOAD {\"id\":6,\"url\":\"u\",\"filename\":\"f\",\"path\":\"/p\","
            "\"state\":\"progress\",\"bytes\":1,\"total\":2,\"error\":\"e\"}");
}

TEST(Downloads, NamesAreNeverPaths) {
  EXPECT_EQ(download_file_name("report.pdf"), "report.pdf");
  EXPECT_EQ(download_file_name(""), "download");
  EXPECT_EQ(download_file_name("."), "download");
  EXPECT_EQ(download_file_name(".."), "download");
  EXPECT_EQ(download_file_name("../../.bashrc"), ".._.._.bashrc");
  EXPECT_EQ(download_file_name("/etc/passwd"), "_etc_passwd");
}

TEST(Downloads, Extensions) {
  using P = std::pair<std::string, std::string>;
  EXPECT_EQ(split_extension("report.pdf"), (P{"report", "pdf"}));
  EXPECT_EQ(split_extension("a.tar.gz"), (P{"a.tar", "gz"}));
  EXPECT_EQ(split_extension("notes"), (P{"notes", ""}));
  EXPECT_EQ(split_extension(".profile"), (P{".profile", ""}));
  EXPECT_EQ(split_extension("odd."), (P{"odd.", ""}));
  EXPECT_EQ(with_extension("data", "zip"), "data.zip");
  EXPECT_EQ(with_extension("data.bin", "zip"), "data.bin");
  EXPECT_EQ(with_extension("data", ""), "data");
}

TEST(Downloads, MimeExtensionTakesTheFirstSimpleGlobOfTheType) {
  const char* globs =
      "# comment\n"
      "80:application/x-thing:*.thing.gz\n"
      "50:application/pdf:*.pdf\n"
      "50:application/zip:*.zip:cs\n"
      "50:text/x-makefile:makefile\n"
      "50:text/x-makefile:*.mk\n"
      "50:application/x-thing:*.thing\n"
      "broken line\n"
      "50:image/jpeg:*.jpg\n"
      "50:image/jpeg:*.jpeg";
  EXPECT_EQ(mime_extension(globs, "application/pdf"), "pdf");
  EXPECT_EQ(mime_extension(globs, "application/zip"), "zip");
  EXPECT_EQ(mime_extension(globs, "text/x-makefile"), "mk");
  EXPECT_EQ(mime_extension(globs, "application/x-thing"), "thing");
  EXPECT_EQ(mime_extension(globs, "image/jpeg"), "jpg");
  EXPECT_EQ(mime_extension(globs, "application/pd"), "");
  EXPECT_EQ(mime_extension(globs, ""), "");
  EXPECT_EQ(mime_extension("", "application/pdf"), "");
}

TEST(Downloads, UniqueNamesCountFromTwoAndStopAt999) {
  std::set<std::string> files;
  auto exists = [&](const std::string& p) { return files.count(p) > 0; };
  EXPECT_EQ(unique_download_name("/d", "report.pdf", exists), "report.pdf");
  files = {"/d/report.pdf"};
  EXPECT_EQ(unique_download_name("/d", "report.pdf", exists), "report (2).pdf");
  EXPECT_EQ(unique_download_name("/d/", "report.pdf", exists), "report (2).pdf");
  files = {"/d/notes", "/d/notes (2)"};
  EXPECT_EQ(unique_download_name("/d", "notes", exists), "notes (3)");

  files = {"/d/a.txt"};
  for (int i = 2; i <= 1000; ++i)
    files.insert("/d/a (" + std::to_string(i) + ").txt");
  EXPECT_EQ(unique_download_name("/d", "a.txt", exists), "a (999).txt");
  files.erase("/d/a (998).txt");
  EXPECT_EQ(unique_download_name("/d", "a.txt", exists), "a (998).txt");
}

TEST(Downloads, ProgressAtMostEvery250ms) {
  double last = 0;
  EXPECT_TRUE(progress_due(last, 10));  // the first always passes
  EXPECT_FALSE(progress_due(last, 259.9));
  EXPECT_TRUE(progress_due(last, 260));
  EXPECT_FALSE(progress_due(last, 300));
  EXPECT_EQ(last, 260);
}
