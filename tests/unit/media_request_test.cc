#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "media/media_request.h"

namespace fs = std::filesystem;

TEST(MediaRequest, HostFileServesFilesEveryOtherHostProxies) {
  EXPECT_EQ(media_kind("kelo-media://file/tmp/a.mp3"), MediaKind::File);
  EXPECT_EQ(media_kind("kelo-media://file"), MediaKind::File);
  EXPECT_EQ(media_kind("kelo-media://proxy/?u=x"), MediaKind::Proxy);
  EXPECT_EQ(media_kind("kelo-media://FILE/tmp/a.mp3"), MediaKind::Proxy);
  EXPECT_EQ(media_kind("kelo-media://files/a"), MediaKind::Proxy);
  EXPECT_EQ(media_kind("kelo-media:file/a"), MediaKind::Proxy);
}

TEST(MediaRequest, ErrorTable) {
  struct Row {
    MediaError error;
    int code;
    const char* text;
  };
  const Row rows[] = {
      {MediaError::FileUntrusted, 403, "kelo.fileURL: this origin may not read local files"},
      {MediaError::ProxyUntrusted, 403, "kelo.proxyURL: this origin may not use the media proxy"},
      {MediaError::NoReadAccess, 403,
       "kelo.fileURL: a file outside the page's folder needs \"readAccess\" in kelojs.json"},
      {MediaError::OutsideRoot, 403, "kelo.fileURL: file is outside the app's readAccess root"},
      {MediaError::NoSuchFile, 404, "kelo.fileURL: no such file"},
      {MediaError::BadProxyTarget, 400, "kelo.proxyURL: only http/https URLs can be proxied"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(media_error(row.error).code, row.code) << row.text;
    EXPECT_STREQ(media_error(row.error).description, row.text);
  }
  EXPECT_STREQ(kMediaErrorDomain, "kelojs");
}

TEST(MediaRequest, OriginIsTheHeaderAsSentElseThePage) {
  EXPECT_EQ(media_request_origin("https://Other.example", "file:///app/index.html"),
            "https://Other.example");
  EXPECT_EQ(media_request_origin(nullptr, "file:///app/index.html"), "file://");
  EXPECT_EQ(media_request_origin(nullptr, "HTTP://App.Example:80/x"), "http://app.example");
  EXPECT_EQ(media_request_origin(nullptr, ""), "null");
}

TEST(MediaRequest, RefusalsTrustAndDocumentLoads) {
  TrustRules rules = {{"proxy", "https://*.radio.example"}, {"file", "http://127.0.0.1:*"}};
  // Local pages may do both; rules are per capability.
  EXPECT_FALSE(media_refusal(MediaKind::File, "file://", "*/*", {}));
  EXPECT_FALSE(media_refusal(MediaKind::Proxy, "file://", "", {}));
  EXPECT_FALSE(media_refusal(MediaKind::Proxy, "https://a.radio.example", "*/*", rules));
  EXPECT_FALSE(media_refusal(MediaKind::File, "http://127.0.0.1:8080", "*/*", rules));

  auto proxy = media_refusal(MediaKind::Proxy, "http://a.radio.example", "*/*", rules);
  ASSERT_TRUE(proxy);
  EXPECT_EQ(proxy->error, MediaError::ProxyUntrusted);
  EXPECT_EQ(proxy->diagnostic,
            "kelojs: kelo-media proxy refused for http://a.radio.example (not trusted: allow "
            "media.proxy in kelojs.json \"api\".origins)\n");
  auto file = media_refusal(MediaKind::File, "https://a.radio.example", "*/*", rules);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->error, MediaError::FileUntrusted);
  EXPECT_EQ(file->diagnostic,
            "kelojs: kelo-media file refused for https://a.radio.example (not one of the app's "
            "own pages)\n");

  // A document load is refused whoever asks.
  auto doc = media_refusal(MediaKind::File, "file://",
                           "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8", {});
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->error, MediaError::FileUntrusted);
  EXPECT_EQ(doc->diagnostic, "kelojs: kelo-media file refused for file:// (document load)\n");
}

