#include <gtest/gtest.h>

#include "tests/unit/wire_fixture.h"
#include "wire/dispatcher.h"

using Lines = std::vector<std::string>;

TEST(Recognise, FollowsTableOrderAndMatchKinds) {
  EXPECT_EQ(recognise("AUDIOTAP STOP").verb, Verb::AudioTapStop);
  EXPECT_EQ(recognise("AUDIOTAP 1 app 0 0").verb, Verb::AudioTap);
  EXPECT_EQ(recognise("AUDIOFILTERSET x").verb, Verb::AudioFilterSet);
  EXPECT_EQ(recognise("AUDIOFILTERS").verb, Verb::AudioFilters);
  EXPECT_EQ(recognise("AUDIOFILTERS a").verb, Verb::AudioFilters);
  EXPECT_EQ(recognise("AUDIOFILTERSX").verb, Verb::Unknown);
  EXPECT_EQ(recognise("SHARE x").verb, Verb::Share);
  EXPECT_EQ(recognise("SHARE@w x").verb, Verb::Share);
  EXPECT_EQ(recognise("SHAREX").verb, Verb::Unknown);
  EXPECT_EQ(recognise("SHARE").verb, Verb::Unknown);
  EXPECT_EQ(recognise("EVAL").verb, Verb::Unknown);
  EXPECT_EQ(recognise("EVALx").verb, Verb::Unknown);
  EXPECT_EQ(recognise("EVAL x").verb, Verb::Eval);
  EXPECT_EQ(recognise("SIZE@w 1 2").verb, Verb::SizeAt);
  EXPECT_EQ(recognise("TITLE@w t").verb, Verb::TitleAt);
  EXPECT_EQ(recognise("DRAGWIN").verb, Verb::DragWin);
  EXPECT_EQ(recognise("DRAGWIN@x").verb, Verb::DragWin);
  EXPECT_EQ(recognise("DRAGWIN x").verb, Verb::Unknown);
  EXPECT_EQ(recognise("MENUBEGIN").verb, Verb::MenuBegin);
  EXPECT_EQ(recognise("MENUBEGIN@").verb, Verb::MenuBeginAt);
  EXPECT_EQ(recognise("MENUBEGINX").verb, Verb::Unknown);
  EXPECT_EQ(recognise("NOWPLAYING").verb, Verb::NowPlaying);
  EXPECT_EQ(recognise("NOWPLAYINGX").verb, Verb::Unknown);
  EXPECT_EQ(recognise("SAYSTOP").verb, Verb::SayStop);
  EXPECT_EQ(recognise("SAY 1 a\tb\t1").verb, Verb::Say);
  EXPECT_EQ(recognise("PRINT").verb, Verb::Print);
  EXPECT_EQ(recognise("PRINT@w").verb, Verb::PrintAt);
  EXPECT_EQ(recognise("PRINT ").verb, Verb::Unknown);
  EXPECT_EQ(recognise("QUIT").verb, Verb::Quit);
  EXPECT_EQ(recognise("QUIT ").verb, Verb::Unknown);
  EXPECT_EQ(recognise("quit").verb, Verb::Unknown);
  EXPECT_EQ(recognise("").verb, Verb::Unknown);
  EXPECT_EQ(recognise("\xc3\xa9").verb, Verb::Unknown);
  EXPECT_EQ(recognise("ATTENTION").verb, Verb::Attention);
  EXPECT_EQ(recognise("AITOOLRESULT 3 x").verb, Verb::AiToolResult);
  EXPECT_EQ(recognise("AI gen 4").verb, Verb::Ai);
}

class DispatcherTest : public WireTest {};

TEST_F(DispatcherTest, CoreCommandsBuildTheirRecords) {
  Dispatcher d(logging_handlers());
  EXPECT_EQ(run(d, {"TITLE Inbox \\n raw", "TITLE@side Side", "TITLE@nospace"}),
            (Lines{"title|Inbox \\n raw", "title_win|side|Side"}));
  EXPECT_EQ(run(d, {"SIZE 800", "SIZE@w 800", "SIZE@w", "SIZE x", "SIZE 0 600", "SIZE@w 1 2 3"}),
            (Lines{"size|main|800x640", "size|w|800x400", "size|main|960x640", "size|main|0x600",
                   "size|w|1x2"}));
  EXPECT_EQ(run(d, {"RET main:7 0 {\"a\":1}", "RET q12 3 [1, 2]", "RET main:7", "RET main:7 0"}),
            (Lines{"reply|main:7|0|{\"a\":1}", "reply|q12|3|[1, 2]"}));
  EXPECT_EQ(run(d, {"EVAL a\\nb", "EVAL@* x()", "EVAL@w", "EVAL"}),
            (Lines{"eval|main|a\nb", "eval|*|x()"}));
  EXPECT_EQ(run(d, {"RELOAD", "RELOAD now", "QUIT", "QUITX"}), (Lines{"reload", "terminate"}));
}

