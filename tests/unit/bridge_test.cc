#include <gtest/gtest.h>

#include "bridge/bridge.h"

TEST(CallLine, MainFrameAndSubframeShapes) {
  PageMessage m{"7:{\"method\":\"win.setTitle\"}", false, "https://a.example:8443"};
  EXPECT_EQ(build_call_line("main", m),
            "CALL main:7 [\"{\\\"method\\\":\\\"win.setTitle\\\"}\",\"https://a.example:8443\"]");
  PageMessage sub{"3:x:y", true, "null"};
  EXPECT_EQ(build_call_line("side", sub), "CALL side:s3 [\"x:y\",\"kelo:subframe\",\"null\"]");
  // Raw control characters in the payload are escaped, so the line never breaks.
  PageMessage ctl{"1:a\nb\x01", false, "file://"};
  EXPECT_EQ(build_call_line("main", ctl), "CALL main:1 [\"a\\nb\\u0001\",\"file://\"]");
}

TEST(CallLine, CallNumberRules) {
  auto line = [](std::string_view body) {
    return build_call_line("main", PageMessage{body, false, "null"});
  };
  EXPECT_TRUE(line("123456789012345:p").has_value());
  EXPECT_FALSE(line("1234567890123456:p").has_value());
  EXPECT_FALSE(line(":p").has_value());
  EXPECT_FALSE(line("12").has_value());
  EXPECT_FALSE(line("1a:p").has_value());
  EXPECT_FALSE(line("-1:p").has_value());
  EXPECT_EQ(line("5:"), "CALL main:5 [\"\",\"null\"]");
}

TEST(ReplyTarget, LoopbackPageAndIgnored) {
  auto t = parse_reply_target("q42");
  EXPECT_EQ(t.kind, ReplyTarget::Kind::Loopback);
  EXPECT_EQ(t.id, "42");
  t = parse_reply_target("main:7");
  EXPECT_EQ(t.kind, ReplyTarget::Kind::Page);
  EXPECT_EQ(t.id, "main");
  EXPECT_EQ(t.number, "7");
  t = parse_reply_target(":9");
  EXPECT_EQ(t.kind, ReplyTarget::Kind::Page);
  EXPECT_EQ(t.id, "");
  EXPECT_EQ(parse_reply_target("q1:2").kind, ReplyTarget::Kind::Page);  // not all digits
  for (const char* ignored : {"q", "qx1", "main", "main:", "main:s3", "main:3x"}) {
    EXPECT_EQ(parse_reply_target(ignored).kind, ReplyTarget::Kind::Ignore) << ignored;
  }
}

TEST(ResolveScript, PassesTheJsonAsAStringLiteral) {
  EXPECT_EQ(resolve_script("7", true, "{\"a\":\"b\\n\"}"),
            "window.__keloResolve(7,true,\"{\\\"a\\\":\\\"b\\\\n\\\"}\")");
  EXPECT_EQ(resolve_script("8", false, "</script>"), "window.__keloResolve(8,false,\"</script>\")");
}

TEST(Bootstrap, NamesItsWindowAndGuardsAgainstASecondRun) {
  std::string js = kelo_shim_js("side");
  EXPECT_NE(js.find("window.__KELO_WIN=\"side\";"), std::string::npos);
  EXPECT_NE(kelo_shim_js("q'x\\\"").find(R"(window.__KELO_WIN="q'x\\\"";)"), std::string::npos);
  EXPECT_EQ(js.rfind("(function(){if(window.__keloShim)return;", 0), 0u);
}
