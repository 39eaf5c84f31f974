// Native dialogs on request (DLG) and the page's own dialogs: what each shows and what it
// answers.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct DlgReq {
  std::string callref;  // a page call id, or "q" + digits
  std::string kind;     // "save", "alert", "confirm", "prompt", "dir", "openmulti", else open
  std::vector<std::string> args;  // as received, not unescaped

  // A missing argument reads as empty.
  const std::string& arg(size_t i) const;
};

// "DLG <callref> <kind>[TAB arg]..."; null without the blank after the call reference.
std::unique_ptr<DlgReq> parse_dlg(std::string_view line, size_t after);

enum class DlgKind { Save, Alert, Confirm, Prompt, Dir, OpenMulti, Open };
DlgKind dlg_kind(std::string_view kind);

// A message dialog: the message in bold, the detail under it, an OK button, optionally a
// Cancel button and a text field.
struct AlertSpec {
  std::string title;  // of its window: the app name, or who asks
  std::string message;
  std::string detail;
  std::string ok = "OK";
  std::string cancel;  // empty: no Cancel button
  bool entry = false;
  std::string entry_text;
};

// The dialog of an "alert", "confirm" or "prompt" DLG (defaults applied: the app name for an
// empty message, "OK" and "Cancel" for empty button titles).
AlertSpec dlg_alert_spec(const DlgReq& req, const std::string& app_name);

// The file dialog of a "save", "dir", "openmulti" or open DLG.
struct ChooserSpec {
  enum class Mode { Open, Save, Folder } mode = Mode::Open;
  bool multiple = false;
  std::vector<std::string> extensions;  // allowed file-name extensions; empty: all files
  std::string name;                     // suggested file name of a save dialog
};
ChooserSpec dlg_chooser_spec(const DlgReq& req);

// The extensions of an allowed-types list: the non-empty pieces between commas, in order.
std::vector<std::string> type_pieces(std::string_view list);

// The answer of a DLG as JSON: `confirmed` is the user's OK, `values` the chosen paths or the
// prompt's text. A dialog closed without OK gives alert true, confirm false and null for the
// others, as does an OK without any path.
std::string dlg_answer(DlgKind kind, bool confirmed, const std::vector<std::string>& values);

// The page's alert, confirm or prompt, and its before-unload question: the title (the host of
// the page's origin, else the app name) names the window and stands in bold over the page's
// message.
enum class PageDialog { Alert, Confirm, Prompt, BeforeUnload };
AlertSpec page_alert_spec(PageDialog kind, const std::string& title, const std::string& message,
                          const std::string& default_text);

// Texts longer than this are cut (at a character boundary, with an ellipsis) before a dialog
// shows them: a dialog is no place for megabytes.
inline constexpr size_t kDialogTextLimit = 4096;
std::string dialog_text(std::string_view text);
