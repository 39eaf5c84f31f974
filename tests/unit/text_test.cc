#include <gtest/gtest.h>

#include "wire/text.h"

TEST(JsonEscape, EscapesControlsQuotesAndBackslashes) {
  EXPECT_EQ(json_escape(""), "\"\"");
  EXPECT_EQ(json_escape("a\tb\nc\rd"), "\"a\\tb\\nc\\rd\"");
  EXPECT_EQ(json_escape("say \"hi\" \\ bye"), "\"say \\\"hi\\\" \\\\ bye\"");
  EXPECT_EQ(json_escape(std::string("\x01", 1)), "\"\\u0001\"");
  EXPECT_EQ(json_escape(std::string("\0\x1f", 2)), "\"\\u0000\\u001f\"");
  // 0x7F and UTF-8 sequences pass unchanged.
  EXPECT_EQ(json_escape("\x7f\xc3\xa9"), "\"\x7f\xc3\xa9\"");
  EXPECT_EQ(json_escape("/"), "\"/\"");
}

TEST(WireEscape, RoundTripsEveryByte) {
  std::string all;
  for (int c = 0; c < 256; ++c)
    all.push_back(static_cast<char>(c));
  std::string escaped = wire_escape(all);
  EXPECT_EQ(escaped.find('\n'), std::string::npos);
  EXPECT_EQ(escaped.find('\t'), std::string::npos);
  EXPECT_EQ(escaped.find('\r'), std::string::npos);
  EXPECT_EQ(wire_unescape(escaped), all);
  EXPECT_EQ(wire_escape("a\\b\nc\td\re"), "a\\\\b\\nc\\td\\re");
}

TEST(WireUnescape, UnknownEscapesAndTrailingBackslash) {
  EXPECT_EQ(wire_unescape("a\\xb"), "axb");
  EXPECT_EQ(wire_unescape("\\\\n"), "\\n");
  EXPECT_EQ(wire_unescape("end\\"), "end\\");
  EXPECT_EQ(wire_unescape("\\"), "\\");
  EXPECT_EQ(wire_unescape("\\n\\t\\r"), "\n\t\r");
}

TEST(SplitTabs, KeepsEmptyFields) {
  EXPECT_EQ(split_tabs("a\t\tb"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(split_tabs(""), (std::vector<std::string>{""}));
  EXPECT_EQ(split_tabs("\t"), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(split_tabs("one"), (std::vector<std::string>{"one"}));
}

TEST(WireNumbers, FollowCSemantics) {
  EXPECT_EQ(wire_atoi("  42x"), 42);
  EXPECT_EQ(wire_atoi("-7"), -7);
  EXPECT_EQ(wire_atoi("abc"), 0);
  EXPECT_DOUBLE_EQ(wire_atof(" 0.5s"), 0.5);
  EXPECT_DOUBLE_EQ(wire_atof(""), 0.0);
}
