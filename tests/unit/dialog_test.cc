// DLG lines, what each kind of dialog shows and what it answers.
#include <gtest/gtest.h>

#include "dialogs/dialog.h"

namespace {

std::unique_ptr<DlgReq> dlg(std::string_view line) {
  return parse_dlg(line, 4);
}

}  // namespace

TEST(Dialogs, MissingArgumentsTakeTheirDefaults) {
  EXPECT_FALSE(dlg("DLG q1"));
  AlertSpec s = dlg_alert_spec(*dlg("DLG q1 confirm\t\tDetail\t\tKeep"), "App");
  EXPECT_EQ(s.message, "App");
  EXPECT_EQ(s.detail, "Detail");
  EXPECT_EQ(s.ok, "OK");
  EXPECT_EQ(s.cancel, "Keep");
  EXPECT_EQ(dlg_alert_spec(*dlg("DLG main:3 alert"), "App").cancel, "");
  s = dlg_alert_spec(*dlg("DLG q2 prompt\tName?\tBob\\t"), "App");
  EXPECT_TRUE(s.entry);
  EXPECT_EQ(s.entry_text, "Bob\\t");  // fields are not unescaped
  EXPECT_EQ(s.cancel, "Cancel");

  ChooserSpec c = dlg_chooser_spec(*dlg("DLG q3 save\tmd,txt\tnotes.md"));
  EXPECT_EQ(c.mode, ChooserSpec::Mode::Save);
  EXPECT_EQ(c.name, "notes.md");
  EXPECT_EQ(c.extensions, (std::vector<std::string>{"md", "txt"}));
  EXPECT_TRUE(dlg_chooser_spec(*dlg("DLG q4 dir\tpng")).extensions.empty());
  c = dlg_chooser_spec(*dlg("DLG q5 whatever\t,png,,jpg,"));
  EXPECT_EQ(c.mode, ChooserSpec::Mode::Open);
  EXPECT_EQ(c.extensions, (std::vector<std::string>{"png", "jpg"}));
}

TEST(Dialogs, AnswersAndLongTexts) {
  using V = std::vector<std::string>;
  EXPECT_EQ(dlg_answer(DlgKind::Alert, false, {}), "true");
  EXPECT_EQ(dlg_answer(DlgKind::Prompt, true, V{"a\"b"}), "\"a\\\"b\"");
  EXPECT_EQ(dlg_answer(DlgKind::Save, true, {}), "null");  // OK without a path
  EXPECT_EQ(dlg_answer(DlgKind::OpenMulti, true, V{"/a", "/b"}), "[\"/a\",\"/b\"]");

  std::string text(kDialogTextLimit - 1, 'a');
  text += "\xc3\xa9\xc3\xa9";  // é é across the limit: cut before the first
  EXPECT_EQ(dialog_text(text), std::string(kDialogTextLimit - 1, 'a') + "\u2026");
}
