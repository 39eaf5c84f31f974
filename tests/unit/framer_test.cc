#include <gtest/gtest.h>

#include <random>

#include "wire/framer.h"

namespace {

std::vector<std::string> feed_all(LineFramer& f, const std::vector<std::string>& chunks) {
  std::vector<std::string> lines;
  for (const auto& c : chunks) {
    f.feed(c.data(), c.size(), [&](std::string_view l) { lines.emplace_back(l); });
  }
  return lines;
}

}  // namespace

TEST(LineFramer, SeveralLinesInOneReadAndOneLineAcrossReads) {
  LineFramer f;
  EXPECT_EQ(feed_all(f, {"TITLE a\nSIZE 1 2\nQUIT\n"}),
            (std::vector<std::string>{"TITLE a", "SIZE 1 2", "QUIT"}));
  EXPECT_EQ(feed_all(f, {"TIT", "LE ", "b", "\n"}), (std::vector<std::string>{"TITLE b"}));
  EXPECT_EQ(f.pending(), 0u);
}

TEST(LineFramer, KeepsCrAndEmptyLinesAndHoldsAnUnterminatedTail) {
  LineFramer f;
  EXPECT_EQ(feed_all(f, {"x\r\n\n", "tail"}), (std::vector<std::string>{"x\r", ""}));
  EXPECT_EQ(f.pending(), 4u);
}

TEST(LineFramer, AnyChunkingGivesTheSameLines) {
  std::string stream;
  std::vector<std::string> expected;
  for (int i = 0; i < 200; ++i) {
    std::string line = "EVAL line " + std::to_string(i) + std::string(i % 37, 'z');
    expected.push_back(line);
    stream += line + "\n";
  }
  std::mt19937 rng(7);
  for (int round = 0; round < 50; ++round) {
    LineFramer f;
    std::vector<std::string> chunks;
    for (size_t pos = 0; pos < stream.size();) {
      size_t n = std::uniform_int_distribution<size_t>(1, 300)(rng);
      chunks.push_back(stream.substr(pos, n));
      pos += n;
    }
    EXPECT_EQ(feed_all(f, chunks), expected);
  }
}
