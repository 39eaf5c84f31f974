// DLG lines, what each kind of dialog shows and what it answers.
#include <gtest/gtest.h>

#include "dialogs/dialog.h"

namespace {

std::unique_ptr<DlgReq> dlg(std::string_view line) {
  return parse_dlg(line, 4);
}

}  // namespace

TEST(Dialogs, LinesAndWhatTheyShow) {
  EXPECT_FALSE(dlg("DLG q1"));
  auto req = dlg("DLG q1 confirm\tDelete?\t\t\tKeep");
  ASSERT_TRUE(req);
  EXPECT_EQ(req->callref, "q1");
  AlertSpec s = dlg_alert_spec(*req, "App");
  EXPECT_EQ(s.message, "Delete?");
  EXPECT_EQ(s.detail, "");
  EXPECT_EQ(s.ok, "OK");
  EXPECT_EQ(s.cancel, "Keep");
  EXPECT_FALSE(s.entry);

  s = dlg_alert_spec(*dlg("DLG main:3 alert"), "App");  // arguments missing
  EXPECT_EQ(s.message, "App");
  EXPECT_EQ(s.cancel, "");
  s = dlg_alert_spec(*dlg("DLG q2 prompt\tName?\tBob\\t"), "App");
  EXPECT_TRUE(s.entry);
  EXPECT_EQ(s.entry_text, "Bob\\t");  // fields are not unescaped
  EXPECT_EQ(s.detail, "");
  EXPECT_EQ(s.cancel, "Cancel");

  ChooserSpec c = dlg_chooser_spec(*dlg("DLG q3 save\tmd,txt\tnotes.md"));
  EXPECT_EQ(c.mode, ChooserSpec::Mode::Save);
  EXPECT_EQ(c.name, "notes.md");
  EXPECT_EQ(c.extensions, (std::vector<std::string>{"md", "txt"}));
  c = dlg_chooser_spec(*dlg("DLG q4 dir\tpng"));
  EXPECT_EQ(c.mode, ChooserSpec::Mode::Folder);
  EXPECT_TRUE(c.extensions.empty());
  c = dlg_chooser_spec(*dlg("DLG q5 whatever\t,png,,jpg,"));
  EXPECT_EQ(c.mode, ChooserSpec::Mode::Open);
  EXPECT_FALSE(c.multiple);
  EXPECT_EQ(c.extensions, (std::vector<std::string>{"png", "jpg"}));
  EXPECT_TRUE(dlg_chooser_spec(*dlg("DLG q6 openmulti")).multiple);

  s = page_alert_spec(PageDialog::BeforeUnload, "example.com", "", "");
  EXPECT_EQ(s.ok, "Leave");
  EXPECT_EQ(s.cancel, "Stay");
  EXPECT_FALSE(s.detail.empty());
}

TEST(Dialogs, Answers) {
  using V = std::vector<std::string>;
  EXPECT_EQ(dlg_answer(DlgKind::Alert, false, {}), "true");
  EXPECT_EQ(dlg_answer(DlgKind::Confirm, false, {}), "false");
  EXPECT_EQ(dlg_answer(DlgKind::Prompt, true, V{"a\"b"}), "\"a\\\"b\"");
  EXPECT_EQ(dlg_answer(DlgKind::Prompt, false, {}), "null");
  EXPECT_EQ(dlg_answer(DlgKind::Save, true, {}), "null");  // OK without a path
  EXPECT_EQ(dlg_answer(DlgKind::Open, true, V{"/a", "/b"}), "\"/a\"");
  EXPECT_EQ(dlg_answer(DlgKind::OpenMulti, true, V{"/a", "/b"}), "[\"/a\",\"/b\"]");
  EXPECT_EQ(dlg_answer(DlgKind::OpenMulti, false, {}), "null");
}

TEST(Dialogs, LongTextsAreCutAtACharacter) {
  std::string text(kDialogTextLimit - 1, 'a');
  text += "\xc3\xa9\xc3\xa9";  // é é across the limit
  std::string shown = dialog_text(text);
  EXPECT_EQ(shown, std::string(kDialogTextLimit - 1, 'a') + "\u2026");
  EXPECT_EQ(dialog_text("short"), "short");
}
