#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "wire/dispatcher.h"

// Every line of the guide's "wire" code blocks (a TAB written as "⇥") must be a command the
// dispatcher recognises, and every verb of its table must have one, so the guide cannot drift.
TEST(WireGuide, EveryCommandOfTheTableHasARecognisedExample) {
  std::ifstream in(KELO_SOURCE_DIR "/docs/wire.md");
  ASSERT_TRUE(in);
  std::set<Verb> shown;
  bool fenced = false, wire = false;
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (line.starts_with("```")) {
      wire = !fenced && line == "```wire";
      fenced = !fenced;
    } else if (wire && !line.empty()) {
      std::string text;
      const std::string_view tab = "⇥";
      for (size_t i = 0; i < line.size();) {
        bool at_tab = std::string_view(line).substr(i).starts_with(tab);
        text += at_tab ? '\t' : line[i];
        i += at_tab ? tab.size() : 1;
      }
      Verb verb = recognise(text).verb;
      EXPECT_TRUE(verb != Verb::Unknown) << "docs/wire.md:" << n << ": " << line;
      shown.insert(verb);
    }
  }
  for (size_t v = 1; v < kVerbCount; ++v)
    EXPECT_TRUE(shown.contains(static_cast<Verb>(v))) << "Verb #" << v << " is not in the guide";
}