TEST(MediaRequest, ProxyTargetIsTheLastUItemAndHttpOnly) {
  EXPECT_EQ(media_proxy_target("kelo-media://proxy/?u=https%3A%2F%2Fa.example%2Fs%3Fx%3D1%26y"),
            "https://a.example/s?x=1&y");
  EXPECT_EQ(media_proxy_target("kelo-media://proxy/?u=http://a/1&v=2&u=HTTP://b/2#frag"),
            "HTTP://b/2");
  EXPECT_EQ(media_proxy_target("kelo-media://anything?%75=http://a/"), "http://a/");
  EXPECT_FALSE(media_proxy_target("kelo-media://proxy/?u=ftp://a/x"));
  EXPECT_FALSE(media_proxy_target("kelo-media://proxy/?u=file:///etc/passwd"));
  EXPECT_FALSE(media_proxy_target("kelo-media://proxy/?u=a.example/x"));
  EXPECT_FALSE(media_proxy_target("kelo-media://proxy/?u="));
  EXPECT_FALSE(media_proxy_target("kelo-media://proxy/?url=http://a/"));
  EXPECT_FALSE(media_proxy_target("kelo-media://proxy/"));
}

// A real folder tree: root/ with a song, a sub-folder, links in and out; a secret beside root.
class MediaFileTargetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir_template[] = "/tmp/kelo-media-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir_template));
    base_ = fs::canonical(dir_template).string();
    root_ = base_ + "/root";
    fs::create_directories(root_ + "/sub dir");
    write(root_ + "/song.mp3");
    write(root_ + "/sub dir/a b.wav");
    write(base_ + "/secret.txt");
    write(base_ + "/root-twin/x.txt");  // shares root's name as a prefix
    fs::create_symlink(base_ + "/secret.txt", root_ + "/escape.mp3");
    fs::create_symlink(root_ + "/song.mp3", root_ + "/alias.mp3");
    fs::create_symlink(root_, base_ + "/root-link");
  }
  void TearDown() override { fs::remove_all(base_); }

  static void write(const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << "data";
  }
  MediaFileTarget target(const std::string& path, const std::string& root = "") {
    return media_file_target("kelo-media://file" + path, root.empty() ? root_ : root);
  }

  std::string base_, root_;
};

TEST_F(MediaFileTargetTest, FilesInsideTheRootAreServedByTheirResolvedPath) {
  EXPECT_EQ(target(root_ + "/song.mp3").path, root_ + "/song.mp3");
  EXPECT_EQ(target(root_ + "/sub%20dir/a%20b.wav").path, root_ + "/sub dir/a b.wav");
  EXPECT_EQ(target(root_ + "/alias.mp3").path, root_ + "/song.mp3");
  EXPECT_EQ(target(root_ + "/song.mp3?t=1#x").path, root_ + "/song.mp3");
  // The configured root is resolved too.
  EXPECT_EQ(target(root_ + "/song.mp3", base_ + "/root-link/").path, root_ + "/song.mp3");
  EXPECT_EQ(target(base_ + "/secret.txt", "/").path, base_ + "/secret.txt");
}

TEST_F(MediaFileTargetTest, EscapesAreRefusedWithTheDiagnostic) {
  MediaFileTarget link = target(root_ + "/escape.mp3");
  EXPECT_EQ(link.error, MediaError::OutsideRoot);
  EXPECT_EQ(link.diagnostic, "kelojs: kelo-media file refused: " + base_ +
                                 "/secret.txt is outside readAccess (" + root_ + ")\n");
  for (const std::string& path :
       {root_ + "/../secret.txt", root_ + "%2F..%2Fsecret.txt", root_ + "/%2e%2e/secret.txt",
        root_ + "/sub%20dir%2F..%2F..%2Fsecret.txt", base_ + "/root-twin/x.txt"}) {
    EXPECT_EQ(target(path).error, MediaError::OutsideRoot) << path;
  }
}

TEST_F(MediaFileTargetTest, MissingFoldersNulsAndNoRoot) {
  for (const std::string& path : {root_ + "/none.mp3", root_ + "/sub%20dir", root_,
                                  root_ + "/song.mp3%00.txt", std::string("")}) {
    MediaFileTarget t = target(path);
    EXPECT_EQ(t.error, MediaError::NoSuchFile) << path;
    EXPECT_EQ(t.diagnostic, "") << path;
  }
  EXPECT_EQ(media_file_target("kelo-media://file" + root_ + "/song.mp3", "").error,
            MediaError::NoReadAccess);
  // A root that does not exist holds nothing.
  EXPECT_EQ(target(root_ + "/song.mp3", base_ + "/gone").error, MediaError::OutsideRoot);
}
