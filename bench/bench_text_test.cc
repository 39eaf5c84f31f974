#include <gtest/gtest.h>

#include "bench/bench_text.h"
#include "wire/text.h"

TEST(SplitPosted, TakesOneToFifteenDigitsBeforeTheFirstColon) {
  auto call = split_posted("12:{\"a\":\"x:y\"}");
  ASSERT_TRUE(call);
  EXPECT_EQ(call->number, "12");
  EXPECT_EQ(call->payload, "{\"a\":\"x:y\"}");
  EXPECT_TRUE(split_posted("123456789012345:"));
  EXPECT_FALSE(split_posted("1234567890123456:x"));
  EXPECT_FALSE(split_posted(":x"));
  EXPECT_FALSE(split_posted("1a:x"));
  EXPECT_FALSE(split_posted("12"));
}

TEST(ParsePayload, MethodAndParamsAsTheStringifierWritesThem) {
  auto call = parse_payload(R"({"method":"bench.ping","params":{"i":7,"s":"}"}})");
  ASSERT_TRUE(call);
  EXPECT_EQ(call->method, "bench.ping");
  EXPECT_EQ(call->params, R"({"i":7,"s":"}"})");

  auto bare = parse_payload(R"({"method":"client.hello"})");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->method, "client.hello");
  EXPECT_EQ(bare->params, "null");

  auto escaped = parse_payload(R"({"method":"a\"b","params":[1]})");
  ASSERT_TRUE(escaped);
  EXPECT_EQ(escaped->method, "a\"b");
  EXPECT_EQ(escaped->params, "[1]");

  EXPECT_FALSE(parse_payload(R"({"params":1,"method":"x"})"));
  EXPECT_FALSE(parse_payload(R"({"method":"x","params":})"));
  EXPECT_FALSE(parse_payload(R"({"method":"x")"));
  EXPECT_FALSE(parse_payload("null"));
}

TEST(ParseCallLine, DecodesThePayloadStringOfTheArray) {
  auto call = parse_call_line(
      R"(CALL main:42 ["{\"method\":\"bench.ping\",\"params\":{\"i\":1}}","file://"])");
  ASSERT_TRUE(call);
  EXPECT_EQ(call->call_id, "main:42");
  EXPECT_EQ(call->payload, R"({"method":"bench.ping","params":{"i":1}})");

  auto sub = parse_call_line(R"(CALL w1:s3 ["x","kelo:subframe","null"])");
  ASSERT_TRUE(sub);
  EXPECT_EQ(sub->call_id, "w1:s3");
  EXPECT_EQ(sub->payload, "x");

  EXPECT_FALSE(parse_call_line("RET main:1 0 {}"));
  EXPECT_FALSE(parse_call_line("CALL main:1"));
  EXPECT_FALSE(parse_call_line("CALL main:1 [\"unterminated]"));
  EXPECT_FALSE(parse_call_line("CALL main:1 [\"x\"}"));
  EXPECT_FALSE(parse_call_line("CALL  [\"x\"]"));
}

TEST(JsonString, EscapesRoundTripThroughTheDecoder) {
  std::string text = "quote \" back \\ nl \n tab \t cr \r ctl \x01\x1f end \xc3\xa9";
  std::string literal;
  json_escape_to(literal, text);  // the launcher's escaper: the bench must read what it writes
  EXPECT_EQ(literal.find('\n'), std::string::npos);
  EXPECT_NE(literal.find("\\u0001"), std::string::npos);
  size_t pos = 0;
  std::string back;
  ASSERT_TRUE(decode_json_string(literal, pos, back));
  EXPECT_EQ(back, text);
  EXPECT_EQ(pos, literal.size());
}

TEST(JsonString, DecodesUnicodeEscapesToUtf8) {
  std::string out;
  size_t pos = 0;
  ASSERT_TRUE(decode_json_string(R"("\u00e9\u20ac\ud83d\ude00\/")", pos, out));
  EXPECT_EQ(out, "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80/");
  pos = 0;
  ASSERT_TRUE(decode_json_string(R"("\ud83dx")", pos, out));
  EXPECT_EQ(out, "\xef\xbf\xbdx");  // a lone surrogate becomes U+FFFD
  for (const char* bad : {R"("\u12")", R"("\x")", "\"a", "x\"", "\"a\nb\""}) {
    pos = 0;
    EXPECT_FALSE(decode_json_string(bad, pos, out)) << bad;
  }
}

TEST(JsonNumbers, ReadsTheValueAfterTheKey) {
  std::string_view json = R"({"seqMs":612.5,"bad":0,"lat":[0.25,-1e-3,3],"none":[]})";
  EXPECT_EQ(json_number(json, "seqMs"), 612.5);
  EXPECT_EQ(json_number(json, "bad"), 0);
  EXPECT_FALSE(json_number(json, "missing"));
  EXPECT_FALSE(json_number(json, "lat"));
  auto lat = json_numbers(json, "lat");
  ASSERT_TRUE(lat);
  EXPECT_EQ(*lat, (std::vector<double>{0.25, -0.001, 3}));
  EXPECT_EQ(json_numbers(json, "none"), std::vector<double>{});
  EXPECT_FALSE(json_numbers(R"({"a":[1,2)", "a"));
  EXPECT_FALSE(json_numbers(R"({"a":[1,,2]})", "a"));
}

TEST(ParseIntegers, BlankSeparatedOnly) {
  EXPECT_EQ(parse_integers("0 15 -3 9000000000"), (std::vector<int64_t>{0, 15, -3, 9000000000}));
  EXPECT_EQ(parse_integers(""), std::vector<int64_t>{});
  EXPECT_FALSE(parse_integers("1  2"));
  EXPECT_FALSE(parse_integers("1 "));
  EXPECT_FALSE(parse_integers("1,2"));
  EXPECT_FALSE(parse_integers("x"));
}

TEST(Quantiles, NearestRankAndMedian) {
  std::vector<double> hundred;
  for (int i = 1; i <= 100; ++i)
    hundred.push_back(i);
  EXPECT_EQ(quantile(hundred, 0.5), 50);
  EXPECT_EQ(quantile(hundred, 0.99), 99);
  EXPECT_EQ(quantile(hundred, 1.0), 100);
  EXPECT_EQ(quantile(hundred, 0.0), 1);
  EXPECT_EQ(quantile({7}, 0.99), 7);
  EXPECT_EQ(quantile({}, 0.5), 0);
  EXPECT_EQ(median({5, 1, 3}), 3);
  EXPECT_EQ(median({4, 1, 3, 2}), 2.5);
}
