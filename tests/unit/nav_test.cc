#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "windows/nav.h"
#include "windows/questions.h"

TEST(Nav, OwnSchemesIgnoreCaseAndAUrlWithoutSchemeIsOwn) {
  for (const char* url :
       {"http://a", "HTTPS://a", "file:///x", "About:blank", "data:,x", "blob:http://a/1",
        "javascript:void(0)", "KELO-MEDIA://file/x", "", "no-colon", ":leading"}) {
    EXPECT_TRUE(is_own_scheme(url)) << url;
  }
  for (const char* url : {"mailto:a@b", "tel:1", "ftp://a", "https2://a", "kelo:x", "x:"}) {
    EXPECT_FALSE(is_own_scheme(url)) << url;
  }
}

TEST(Nav, PolicyAsksOnlyAboutMainFrameWebAddressesAndForeignSchemes) {
  EXPECT_EQ(nav_policy("https://a/", true, true), NavPolicy::AskAllow);
  EXPECT_EQ(nav_policy("http://a/", true, true), NavPolicy::AskAllow);
  // Upper case is an own scheme but not a web address as written: allowed at once.
  EXPECT_EQ(nav_policy("HTTP://a/", true, true), NavPolicy::Allow);
  EXPECT_EQ(nav_policy("https://a/", false, true), NavPolicy::Allow);
  EXPECT_EQ(nav_policy("https://a/", true, false), NavPolicy::Allow);
  for (const char* url : {"file:///a.html", "about:blank", "data:,x", "blob:x", "javascript:1"}) {
    EXPECT_EQ(nav_policy(url, true, true), NavPolicy::Allow) << url;
  }
  EXPECT_EQ(nav_policy("mailto:a@b", true, true), NavPolicy::AskDeny);
  EXPECT_EQ(nav_policy("mailto:a@b", false, true), NavPolicy::AskDeny);
  EXPECT_EQ(nav_policy("mailto:a@b", true, false), NavPolicy::Cancel);
}

TEST(Nav, AnswersAndTheirOutcomes) {
  EXPECT_EQ(navr_answer("deny"), kNavDeny);
  EXPECT_EQ(navr_answer("external"), kNavExternal);
  for (const char* text : {"allow", "", "Deny", "external ", "window"}) {
    EXPECT_EQ(navr_answer(text), kNavAllow) << text;
  }
  auto same = [](NavOutcome o, bool allow, bool external) {
    return o.allow == allow && o.open_external == external;
  };
  EXPECT_TRUE(same(nav_outcome(true, kNavAllow), true, false));
  EXPECT_TRUE(same(nav_outcome(true, kNavDeny), false, false));
  EXPECT_TRUE(same(nav_outcome(true, kNavExternal), false, true));
  // A scheme the web view cannot show never goes ahead, whatever the answer.
  EXPECT_TRUE(same(nav_outcome(false, kNavAllow), false, false));
  EXPECT_TRUE(same(nav_outcome(false, kNavDeny), false, false));
  EXPECT_TRUE(same(nav_outcome(false, kNavExternal), false, true));
}

TEST(Nav, QuestionAndProgressLines) {
  EXPECT_EQ(navq_line("n1", "main", "https://a.example/x?y=1", true),
            "NAVQ n1 main\thttps://a.example/x?y=1\tmain");
  EXPECT_EQ(navq_line("n22", "side", "mailto:a@b", false), "NAVQ n22 side\tmailto:a@b\tsub");
  // A URL can never cut the line or shift the fields.
  EXPECT_EQ(navq_line("n3", "main", "https://a/\nQUIT\t\r", true),
            "NAVQ n3 main\thttps://a/%0AQUIT%09%0D\tmain");

  EXPECT_EQ(nav_event("main", "start", "https://a/"),
            "NAV {\"window\":\"main\",\"kind\":\"start\",\"url\":\"https://a/\"}");
  EXPECT_EQ(nav_event("p\"1", "fail", "http://a/\"", "Could not connect: refused"),
            "NAV {\"window\":\"p\\\"1\",\"kind\":\"fail\",\"url\":\"http://a/\\\"\","
            "\"error\":\"Could not connect: refused\"}");

  for (const char* url : {"", "http://a", "https://a", "file:///a", "about:blank"}) {
    EXPECT_TRUE(nav_event_wanted(url)) << url;
  }
  for (const char* url : {"about:srcdoc", "data:,x", "kelo-media://file/a", "blob:x", "HTTP://a",
                          "about:blank#x", "file:/a"}) {
    EXPECT_FALSE(nav_event_wanted(url)) << url;
  }
}

