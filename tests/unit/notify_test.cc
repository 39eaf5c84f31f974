#include <gtest/gtest.h>

#include "services/notify.h"
#include "wire/json_read.h"

namespace {

NotifReq note(std::string id, std::string title = "t", std::string actions = "") {
  NotifReq r;
  r.id = std::move(id);
  r.title = std::move(title);
  r.actions = std::move(actions);
  return r;
}

// Records what the centre asks of the desktop.
struct FakePort final : NotifyPort {
  int asks = 0;
  std::vector<std::pair<uint64_t, Notification>> sent;
  std::vector<std::string> scripts, lines;
  std::vector<ReplyPrompt> prompts;
  int uuids = 0;
  void ask() override { ++asks; }
  void send(uint64_t ticket, const Notification& n) override { sent.emplace_back(ticket, n); }
  void run_script(const NotifReq& r) override { scripts.push_back(r.title); }
  void ask_reply(const ReplyPrompt& p) override { prompts.push_back(p); }
  void emit(const std::string& line) override { lines.push_back(line); }
  std::string make_uuid() override { return "UUID-" + std::to_string(++uuids); }
};

const char* kActions =
    R"([{"id":"open"},{"id":"del","title":"Delete","destructive":true},)"
    R"({"id":"re","title":"Reply","reply":true,"placeholder":"Say","buttonTitle":"Go"}])";

}  // namespace

TEST(Notify, LinesAndActionsJson) {
  auto r = parse_notify("NOTIFY n1", 7);
  EXPECT_EQ(r->id + r->title + r->body + r->subtitle + r->actions, "n1");
  r = parse_notify("NOTIFY a\tT\tB\tS\ttrue\t[{\\\"id\\\":\\\"x\\\"}]", 7);
  EXPECT_FALSE(r->sound);
  EXPECT_EQ(r->actions, R"([{"id":"x"}])");

  auto a = parse_notif_actions(kActions);
  ASSERT_EQ(a.size(), 3u);
  EXPECT_EQ(a[0].title, "open");
  EXPECT_EQ(a[0].button_title, "open");
  EXPECT_TRUE(a[1].destructive);
  EXPECT_EQ(a[2].button_title, "Go");
  EXPECT_EQ(a[2].placeholder, "Say");
  EXPECT_TRUE(a[2].reply);

  // Elements that are not objects, objects without a string id, nested and escaped values.
  a = parse_notif_actions(
      R"( [1, "x", {"title":"no id"}, {"id":7}, {"id":"\u00e9\ud83d\ude00\n","x":{"y":[[]]},"reply":1}] )");
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].id, "\xc3\xa9\xf0\x9f\x98\x80\n");
  EXPECT_FALSE(a[0].reply);

  for (std::string bad : {"", "[]", "{\"id\":\"x\"}", "[{\"id\":\"x\"}", "[{\"id\":\"x\"}] x",
                          "[{\"id\":\"x\",}]", "[{'id':'x'}]", "[01]", "[\"a\nb\"]"}) {
    EXPECT_TRUE(parse_notif_actions(bad).empty()) << bad;
  }
  // Deep nesting is refused without exhausting the stack; nesting within the limit is read.
  EXPECT_TRUE(parse_notif_actions(std::string(1'000'000, '[')).empty());
  std::string deep = "[{\"id\":\"x\",\"n\":" + std::string(kJsonMaxDepth - 3, '[') +
                     std::string(kJsonMaxDepth - 3, ']') + "}]";
  EXPECT_EQ(parse_notif_actions(deep).size(), 1u);
}

TEST(Notify, AsksOnceAndDeliversWaitingInOrder) {
  FakePort port;
  NotifyCenter c(port);
  c.post(note("a", "first"));
  c.post(note("b", "second"));
  EXPECT_EQ(c.state(), NotifAuth::Asking);
  EXPECT_EQ(port.asks, 1);
  EXPECT_TRUE(port.sent.empty());
  c.settle(NotifAuth::Granted, notif_caps({"actions", "body-markup"}));
  ASSERT_EQ(port.sent.size(), 2u);
  EXPECT_EQ(port.sent[0].second.summary, "first");
  EXPECT_EQ(port.sent[1].second.summary, "second");
  EXPECT_EQ(port.sent[0].second.actions, (std::vector<std::string>{"default", "Open"}));
  c.settle(NotifAuth::Denied);  // answered once only
  c.post(note("c"));
  EXPECT_EQ(port.sent.size(), 3u);
  EXPECT_EQ(port.asks, 1);
}

