#include <gtest/gtest.h>

#include "services/login.h"
#include "services/perm.h"
#include "services/power.h"
#include "services/share.h"
#include "services/shell.h"
#include "services/sound.h"

// What the end-to-end tests do not send: lines without their request id's blank, odd fields,
// the window-targeted share.
TEST(Services, CommandLines) {
  EXPECT_EQ(parse_perm("PERMCHK 4", 8), nullptr);
  EXPECT_EQ(parse_shell("SHELL 1", 6), nullptr);
  EXPECT_EQ(parse_login("LOGIN 1", 6), nullptr);
  EXPECT_EQ(parse_power("POWER 1", 6), nullptr);
  EXPECT_EQ(parse_share("SHARE@side", 5), nullptr);
  EXPECT_EQ(parse_shell("SHELL 1 trash", 6)->target, "");
  EXPECT_EQ(parse_login("LOGIN 1 set 1 ", 6)->action, -1);
  auto power = parse_power("POWER 9 ON\t1", 6);
  EXPECT_FALSE(power->on);
  EXPECT_TRUE(power->display);
  auto sound = parse_sound("SOUND 3", 6);
  EXPECT_EQ(sound->id + "|" + sound->name, "3|");

  auto share = parse_share("SHARE 10\t-5\thi\\tthere\thttps://x\t/a\t\t/b\\n", 5);
  EXPECT_EQ(share->win, "main");
  EXPECT_EQ(share->x * 100 + share->y, 995);
  EXPECT_EQ(share->text, "hi\tthere");
  EXPECT_EQ(share->paths, (std::vector<std::string>{"/a", "/b\n"}));
  share = parse_share("SHARE@side 1\t2", 5);
  EXPECT_EQ(share->win + "|" + share->url, "side|");
}

TEST(Services, Replies) {
  EXPECT_EQ(shell_reply("bad \"x\""), R"({"ok":false,"error":"bad \"x\""})");
  EXPECT_EQ(login_reply(false, "denied"), R"({"status":"disabled","ok":false,"error":"denied"})");
  EXPECT_EQ(share_mailto("a b&c", "https://x/?q=1"),
            "mailto:?body=a%20b%26c%0Ahttps%3A%2F%2Fx%2F%3Fq%3D1");
}

TEST(Services, ShellTargets) {
  struct Case {
    const char* target;
    bool opening;
    bool url;
    const char* text;
  } cases[] = {
      {"https://example.org/a?b", true, true, "https://example.org/a?b"},
      {"x-odd+scheme.1:thing", true, true, "x-odd+scheme.1:thing"},
      {"https://a b", true, false, "https://a b"},  // blanks: not a URL
      {"1http://x", true, false, "1http://x"},
      {"file:///tmp/a%20b", true, true, "file:///tmp/a%20b"},
      {"file:///tmp/a%20b", false, false, "/tmp/a b"},
      {"FILE://localhost/tmp/x#frag", false, false, "/tmp/x"},
      {"https://example.org/x", false, false, "https://example.org/x"},
      {"~", false, false, "/home/u"},
      {"~/docs/../a", false, false, "/home/u/docs/../a"},
      {"~other/a", false, false, "~other/a"},
      {"/abs/path", true, false, "/abs/path"},
  };
  for (const Case& c : cases) {
    ShellTarget t = shell_target(c.target, "/home/u", c.opening);
    EXPECT_EQ(t.url, c.url) << c.target;
    EXPECT_EQ(t.text, c.text) << c.target;
  }
}

TEST(Services, AutostartEntry) {
  std::string entry = autostart_entry("My App", "/opt/My App.app/Contents/MacOS/run$1\\x");
  EXPECT_NE(entry.find("Name=My App\n"), std::string::npos);
  EXPECT_NE(entry.find("Exec=\"/opt/My App.app/Contents/MacOS/run\\\\$1\\\\\\\\x\" --open\n"),
            std::string::npos);
  EXPECT_NE(autostart_entry("A", "/usr/bin/app").find("Exec=/usr/bin/app --open\n"),
            std::string::npos);
  EXPECT_TRUE(autostart_enabled(entry));
  EXPECT_FALSE(autostart_enabled(entry + "Hidden=true\n"));
  EXPECT_FALSE(autostart_enabled("[Desktop Entry]\nX-GNOME-Autostart-enabled = false\n"));
  EXPECT_TRUE(autostart_enabled("[Other]\nHidden=true\n[Desktop Entry]\nHidden=false\n"));
}

TEST(Services, LocationGate) {
  using S = PermStatus;
  LocationGate gate(true);
  auto steps = gate.query("1", false);
  EXPECT_TRUE(steps.probe);
  EXPECT_TRUE(steps.replies.empty());
  EXPECT_FALSE(gate.query("2", true).probe);
  steps = gate.probed(true);  // the check answers, the question prompts once
  EXPECT_EQ(steps.replies, (decltype(steps.replies){{"1", S::Undetermined}}));
  EXPECT_TRUE(steps.prompt);
  steps = gate.query("3", true);
  EXPECT_FALSE(steps.prompt);
  EXPECT_TRUE(steps.replies.empty());
  steps = gate.decided(S::Granted);
  EXPECT_EQ(steps.replies, (decltype(steps.replies){{"2", S::Granted}, {"3", S::Granted}}));
  EXPECT_EQ(gate.query("4", true).replies, (decltype(steps.replies){{"4", S::Granted}}));

  LocationGate no_usage(false);
  no_usage.query("1", true);
  steps = no_usage.probed(true);
  EXPECT_TRUE(steps.usage_missing);
  EXPECT_FALSE(steps.prompt);
  EXPECT_EQ(steps.replies, (decltype(steps.replies){{"1", S::Undetermined}}));

  LocationGate absent(true);
  absent.query("1", true);
  EXPECT_EQ(absent.probed(false).replies, (decltype(steps.replies){{"1", S::Unsupported}}));
  EXPECT_EQ(absent.query("2", false).replies, (decltype(steps.replies){{"2", S::Unsupported}}));
}
