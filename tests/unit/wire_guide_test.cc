#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "wire/dispatcher.h"

// The backend author's guide shows each command with an example line in a "wire" code block
// (a TAB written as "⇥"). Every example must be a command the dispatcher recognises, and every
// verb of the dispatcher's table must have one, so the guide cannot drift from the table.
TEST(WireGuide, EveryCommandOfTheTableHasARecognisedExample) {
  std::ifstream in(KELO_SOURCE_DIR "/docs/wire.md");
  ASSERT_TRUE(in) << "docs/wire.md is missing";
  std::set<Verb> shown;
  bool fenced = false, wire = false;
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (line.starts_with("```")) {
      wire = !fenced && line == "```wire";
      fenced = !fenced;
      continue;
    }
    if (!wire || line.empty()) continue;
    for (size_t at; (at = line.find("⇥")) != std::string::npos;)
      line.replace(at, std::string_view("⇥").size(), "\t");
    Verb verb = recognise(line).verb;
    EXPECT_NE(verb, Verb::Unknown) << "docs/wire.md:" << n << ": no command: " << line;
    shown.insert(verb);
  }
  for (size_t v = 1; v < kVerbCount; ++v) {
    EXPECT_TRUE(shown.contains(static_cast<Verb>(v)))
        << "verb #" << v << " of enum Verb (wire/dispatcher.h) has no example in docs/wire.md";
  }
}
