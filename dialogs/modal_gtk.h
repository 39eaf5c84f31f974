// Dialogs modal for the app, answered from their response signals: the wire keeps flowing
// while the user decides, and no nested main loop ever runs.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/dialog.h"

typedef struct _GtkWindow GtkWindow;
typedef struct _GtkFileFilter GtkFileFilter;

struct DialogResult {
  bool confirmed = false;           // OK, or Open / Save / Select
  std::vector<std::string> values;  // when confirmed: the chosen paths, or the field's text
};
// Called once: with the result when the user answers (or the launcher stops, as a dismissal),
// with nothing when the dialog's owner window closed first.
using DialogDone = std::function<void(std::optional<DialogResult>)>;

struct DialogPlace {
  GtkWindow* parent = nullptr;  // the dialog sits over it while it is shown; may be null
  bool owned = false;           // the parent's closing closes the dialog, unanswered
};

void show_alert(const AlertSpec& spec, DialogPlace place, DialogDone done);
// `filter` (may be null; its floating reference is taken) limits the files offered.
void show_chooser(const ChooserSpec& spec, GtkFileFilter* filter, DialogPlace place,
                  DialogDone done);
