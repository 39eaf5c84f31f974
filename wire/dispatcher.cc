#include "wire/dispatcher.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "wire/text.h"

std::atomic<bool> g_about_to_app{false};

namespace {

enum class Match : uint8_t {
  Prefix,        // the line begins with the verb text
  Exact,         // the line is the verb text
  ExactOrBlank,  // the verb alone, or the verb and a blank
  AtOrBlank,     // the verb and then "@" or a blank
  ExactOrAt,     // the verb alone, or the verb and then "@"
};

struct Row {
  std::string_view text;
  Match match;
  Verb verb;
};

// The command table in recognition order: the first row that matches wins.
constexpr Row kRows[] = {
    {"RET ", Match::Prefix, Verb::Ret},
    {"EVAL", Match::AtOrBlank, Verb::Eval},
    {"TITLE@", Match::Prefix, Verb::TitleAt},
    {"TITLE ", Match::Prefix, Verb::Title},
    {"SIZE@", Match::Prefix, Verb::SizeAt},
    {"SIZE ", Match::Prefix, Verb::Size},
    {"WINOPEN ", Match::Prefix, Verb::WinOpen},
    {"WINCLOSE ", Match::Prefix, Verb::WinClose},
    {"DLG ", Match::Prefix, Verb::Dlg},
    {"NAVR ", Match::Prefix, Verb::Navr},
    {"POPUPR ", Match::Prefix, Verb::Popupr},
    {"FIND ", Match::Prefix, Verb::Find},
    {"STOPFIND ", Match::Prefix, Verb::StopFind},
    {"MENUBEGIN", Match::Exact, Verb::MenuBegin},
    {"MENUBEGIN@", Match::Prefix, Verb::MenuBeginAt},
    {"MENURESET@", Match::Prefix, Verb::MenuReset},
    {"MENU ", Match::Prefix, Verb::Menu},
    {"MENUROLE ", Match::Prefix, Verb::MenuRole},
    {"ROLEITEM ", Match::Prefix, Verb::RoleItem},
    {"ITEM ", Match::Prefix, Verb::Item},
    {"SEP", Match::Exact, Verb::Sep},
    {"SUB ", Match::Prefix, Verb::Sub},
    {"SUBEND", Match::Exact, Verb::SubEnd},
    {"MENUEND", Match::Exact, Verb::MenuEnd},
    {"TRAYBEGIN", Match::Prefix, Verb::TrayBegin},
    {"TRAYEND", Match::Exact, Verb::TrayEnd},
    {"TRAYREMOVE", Match::Exact, Verb::TrayRemove},
    {"WINOP@", Match::Prefix, Verb::WinopAt},
    {"WINOP ", Match::Prefix, Verb::Winop},
    {"CTXBEGIN", Match::Exact, Verb::CtxBegin},
    {"CTXEND", Match::Exact, Verb::CtxEnd},
    {"CTXCLEAR", Match::Exact, Verb::CtxClear},
    {"CTXSUPPRESS ", Match::Prefix, Verb::CtxSuppress},
    {"ABOUTHOOK ", Match::Prefix, Verb::AboutHook},
    {"HKREG ", Match::Prefix, Verb::HkReg},
    {"HKUNREG ", Match::Prefix, Verb::HkUnreg},
    {"AUDIOTAP STOP", Match::Prefix, Verb::AudioTapStop},
    {"AUDIOTAP ", Match::Prefix, Verb::AudioTap},
    {"AUDIOFILTERSET ", Match::Prefix, Verb::AudioFilterSet},
    {"AUDIOFILTERS", Match::ExactOrBlank, Verb::AudioFilters},
    {"AUDIOBALANCE", Match::Prefix, Verb::AudioBalance},
    {"MENUUPD", Match::AtOrBlank, Verb::MenuUpd},
    {"GET ", Match::Prefix, Verb::Get},
    {"NOTIFY ", Match::Prefix, Verb::Notify},
    {"CHROME", Match::AtOrBlank, Verb::Chrome},
    {"DRAGWIN", Match::ExactOrAt, Verb::DragWin},
    {"RESIZEWIN", Match::AtOrBlank, Verb::ResizeWin},
    {"CLIPWRITE ", Match::Prefix, Verb::ClipWrite},
    {"CLIPWATCH ", Match::Prefix, Verb::ClipWatch},
    {"DRAGOUT", Match::AtOrBlank, Verb::DragOut},
    {"KEYSTROKE ", Match::Prefix, Verb::Keystroke},
    {"PERMCHK ", Match::Prefix, Verb::PermChk},
    {"PERMREQ ", Match::Prefix, Verb::PermReq},
    {"SHELL ", Match::Prefix, Verb::Shell},
    {"LOGIN ", Match::Prefix, Verb::Login},
    {"POWER ", Match::Prefix, Verb::Power},
    {"SOUND ", Match::Prefix, Verb::Sound},
    {"SHARE", Match::AtOrBlank, Verb::Share},
    {"NOWPLAYING", Match::ExactOrBlank, Verb::NowPlaying},
    {"SAY ", Match::Prefix, Verb::Say},
    {"RECORD ", Match::Prefix, Verb::Record},
    {"WINCTRL ", Match::Prefix, Verb::WinCtrl},
    {"SAYSTOP", Match::Exact, Verb::SayStop},
    {"VOICES ", Match::Prefix, Verb::Voices},
    {"PICKCOLOR ", Match::Prefix, Verb::PickColor},
    {"OCR ", Match::Prefix, Verb::Ocr},
    {"THUMB ", Match::Prefix, Verb::Thumb},
    {"SECRET ", Match::Prefix, Verb::Secret},
    {"AUTH ", Match::Prefix, Verb::Auth},
    {"OSA ", Match::Prefix, Verb::Osa},
    {"QUICKLOOK", Match::ExactOrBlank, Verb::QuickLook},
    {"CAPTURE ", Match::Prefix, Verb::Capture},
    {"BADGE", Match::ExactOrBlank, Verb::Badge},
    {"ATTENTION", Match::Prefix, Verb::Attention},
    {"PROGRESS", Match::Prefix, Verb::Progress},
    {"PDF ", Match::Prefix, Verb::Pdf},
    {"PDF@", Match::Prefix, Verb::PdfAt},
    {"APPICON", Match::ExactOrBlank, Verb::AppIcon},
    {"COOKIES ", Match::Prefix, Verb::Cookies},
    {"SPOTLIGHT ", Match::Prefix, Verb::Spotlight},
    {"AI ", Match::Prefix, Verb::Ai},
    {"AITOOLRESULT ", Match::Prefix, Verb::AiToolResult},
    {"PRINT", Match::Exact, Verb::Print},
    {"PRINT@", Match::Prefix, Verb::PrintAt},
    {"RELOAD", Match::Exact, Verb::Reload},
    {"QUIT", Match::Exact, Verb::Quit},
};

bool matches(const Row& row, std::string_view line) {
  if (line.size() < row.text.size() || line.compare(0, row.text.size(), row.text) != 0) {
    return false;
  }
  bool alone = line.size() == row.text.size();
  char next = alone ? '\0' : line[row.text.size()];
  switch (row.match) {
    case Match::Prefix:
      return true;
    case Match::Exact:
      return alone;
    case Match::ExactOrBlank:
      return alone || next == ' ';
    case Match::AtOrBlank:
      return !alone && (next == '@' || next == ' ');
    case Match::ExactOrAt:
      return alone || next == '@';
  }
  return false;
}

// Rows grouped by their first byte, each group in table order, so a line is compared only
// with the verbs it can begin.
struct Index {
  std::array<std::array<uint8_t, 16>, 128> rows{};
  std::array<uint8_t, 128> count{};
  constexpr Index() {
    for (size_t i = 0; i < std::size(kRows); ++i) {
      auto first = static_cast<unsigned char>(kRows[i].text[0]);
      rows[first][count[first]++] = static_cast<uint8_t>(i);
    }
  }
};
constexpr Index kIndex;

}  // namespace