TEST(Notify, ScriptFallbackAndDenial) {
  FakePort port;
  NotifyCenter fallback(port);
  fallback.post(note("", "one"));
  fallback.post(note("", "two"));
  fallback.settle(NotifAuth::ScriptFallback);
  fallback.post(note("", "three"));
  EXPECT_EQ(port.scripts, (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(fallback.waiting(), 0u);

  FakePort quiet;
  NotifyCenter denied(quiet);
  denied.post(note("x"));
  denied.settle(NotifAuth::Denied);
  denied.post(note("y"));
  EXPECT_TRUE(quiet.sent.empty() && quiet.scripts.empty());
}

TEST(Notify, ClicksActionsAndReplies) {
  FakePort port;
  NotifyCenter c(port);
  c.post(note("m", "Mail", kActions));
  c.post(note("", "Anon", R"([{"id":"x"}])"));
  c.settle(NotifAuth::Granted, notif_caps({"actions"}));
  ASSERT_EQ(port.sent.size(), 2u);
  EXPECT_EQ(port.sent[0].second.actions,
            (std::vector<std::string>{"default", "Open", "open", "open", "del", "Delete", "re",
                                      "Reply"}));
  EXPECT_EQ(port.sent[1].second.key, "UUID-1");
  c.sent(port.sent[0].first, 41);
  c.sent(port.sent[1].first, 42);

  c.invoked(41, "default");
  c.invoked(41, "del");
  c.invoked(42, "default");
  c.invoked(99, "default");  // another client's notification
  EXPECT_EQ(port.lines, (std::vector<std::string>{"NOTIFYCLICK m", "NOTIFYACTION m\tdel\t",
                                                  "NOTIFYCLICK UUID-1"}));
  // Without inline replies the launcher asks for the text itself.
  c.invoked(41, "re");
  ASSERT_EQ(port.prompts.size(), 1u);
  EXPECT_EQ(port.prompts[0].key, "m");
  EXPECT_EQ(port.prompts[0].action, "re");
  EXPECT_EQ(port.prompts[0].title, "Mail");
  EXPECT_EQ(port.prompts[0].placeholder, "Say");
  EXPECT_EQ(port.prompts[0].button, "Go");

  c.closed(41);
  c.invoked(41, "default");
  EXPECT_EQ(port.lines.size(), 3u);
}

TEST(Notify, SameIdReplacesAndWaitsForTheEarlierOne) {
  FakePort port;
  NotifyCenter c(port);
  c.post(note("a", "v1"));
  c.settle(NotifAuth::Granted);
  c.post(note("a", "v2"));
  c.post(note("b", "other"));
  // v2 needs v1's server id: it waits, and so does everything behind it.
  ASSERT_EQ(port.sent.size(), 1u);
  c.sent(port.sent[0].first, 7);
  ASSERT_EQ(port.sent.size(), 3u);
  EXPECT_EQ(port.sent[1].second.replaces, 7u);
  EXPECT_EQ(port.sent[2].second.replaces, 0u);
  // A refused notification leaves nothing to replace.
  c.sent(port.sent[1].first, 0);
  c.closed(7);
  c.post(note("a", "v3"));
  EXPECT_EQ(port.sent.back().second.replaces, 0u);
}

TEST(Notify, BurstIsPacedAndNothingIsLost) {
  FakePort port;
  NotifyCenter c(port);
  for (int i = 0; i < 10000; ++i)
    c.post(note("", std::to_string(i)));
  c.settle(NotifAuth::Granted);
  size_t answered = 0;
  while (answered < port.sent.size()) {
    EXPECT_LE(port.sent.size() - answered, NotifyCenter::kInFlight);
    c.sent(port.sent[answered].first, static_cast<uint32_t>(answered + 1));
    ++answered;
  }
  ASSERT_EQ(port.sent.size(), 10000u);
  for (int i = 0; i < 10000; ++i)
    ASSERT_EQ(port.sent[i].second.summary, std::to_string(i));
  // Only the newest notifications keep their clicks.
  c.invoked(1, "default");
  c.invoked(10000, "default");
  EXPECT_EQ(port.lines, (std::vector<std::string>{"NOTIFYCLICK UUID-10000"}));
}
