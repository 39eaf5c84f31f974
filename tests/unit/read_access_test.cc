#include <gtest/gtest.h>

#include <set>

#include "launcher/read_access.h"

namespace {

std::string root(const std::string& file, const std::string& ra, std::set<std::string> dirs = {}) {
  return kelo_read_access_path(file, ra, [&](const std::string& d) { return dirs.count(d) > 0; });
}

}  // namespace

TEST(ReadAccess, FolderOrParentWithShared) {
  EXPECT_EQ(root("/app/front/index.html", ""), "/app/front");
  EXPECT_EQ(root("/app/front/index.html", "", {"/app/shared"}), "/app");
  EXPECT_EQ(root("/index.html", ""), "/");
  EXPECT_EQ(root("/front/index.html", "", {"/shared"}), "/");
}

TEST(ReadAccess, ConfiguredFolderWidensOrMeetsTheRoot) {
  EXPECT_EQ(root("/app/front/index.html", "/app/front/"), "/app/front");
  EXPECT_EQ(root("/app/front/index.html", "/app"), "/app");
  EXPECT_EQ(root("/app/front/index.html", "/"), "/");
  // Not an ancestor: the longest common leading run of components.
  EXPECT_EQ(root("/app/front/index.html", "/app/data"), "/app");
  EXPECT_EQ(root("/app/front/index.html", "/srv/data"), "/");
  // A configured folder inside the root narrows nothing; the common run is the configured one.
  EXPECT_EQ(root("/app/front/index.html", "/app/front/assets"), "/app/front");
  // A sibling with a common name prefix is not an ancestor.
  EXPECT_EQ(root("/app/front/index.html", "/app/fr"), "/app");
  EXPECT_EQ(root("/app/front/index.html", "/app/./x/../front"), "/app/front");
}

TEST(ReadAccess, PathsAndWebAddresses) {
  EXPECT_EQ(standardize_path("/a//b/./c/../"), "/a/b");
  EXPECT_TRUE(is_web_address("https://a.example/"));
  EXPECT_TRUE(is_web_address("http://127.0.0.1:8080"));
  EXPECT_FALSE(is_web_address("HTTPS://a.example/"));
  EXPECT_FALSE(is_web_address("/srv/http://x.html"));
  EXPECT_FALSE(is_web_address("file:///x.html"));
}

TEST(ReadAccess, PathInsideRoot) {
  EXPECT_TRUE(path_inside("/a/b/c", "/a/b"));
  EXPECT_TRUE(path_inside("/a/b", "/a/b"));
  EXPECT_TRUE(path_inside("/x", "/"));
  EXPECT_FALSE(path_inside("/a/bc", "/a/b"));
  EXPECT_FALSE(path_inside("/a", "/a/b"));
  EXPECT_FALSE(path_inside("/a/b", ""));
}
