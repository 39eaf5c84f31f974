#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "services/auth.h"
#include "services/cookies.h"
#include "services/osa.h"
#include "services/pending_replies.h"
#include "services/secret.h"
#include "services/spotlight.h"
#include "wire/text.h"

namespace fs = std::filesystem;

TEST(AccountServices, ParsersCutTheHeadAndUnescapeTheirFields) {
  auto s = parse_secret("SECRET 7 set\tsvc\\tx\tme\tpa\\nss", 7);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->id + "|" + s->op + "|" + s->service + "|" + s->account + "|" + s->value,
            "7|set|svc\tx|me|pa\nss");
  s = parse_secret("SECRET 8 get\\t", 7);  // the op is used as received; missing fields empty
  EXPECT_EQ(s->op + "|" + s->service + "|" + s->value, "get\\t||");
  EXPECT_FALSE(parse_secret("SECRET 9", 7));
  EXPECT_EQ(parse_auth("AUTH a1 ", 5)->reason, "");
  EXPECT_EQ(parse_osa("OSA o1 say \\\"hi\\\"", 4)->script, "say \"hi\"");
  EXPECT_EQ(parse_spotlight("SPOTLIGHT q1 a\\\\b c", 10)->query, "a\\b c");
  EXPECT_FALSE(parse_spotlight("SPOTLIGHT q1", 10));
  CookieCommand c = cookie_command(parse_cookies("COOKIES c1 delete\ta\\tb\tx.org", 8)->rest);
  EXPECT_EQ(c.op, CookieOp::Delete);
  EXPECT_EQ(c.args, (std::vector<std::string>{"a\tb", "x.org", "", "", "", "", "", ""}));
  EXPECT_EQ(cookie_command("Get").op, CookieOp::Bad);
}

TEST(AccountServices, EachPendingRequestIsAnsweredOnce) {
  std::vector<std::string> out;
  PendingReplies replies([&](std::string_view id, std::string_view json) {
    out.push_back(std::string(id) + " " + std::string(json));
  });
  uint64_t a = replies.open("a", "quit-a");
  uint64_t b = replies.open("b", "quit-b");
  uint64_t c = replies.open("c", "quit-c");
  EXPECT_TRUE(replies.answer(b, "done"));
  EXPECT_FALSE(replies.answer(b, "again"));
  replies.quit();
  EXPECT_FALSE(replies.answer(a, "late"));
  EXPECT_FALSE(replies.is_open(c));
  EXPECT_EQ(out, (std::vector<std::string>{"b done", "a quit-a", "c quit-c"}));
}

TEST(AccountServices, PasswordTriesAndThePamService) {
  int left = kAuthTries;
  EXPECT_FALSE(auth_after_check(PamResult::Rejected, left).done);
  EXPECT_EQ(auth_after_check(PamResult::Accepted, left).reply, "{\"ok\":true,\"error\":null}");
  EXPECT_FALSE(auth_after_check(PamResult::Rejected, left).done);
  EXPECT_EQ(auth_after_check(PamResult::Rejected, left).reply,
            "{\"ok\":false,\"error\":\"authentication failed\"}");
  left = kAuthTries;
  EXPECT_EQ(auth_after_check(PamResult::Unavailable, left).reply,
            "{\"ok\":false,\"error\":\"authentication unavailable\"}");
  EXPECT_EQ(auth_reason(""), "authenticate");
  std::string xs(kAuthReasonBytes - 2, 'x');
  EXPECT_EQ(auth_reason(xs + "\u00e9"), xs + "\u00e9");    // at the limit
  EXPECT_EQ(auth_reason(xs + "x\u00e9"), xs + "x\u2026");  // never half a character
  auto service = [](const char* v) { return pam_service(v).dir + "|" + pam_service(v).name; };
  EXPECT_EQ(service(nullptr), "|login");
  EXPECT_EQ(service(""), "|login");
  EXPECT_EQ(service("kelotest"), "|kelotest");
  EXPECT_EQ(service("/tmp/k/pam.d/check"), "/tmp/k/pam.d|check");
  EXPECT_EQ(service("/check"), "/|check");
}