TEST(Popup, PolicyDefaultsAndOutcome) {
  EXPECT_EQ(popup_policy(""), "external");
  EXPECT_EQ(popup_policy("window"), "window");
  EXPECT_EQ(popup_policy("odd"), "odd");
  EXPECT_EQ(new_window_default("deny"), "deny");
  for (const char* mode : {"", "window", "external", "Deny", "odd"}) {
    EXPECT_EQ(new_window_default(mode), "external") << mode;
  }
  EXPECT_EQ(popup_outcome("external", "window"), "external");
  EXPECT_EQ(popup_outcome("deny", "window"), "deny");
  EXPECT_EQ(popup_outcome("window", "external"), "external");
  EXPECT_EQ(popup_outcome("", "window"), "window");
  EXPECT_EQ(popup_outcome("allow", "odd"), "odd");
}

TEST(Popup, Lines) {
  EXPECT_EQ(popupq_line("p1", "", "main", "https://a/", "external"),
            "POPUPQ p1 -\tmain\thttps://a/\texternal");
  EXPECT_EQ(popupq_line("p2", "popup3", "side", "about:blank", "window"),
            "POPUPQ p2 popup3\tside\tabout:blank\twindow");
  EXPECT_EQ(popup_event(std::nullopt, "https://a/", "external"),
            "POPUP {\"window\":null,\"url\":\"https://a/\",\"action\":\"external\"}");
  EXPECT_EQ(popup_event(std::string("popup1"), "", "window"),
            "POPUP {\"window\":\"popup1\",\"url\":\"\",\"action\":\"window\"}");
}

TEST(Popup, NamesSkipTakenOnesAndNeverReuseANumber) {
  std::set<std::string> taken = {"popup2", "popup3"};
  auto is_taken = [&](const std::string& n) { return taken.count(n) > 0; };
  uint64_t seq = 0;
  EXPECT_EQ(next_popup_name(seq, is_taken), "popup1");
  EXPECT_EQ(next_popup_name(seq, is_taken), "popup4");
  taken.clear();  // popup1 closed: its number is not handed out again
  EXPECT_EQ(next_popup_name(seq, is_taken), "popup5");
}

TEST(Popup, SizeFromWindowFeatures) {
  EXPECT_EQ(popup_size(0, 0).width, 900);
  EXPECT_EQ(popup_size(0, 0).height, 600);
  EXPECT_EQ(popup_size(119, 89).width, 900);
  EXPECT_EQ(popup_size(119, 89).height, 600);
  EXPECT_EQ(popup_size(120, 90).width, 120);
  EXPECT_EQ(popup_size(120, 90).height, 90);
}

TEST(Questions, IdsCountFromOneAndEachSettlesOnce) {
  PendingQuestions<int> nav('n');
  std::vector<std::string> log;
  auto record = [&](const std::string& tag) {
    return [&log, tag](int answer) { log.push_back(tag + "=" + std::to_string(answer)); };
  };
  std::string a = nav.add(record("a"));
  std::string b = nav.add(record("b"));
  EXPECT_EQ(a, "n1");
  EXPECT_EQ(b, "n2");
  EXPECT_TRUE(nav.resolve("n2", 1));
  EXPECT_FALSE(nav.resolve("n2", 0));  // the deadline after the answer
  EXPECT_FALSE(nav.resolve("n3", 0));
  EXPECT_FALSE(nav.resolve("N1", 0));
  EXPECT_TRUE(nav.resolve("n1", 0));
  EXPECT_FALSE(nav.resolve("n1", 2));  // a late answer after the deadline
  EXPECT_EQ(log, (std::vector<std::string>{"b=1", "a=0"}));
  EXPECT_EQ(nav.size(), 0u);
}

TEST(Questions, ADecisionMayAskAgain) {
  PendingQuestions<std::string> popups('p');
  std::string second;
  popups.add([&](std::string) { second = popups.add([](std::string) {}); });
  EXPECT_TRUE(popups.resolve("p1", "deny"));
  EXPECT_EQ(second, "p2");
  EXPECT_EQ(popups.size(), 1u);
}
