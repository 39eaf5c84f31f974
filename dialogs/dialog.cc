#include "dialogs/dialog.h"

#include "wire/text.h"

const std::string& DlgReq::arg(size_t i) const {
  static const std::string kEmpty;
  return i < args.size() ? args[i] : kEmpty;
}

std::unique_ptr<DlgReq> parse_dlg(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after), callref;
  if (!take_token(rest, callref)) return nullptr;
  auto req = std::make_unique<DlgReq>();
  req->callref = callref;
  std::vector<std::string> f = split_tabs(rest);
  req->kind = std::move(f[0]);
  req->args.assign(std::make_move_iterator(f.begin() + 1), std::make_move_iterator(f.end()));
  return req;
}

DlgKind dlg_kind(std::string_view kind) {
  if (kind == "save") return DlgKind::Save;
  if (kind == "alert") return DlgKind::Alert;
  if (kind == "confirm") return DlgKind::Confirm;
  if (kind == "prompt") return DlgKind::Prompt;
  if (kind == "dir") return DlgKind::Dir;
  if (kind == "openmulti") return DlgKind::OpenMulti;
  return DlgKind::Open;
}

namespace {

const std::string& or_default(const std::string& text, const std::string& fallback) {
  return text.empty() ? fallback : text;
}

}  // namespace

AlertSpec dlg_alert_spec(const DlgReq& req, const std::string& app_name) {
  static const std::string kOk = "OK", kCancel = "Cancel";
  DlgKind kind = dlg_kind(req.kind);
  AlertSpec s;
  s.title = app_name;
  s.message = or_default(req.arg(0), app_name);
  s.ok = or_default(req.arg(2), kOk);
  if (kind != DlgKind::Alert) s.cancel = or_default(req.arg(3), kCancel);
  if (kind == DlgKind::Prompt) {
    s.entry = true;
    s.entry_text = req.arg(1);
  } else {
    s.detail = req.arg(1);
  }
  return s;
}

ChooserSpec dlg_chooser_spec(const DlgReq& req) {
  ChooserSpec s;
  switch (dlg_kind(req.kind)) {
    case DlgKind::Save:
      s.mode = ChooserSpec::Mode::Save;
      s.name = req.arg(1);
      break;
    case DlgKind::Dir:
      s.mode = ChooserSpec::Mode::Folder;
      return s;  // a folder has no type
    case DlgKind::OpenMulti:
      s.multiple = true;
      break;
    default:
      break;
  }
  s.extensions = type_pieces(req.arg(0));
  return s;
}

std::vector<std::string> type_pieces(std::string_view list) {
  std::vector<std::string> pieces;
  while (!list.empty()) {
    size_t comma = list.find(',');
    std::string_view piece = list.substr(0, comma);
    if (!piece.empty()) pieces.emplace_back(piece);
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
  }
  return pieces;
}

std::string dlg_answer(DlgKind kind, bool confirmed, const std::vector<std::string>& values) {
  switch (kind) {
    case DlgKind::Alert:
      return "true";
    case DlgKind::Confirm:
      return confirmed ? "true" : "false";
    case DlgKind::OpenMulti:
      return confirmed && !values.empty() ? json_string_array(values) : "null";
    default:
      return confirmed && !values.empty() ? json_escape(values[0]) : "null";
  }
}

AlertSpec page_alert_spec(PageDialog kind, const std::string& title, const std::string& message,
                          const std::string& default_text) {
  AlertSpec s;
  s.title = title;
  s.message = title;
  s.detail = message;
  switch (kind) {
    case PageDialog::Alert:
      break;
    case PageDialog::Prompt:
      s.entry = true;
      s.entry_text = default_text;
      [[fallthrough]];
    case PageDialog::Confirm:
      s.cancel = "Cancel";
      break;
    case PageDialog::BeforeUnload:
      if (s.detail.empty()) s.detail = "Changes you made may not be saved.";
      s.ok = "Leave";
      s.cancel = "Stay";
      break;
  }
  return s;
}

std::string dialog_text(std::string_view text) {
  if (text.size() <= kDialogTextLimit) return std::string(text);
  size_t cut = kDialogTextLimit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
    --cut;
  return std::string(text.substr(0, cut)) + "\u2026";
}