TEST(AccountServices, CookieJson) {
  Cookie c{"sid", "a\"b", ".example.org", "/app", 1700000000.1239, true, true, SameSite::Strict};
  EXPECT_EQ(cookie_json(c),
            "{\"name\":\"sid\",\"value\":\"a\\\"b\",\"domain\":\".example.org\",\"path\":\"/app\","
            "\"expires\":1700000000123,\"secure\":true,\"httpOnly\":true,\"sameSite\":\"strict\"}");
  Cookie session{"s", "", "h", "", std::nullopt, false, false, SameSite::None};
  EXPECT_EQ(cookies_reply({session, session}), "{\"ok\":true,\"cookies\":[" + cookie_json(session) +
                                                   "," + cookie_json(session) + "]}");
  EXPECT_NE(cookie_json(session).find("\"path\":\"/\",\"expires\":null,\"secure\":false"),
            std::string::npos);
}

TEST(AccountServices, CookiesToSet) {
  using Args = std::vector<std::string>;
  auto set = [](Args a) {
    a.resize(8);
    return cookie_to_set(a);
  };
  auto c = set({"n", "v", "h.org", "", "1700000000500", "1", "0", "lax"});
  ASSERT_TRUE(c);
  EXPECT_EQ(c->path, "/");
  EXPECT_DOUBLE_EQ(*c->expires, 1700000000.5);
  EXPECT_TRUE(c->secure && !c->http_only && c->same_site == SameSite::Lax);
  EXPECT_EQ(set({"n", "v", "h", "/", "", "true", "1", "Strict"})->same_site, SameSite::None);
  EXPECT_FALSE(set({"n", "v", "h", "/", "", "true"})->secure);
  EXPECT_EQ(*set({"n", "v", "h", "/", "-5"})->expires, 0);
  EXPECT_EQ(*set({"n", "v", "h", "/", "1e300"})->expires, 253402300799.0);
  for (Args bad : {Args{"", "v", "h"}, Args{"n", "v", ""}, Args{"a b", "v", "h"},
                   Args{"a=b", "v", "h"}, Args{"n", "v;x=1", "h"}, Args{"n", "v\r\n", "h"},
                   Args{"n", "v", "h;"}, Args{"n", "v", "h", "/\n"}, Args{"n", "v", "h", "/", "x"},
                   Args{"n", "v", "h", "/", "12 monkeys"}, Args{"n", "v", "h", "/", "nan"}}) {
    EXPECT_FALSE(set(bad)) << bad[0] << "|" << bad[1] << "|" << bad[2];
  }
}

TEST(AccountServices, NameWalkIsBreadthFirstAndBounded) {
  char dir_template[] = "/tmp/kelo-walk-XXXXXX";
  ASSERT_TRUE(mkdtemp(dir_template));
  fs::path root(dir_template);
  for (const char* f :
       {"b/Match-2", "a/deep/match-3", ".hidden/match", "match-1", "Other", "b/.match-hidden"}) {
    fs::create_directories((root / f).parent_path());
    std::ofstream(root / f) << "x";
  }
  fs::create_directory_symlink(root, root / "b" / "loop-match");
  NameWalk walk{root.string(), "match", ascii_lower, 10,
                std::chrono::steady_clock::now() + std::chrono::seconds(10)};
  auto rel = [&](const std::vector<std::string>& paths) {
    std::vector<std::string> out;
    for (const auto& p : paths)
      out.push_back(fs::path(p).lexically_relative(root).string());
    return out;
  };
  EXPECT_EQ(rel(walk_names(walk)),
            (std::vector<std::string>{"match-1", "b/Match-2", "b/loop-match", "a/deep/match-3"}));
  walk.limit = 2;
  EXPECT_EQ(walk_names(walk).size(), 2u);
  walk.deadline = std::chrono::steady_clock::now();
  EXPECT_TRUE(walk_names(walk).empty());
  fs::remove_all(root);
  EXPECT_EQ(text_search_phrase("say \"hi\""), "\"say \"\"hi\"\"\" *");
  EXPECT_EQ(spotlight_reply({"/a\"b"}), "{\"ok\":true,\"paths\":[\"/a\\\"b\"]}");
}