Recognised recognise(std::string_view line) {
  if (line.empty()) return {};
  auto first = static_cast<unsigned char>(line[0]);
  if (first >= 128) return {};
  for (uint8_t k = 0; k < kIndex.count[first]; ++k) {
    const Row& row = kRows[kIndex.rows[first][k]];
    if (matches(row, line)) return {row.verb, row.text.size()};
  }
  return {};
}

void Dispatcher::decode(std::string_view line) {
  Recognised r = recognise(line);
  std::string_view rest = line.substr(r.after);
  switch (r.verb) {
    case Verb::Ret:
      decode_ret(rest);
      break;
    case Verb::Eval:
      decode_eval(line, r.after);
      break;
    case Verb::TitleAt:
      decode_title_at(rest);
      break;
    case Verb::Title:
      send(h_.title, std::make_unique<std::string>(rest));
      break;
    case Verb::SizeAt: {
      std::string_view win;
      if (take_token(rest, win)) decode_size(rest, std::string(win), 600, 400);
      break;
    }
    case Verb::Size:
      decode_size(rest, "main", 960, 640);
      break;
    case Verb::WinOpen:
      send(h_.winopen, std::make_unique<WinOpenReq>(parse_winopen(rest)));
      break;
    case Verb::WinClose:
      send(h_.winclose, std::make_unique<std::string>(rest));
      break;
    case Verb::Navr:
      decode_answer(h_.navr, rest);
      break;
    case Verb::Popupr:
      decode_answer(h_.popupr, rest);
      break;
    case Verb::WinopAt: {
      std::string_view win;
      if (take_token(rest, win)) {
        send(h_.winop, std::make_unique<WinopReq>(WinopReq{std::string(win), std::string(rest)}));
      }
      break;
    }
    case Verb::Winop:
      send(h_.winop, std::make_unique<WinopReq>(WinopReq{"main", std::string(rest)}));
      break;
    case Verb::DragWin:
    case Verb::ResizeWin:
    case Verb::Chrome:
      decode_window_chrome(r.verb, line, r.after);
      break;
    case Verb::WinCtrl: {
      std::string_view req_id;
      if (take_token(rest, req_id)) {
        send(h_.winctrl, std::make_unique<WinCtrlReq>(parse_winctrl(std::string(req_id), rest)));
      }
      break;
    }
    case Verb::Get: {
      std::string_view id;
      if (take_token(rest, id)) {
        send(h_.get, std::make_unique<GetReq>(GetReq{std::string(id), std::string(rest)}));
      }
      break;
    }
    case Verb::AboutHook:
      g_about_to_app.store(rest == "1");
      break;
    case Verb::Reload:
      send(h_.reload, std::make_unique<NoArgs>());
      break;
    case Verb::Quit:
      send(h_.terminate, std::make_unique<NoArgs>());
      break;
    case Verb::MenuBegin:
    case Verb::MenuBeginAt:
    case Verb::Menu:
    case Verb::MenuRole:
    case Verb::RoleItem:
    case Verb::Item:
    case Verb::Sep:
    case Verb::Sub:
    case Verb::SubEnd:
    case Verb::MenuEnd:
    case Verb::TrayBegin:
    case Verb::TrayEnd:
    case Verb::CtxBegin:
    case Verb::CtxEnd:
      if (blocks_) blocks_->decode(r.verb, line, r.after);
      break;
    default:
      // A family of its own; a recognised verb without one is dropped here so that it cannot
      // reach a later verb.
      if (Route to = h_.routes[static_cast<size_t>(r.verb)]) to(line, r.after);
      break;
  }
}