TEST_F(DispatcherTest, WindowCommands) {
  Dispatcher d(logging_handlers());
  EXPECT_EQ(run(d, {"WINOP@side show 0", "WINOP@side", "WINOP hide", "WINOPX", "WINOPEN a\tb",
                    "WINCLOSE a b"}),
            (Lines{"winop|side|show 0", "winop|main|hide", "winopen|a|b", "winclose|a b"}));
}

TEST_F(DispatcherTest, PointerMovesChromeAndQueries) {
  Dispatcher d(logging_handlers());
  EXPECT_EQ(run(d, {"DRAGWIN", "DRAGWIN@side", "DRAGWIN@", "DRAGWIN side", "DRAGWINX"}),
            (Lines{"dragwin|main", "dragwin|side", "dragwin|main"}));
  EXPECT_EQ(run(d, {"RESIZEWIN nw", "RESIZEWIN@side se", "RESIZEWIN@side", "RESIZEWIN"}),
            (Lines{"resizewin|main|nw", "resizewin|side|se"}));
  // The seventh wire field is skipped; the eighth is the buttons' position.
  EXPECT_EQ(run(d, {"CHROME 0\tclose\t\t\t\t\tskip\t20,18", "CHROME@side \t\t1", "CHROME@side",
                    "CHROME"}),
            (Lines{"chrome|main|0|close|||||20,18", "chrome|side|||1||||"}));
  EXPECT_EQ(run(d, {"WINCTRL 9 4242\t10\t-20\t300", "WINCTRL 9", "WINCTRL 7 x\t\t5"}),
            (Lines{"winctrl|9|4242|10,-20,300,0", "winctrl|7|0|0,5,0,0"}));
  EXPECT_EQ(run(d, {"GET 12 win:side panel", "GET 13 ", "GET 14"}),
            (Lines{"get|12|win:side panel", "get|13|"}));
}

TEST_F(DispatcherTest, AnswersSplitAtTheFirstBlankAfterTheVerb) {
  Dispatcher d(logging_handlers());
  EXPECT_EQ(
      run(d, {"NAVR n1 deny", "NAVR n2 ", "NAVR n3", "NAVR  external", "NAVR n4 a b",
              "POPUPR p1 window", "POPUPR p2", "POPUPRp3 deny"}),
      (Lines{"navr|n1|deny", "navr|n2|", "navr||external", "navr|n4|a b", "popupr|p1|window"}));
}

TEST_F(DispatcherTest, AboutHookIsSetOnTheReaderThread) {
  Dispatcher d(logging_handlers());
  EXPECT_TRUE(run(d, {"ABOUTHOOK 1"}).empty());
  EXPECT_TRUE(g_about_to_app.load());
  run(d, {"ABOUTHOOK 0"});
  EXPECT_FALSE(g_about_to_app.load());
  run(d, {"ABOUTHOOK 11"});
  EXPECT_FALSE(g_about_to_app.load());
}

TEST_F(DispatcherTest, UnbuiltRowsAndBlockLinesDoNotReachLaterVerbs) {
  Dispatcher d(logging_handlers());
  EXPECT_TRUE(
      run(d, {"NOTIFY 1 x", "CLIPWRITE 1", "ITEM x", "SEP", "SUBEND", "", "\r", "HKREG 1 cmd+k"})
          .empty());
}

TEST_F(DispatcherTest, FamiliesOfTheirOwnGetTheLineAndTheVerbEnd) {
  Handlers h = logging_handlers();
  h.add(Verb::Notify, [](std::string_view line, size_t after) {
    handled().push_back("notify|" + std::string(line.substr(after)));
  });
  Dispatcher d(h);
  EXPECT_EQ(run(d, {"NOTIFY 1 x", "NOTIFYX", "SOUND 2"}), (Lines{"notify|1 x"}));
}

TEST_F(DispatcherTest, BlockVerbsGoToTheBlockStateOfTheirParser) {
  struct Recorder final : BlockDecoder {
    void decode(Verb, std::string_view line, size_t after) override {
      handled().push_back("block|" + std::string(line.substr(0, after)) + "|" +
                          std::string(line.substr(after)));
    }
  };
  static int made = 0;
  Handlers h = logging_handlers();
  h.blocks = []() -> std::unique_ptr<BlockDecoder> {
    ++made;
    return std::make_unique<Recorder>();
  };
  Dispatcher d(h), other(h);
  EXPECT_EQ(made, 2);
  // The commands that stand alone are families of the route table, not block lines.
  EXPECT_EQ(run(d, {"MENUBEGIN@side", "ITEM x\ty", "SUBEND", "MENURESET@side", "TRAYBEGIN\tt",
                    "TRAYREMOVE", "CTXEND", "CTXCLEAR", "CTXSUPPRESS 1", "MENUBEGINX"}),
            (Lines{"block|MENUBEGIN@|side", "block|ITEM |x\ty", "block|SUBEND|",
                   "block|TRAYBEGIN|\tt", "block|CTXEND|"}));
  Dispatcher without(logging_handlers());
  EXPECT_TRUE(run(without, {"MENUBEGIN", "ITEM x", "MENUEND"}).empty());
}
