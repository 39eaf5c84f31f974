// DLG lines, what each kind of dialog shows and what it answers.
#include <gtest/gtest.h>

#include "dialogs/dialog.h"

TEST(Dialogs, MissingArgumentsAndTypeLists) {
  auto dlg = [](std::string_view line) { return parse_dlg(line, 4); };
  EXPECT_FALSE(dlg("DLG q1"));
  AlertSpec s = dlg_alert_spec(*dlg("DLG q1 confirm\t\tDetail\t\tKeep"), "App");
  EXPECT_EQ(s.message + "|" + s.detail + "|" + s.ok + "|" + s.cancel, "App|Detail|OK|Keep");
  EXPECT_EQ(dlg_chooser_spec(*dlg("DLG q5 whatever\t,png,,jpg,")).extensions,
            (std::vector<std::string>{"png", "jpg"}));
  EXPECT_EQ(dlg_answer(DlgKind::Save, true, {}), "null");  // OK without a path
}
