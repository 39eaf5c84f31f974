#include <gtest/gtest.h>

#include <cmath>

#include "services/speech.h"

using Answers = std::vector<SayQueue::Answer>;

TEST(Speech, SayLinesCutIdTextVoiceAndRate) {
  auto r = parse_say("SAY 7 two\\nlines\tEnglish\\t(x)\t0.75", 4);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->id, "7");
  EXPECT_EQ(r->text, "two\nlines");
  EXPECT_EQ(r->voice, "English\t(x)");
  EXPECT_EQ(r->rate, 0.75);
  r = parse_say("SAY 8 just text", 4);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->text, "just text");
  EXPECT_EQ(r->voice, "");
  EXPECT_EQ(r->rate, 0);
  EXPECT_FALSE(parse_say("SAY 9", 4));  // no blank after the id: dropped
  EXPECT_EQ(parse_voices("VOICES v1", 7)->id, "v1");
}

TEST(Speech, RateRunsFromSlowestToFastestAroundTheServiceDefault) {
  EXPECT_EQ(service_rate(0.5), 0);
  EXPECT_EQ(service_rate(0.25), -50);
  EXPECT_EQ(service_rate(0.001), -100);
  EXPECT_EQ(service_rate(1.0), 100);
  EXPECT_EQ(service_rate(7.0), 100);
  EXPECT_EQ(service_rate(1e308), 100);
  for (double unset : {0.0, -1.0, std::nan("")})
    EXPECT_FALSE(service_rate(unset)) << unset;
}

TEST(Speech, VoicesListLeavesOutVariantsOfListedVoices) {
  std::vector<ServiceVoice> voices = {{"English (America)", "en-US", "none"},
                                      {"English (America)+Alex", "en-US", "Alex"},
                                      {"Solo+Max", "xx", "Max"},
                                      {"Quote \"q\"", "de", ""}};
  EXPECT_EQ(voices_json(voices),
            "[{\"id\":\"English (America)\",\"name\":\"English (America)\",\"lang\":\"en-US\","
            "\"quality\":\"default\"},"
            "{\"id\":\"Solo+Max\",\"name\":\"Solo+Max\",\"lang\":\"xx\",\"quality\":\"default\"},"
            "{\"id\":\"Quote \\\"q\\\"\",\"name\":\"Quote \\\"q\\\"\",\"lang\":\"de\","
            "\"quality\":\"default\"}]");
  EXPECT_EQ(voices_json({}), "[]");
  EXPECT_EQ(parse_voice_list("208 OK\r\n249-A b\tde\tnone\r\n249-C+x\tfr\r\n249 OK SENT\r\n"),
            (std::vector<ServiceVoice>{{"A b", "de", "none"}, {"C+x", "fr", ""}}));
}

TEST(Speech, VoiceFieldIsALanguageTagOrANameAndNothingElseReachesTheService) {
  using K = VoiceChoice::Kind;
  struct Case {
    std::string field;
    VoiceChoice want;
  } cases[] = {
      {"de", {K::Language, "de"}},
      {"pt-BR", {K::Language, "pt-BR"}},
      {"en_GB-x-rp", {K::Language, "en_GB-x-rp"}},
      {"German", {K::Name, "German"}},
      {"English (Great Britain)", {K::Name, "English (Great Britain)"}},
      {"en-", {K::Name, "en-"}},
      {"", {}},
      {"en\r\nSET self RATE 100", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(choose_voice(c.field), c.want) << c.field;
}

TEST(Speech, SaysAreAnsweredOnceEachInArrivalOrder) {
  SayQueue q;
  uint64_t a = q.add("a"), b = q.add("b"), c = q.add("c");
  q.bind(a, 10);
  q.bind(b, -1);  // refused by the service: fails, but only after a
  q.finish(c, true);
  EXPECT_EQ(q.take_ready(), Answers{});
  q.ended(10, true);
  q.ended(10, false);  // a second event for the same message changes nothing
  EXPECT_EQ(q.take_ready(), (Answers{{"a", true}, {"b", false}, {"c", true}}));
  EXPECT_EQ(q.pending(), 0u);
}

TEST(Speech, AnEndThatOvertakesItsBindStillCounts) {
  SayQueue q;
  uint64_t a = q.add("a");
  q.ended(11, true);
  q.bind(a, 11);
  EXPECT_EQ(q.take_ready(), (Answers{{"a", true}}));
  // An event of a message that was answered already is not kept for a later SAY.
  uint64_t b = q.add("b");
  q.ended(11, false);
  q.bind(b, 12);
  EXPECT_EQ(q.take_ready(), Answers{});
}

TEST(Speech, StopFailsEveryPendingSayAndLaterEventsAreIgnored) {
  SayQueue q;
  uint64_t a = q.add("a"), b = q.add("b");
  q.bind(a, 20);
  q.stop_all();
  EXPECT_EQ(q.take_ready(), (Answers{{"a", false}, {"b", false}}));
  q.ended(20, true);
  q.ended(21, false);  // b's cancel arriving before its (now stale) bind
  q.bind(b, 21);
  uint64_t c = q.add("c");
  q.bind(c, 22);
  q.ended(22, true);
  EXPECT_EQ(q.take_ready(), (Answers{{"c", true}}));
}

TEST(Speech, ALostServiceFailsWhatItHeldAndMessageIdsStartAgain) {
  SayQueue q;
  uint64_t a = q.add("a"), b = q.add("b");
  q.bind(a, 40);
  q.lost();
  EXPECT_EQ(q.take_ready(), (Answers{{"a", false}}));
  q.bind(b, 1);  // the restarted service numbers from 1
  q.ended(1, true);
  EXPECT_EQ(q.take_ready(), (Answers{{"b", true}}));
}