void Dispatcher::decode_ret(std::string_view rest) {
  std::string_view call_id, status;
  if (!take_token(rest, call_id) || !take_token(rest, status)) return;
  auto rec = std::make_unique<ReplyReq>();
  rec->call_id = call_id;
  rec->status = wire_atoi(status);
  rec->json = rest;
  send(h_.reply, std::move(rec));
}

void Dispatcher::decode_eval(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after + 1);
  std::string_view win = "main";
  if (line[after] == '@' && !take_token(rest, win)) return;
  auto rec = std::make_unique<EvalReq>();
  rec->win = win;
  rec->text = wire_unescape(rest);
  send(h_.eval_win, std::move(rec));
}

void Dispatcher::decode_title_at(std::string_view rest) {
  std::string_view win;
  if (!take_token(rest, win)) return;
  auto rec = std::make_unique<EvalReq>();
  rec->win = win;
  rec->text = rest;
  send(h_.title_win, std::move(rec));
}

// "<qid> <answer>": the id runs to the first blank, the answer is the rest of the line.
void Dispatcher::decode_answer(Handler<AnswerReq> fn, std::string_view rest) {
  std::string_view qid;
  if (!take_token(rest, qid)) return;
  send(fn, std::make_unique<AnswerReq>(AnswerReq{std::string(qid), std::string(rest)}));
}

void Dispatcher::decode_size(std::string_view rest, std::string win, int width, int height) {
  std::string text(rest);
  std::sscanf(text.c_str(), "%d %d", &width, &height);
  auto rec = std::make_unique<SizeReq>();
  rec->win = std::move(win);
  rec->width = width;
  rec->height = height;
  send(h_.size, std::move(rec));
}

// DRAGWIN, RESIZEWIN and CHROME: "main" unless "@" names a window; after "@" the id ends at
// the first blank (DRAGWIN: at the end of the line).
void Dispatcher::decode_window_chrome(Verb verb, std::string_view line, size_t after) {
  std::string_view rest = line.substr(std::min(after + 1, line.size()));
  std::string_view win = "main";
  bool at = after < line.size() && line[after] == '@';
  if (verb == Verb::DragWin) {
    if (at && !rest.empty()) win = rest;
    send(h_.dragwin, std::make_unique<std::string>(win));
    return;
  }
  if (at && !take_token(rest, win)) return;
  if (verb == Verb::ResizeWin) {
    send(h_.resizewin, std::make_unique<ResizeReq>(ResizeReq{std::string(win), std::string(rest)}));
  } else {
    send(h_.chrome, std::make_unique<ChromeReq>(chrome_from_wire(std::string(win), rest)));
  }
}
