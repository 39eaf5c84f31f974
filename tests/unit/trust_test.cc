#include <gtest/gtest.h>

#include "media/trust.h"

TEST(MediaGlob, StarsAndExactCharacters) {
  EXPECT_TRUE(media_glob("https://*.example.com", "https://a.b.example.com"));
  EXPECT_TRUE(media_glob("*", ""));
  EXPECT_TRUE(media_glob("a*b*c", "abc"));
  EXPECT_TRUE(media_glob("a*b*c", "a--b--b--c"));
  EXPECT_FALSE(media_glob("a*b*c", "a--b--b--"));
  EXPECT_FALSE(media_glob("https://x.com", "https://x.com:8443"));
  EXPECT_FALSE(media_glob("HTTPS://X", "https://x"));  // case matters
  EXPECT_FALSE(media_glob("a?c", "abc"));              // no other wildcards
  // Many stars against a long text that does not match stays fast.
  std::string text(5000, 'a');
  EXPECT_FALSE(media_glob("*a*a*a*a*a*a*a*a*a*a*b", text));
}

TEST(MediaTrusted, FileAlwaysElseAMatchingRuleOfThatCapability) {
  TrustRules rules = {{"camera", "https://*.meet.example"}, {"proxy", "*"}};
  EXPECT_TRUE(media_trusted({}, "camera", "file://"));
  EXPECT_TRUE(media_trusted(rules, "camera", "https://a.meet.example"));
  EXPECT_FALSE(media_trusted(rules, "microphone", "https://a.meet.example"));
  EXPECT_FALSE(media_trusted(rules, "camera", "http://a.meet.example"));
  EXPECT_TRUE(media_trusted(rules, "proxy", "null"));
  EXPECT_FALSE(media_trusted(rules, "file", "null"));
}

TEST(CaptureTrusted, ThePageAndEveryAskingFrame) {
  TrustRules rules = {{"camera", "https://meet.example"},
                      {"microphone", "https://meet.example"},
                      {"camera", "https://cam.example"}};
  const std::string meet = "https://meet.example", cam = "https://cam.example",
                    ad = "https://ad.example";
  EXPECT_TRUE(capture_trusted(rules, true, true, meet, {meet}));
  EXPECT_TRUE(capture_trusted(rules, true, false, meet, {meet, cam}));
  EXPECT_FALSE(capture_trusted(rules, true, true, meet, {meet, cam}));  // no microphone for cam
  EXPECT_FALSE(capture_trusted(rules, true, false, meet, {ad}));        // an untrusted frame
  EXPECT_FALSE(capture_trusted(rules, true, false, ad, {meet}));        // an untrusted page
  EXPECT_FALSE(capture_trusted(rules, true, false, meet, {}));          // nobody known asked
  EXPECT_TRUE(capture_trusted({}, false, true, "file://", {"file://"}));
}

TEST(UrlOrigin, SchemesHostsAndPorts) {
  EXPECT_EQ(url_origin_str("HTTPS://Example.COM:443/a?b"), "https://example.com");
  EXPECT_EQ(url_origin_str("http://example.com:80/"), "http://example.com");
  EXPECT_EQ(url_origin_str("http://example.com:443/"), "http://example.com:443");
  EXPECT_EQ(url_origin_str("https://user:pw@host:8443#x"), "https://host:8443");
  EXPECT_EQ(url_origin_str("http://[::1]:8080/"), "http://[::1]:8080");
  EXPECT_EQ(url_origin_str("file:///tmp/a.html"), "file://");
  EXPECT_EQ(url_origin_str("about:blank"), "about://");
  EXPECT_EQ(url_origin_str(""), "null");
  EXPECT_EQ(url_origin_str("/no/scheme"), "null");
}
