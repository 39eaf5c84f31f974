// Decodes wire lines from the backend into request records and hands them, with their
// handlers, to the main thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "windows/chrome.h"
#include "windows/winop.h"
#include "windows/winopen.h"
#include "wire/main_queue.h"
#include "wire/requests.h"

// Every command verb, in the order lines are recognised.
// clang-format off
enum class Verb : uint8_t {
  Unknown,
  Ret, Eval, TitleAt, Title, SizeAt, Size, WinOpen, WinClose, Dlg, Navr, Popupr, Find, StopFind,
  MenuBegin, MenuBeginAt, MenuReset, Menu, MenuRole, RoleItem, Item, Sep, Sub, SubEnd, MenuEnd,
  TrayBegin, TrayEnd, TrayRemove, WinopAt, Winop, CtxBegin, CtxEnd, CtxClear, CtxSuppress,
  AboutHook, HkReg, HkUnreg, AudioTapStop, AudioTap, AudioFilterSet, AudioFilters, AudioBalance,
  MenuUpd, Get, Notify, Chrome, DragWin, ResizeWin, ClipWrite, ClipWatch, DragOut, Keystroke,
  PermChk, PermReq, Shell, Login, Power, Sound, Share, NowPlaying, Say, Record, WinCtrl, SayStop,
  Voices, PickColor, Ocr, Thumb, Secret, Auth, Osa, QuickLook, Capture, Badge, Attention,
  Progress, Pdf, PdfAt, AppIcon, Cookies, Spotlight, Ai, AiToolResult, Print, PrintAt, Reload,
  Quit,
};
// clang-format on

struct Recognised {
  Verb verb = Verb::Unknown;
  size_t after = 0;  // offset of the first byte after the verb text
};

// The first command whose verb the line carries, by the rules of the command table.
Recognised recognise(std::string_view line);

constexpr size_t kVerbCount = static_cast<size_t>(Verb::Quit) + 1;

// A command family decoded by its own subsystem: gets the whole line and the offset of the
// first byte after the verb, cuts its fields and hands its record to the main thread.
using Route = void (*)(std::string_view line, size_t after);

// Binds a family's parser and handler into a route. Parse(line, after) gives the record, or
// null for a line that is ignored; Handle receives the record on the main thread.
template <auto Parse, auto Handle>
void route(std::string_view line, size_t after) {
  if (auto rec = Parse(line, after)) launcher_dispatch(Handle, std::move(rec));
}

// The reader thread's state of the block commands (menu bars, tray, context menu), kept by the
// subsystem that owns the blocks. Every parser has one of its own for as long as it lives.
class BlockDecoder {
 public:
  virtual ~BlockDecoder() = default;
  // A line whose verb is one of the block verbs, MENUBEGIN to CTXEND.
  virtual void decode(Verb verb, std::string_view line, size_t after) = 0;
};

// Handlers of the commands that are built. A null handler means the command is recognised and
// its lines are dropped.
struct Handlers {
  Handler<ReplyReq> reply = nullptr;        // RET
  Handler<EvalReq> eval_win = nullptr;      // EVAL, EVAL@
  Handler<EvalReq> title_win = nullptr;     // TITLE@
  Handler<std::string> title = nullptr;     // TITLE
  Handler<SizeReq> size = nullptr;          // SIZE, SIZE@
  Handler<WinOpenReq> winopen = nullptr;    // WINOPEN
  Handler<std::string> winclose = nullptr;  // WINCLOSE
  Handler<WinopReq> winop = nullptr;        // WINOP, WINOP@
  Handler<std::string> dragwin = nullptr;   // DRAGWIN, DRAGWIN@
  Handler<ResizeReq> resizewin = nullptr;   // RESIZEWIN, RESIZEWIN@
  Handler<WinCtrlReq> winctrl = nullptr;    // WINCTRL
  Handler<ChromeReq> chrome = nullptr;      // CHROME, CHROME@
  Handler<GetReq> get = nullptr;            // GET
  Handler<NavrReq> navr = nullptr;          // NAVR
  Handler<PopuprReq> popupr = nullptr;      // POPUPR
  Handler<NoArgs> reload = nullptr;         // RELOAD
  Handler<NoArgs> terminate = nullptr;      // QUIT, and the end of the wire
  // Every other family, by verb; an empty slot drops its lines.
  std::array<Route, kVerbCount> routes{};
  // Makes the block state of a new parser; without it block lines are dropped.
  std::unique_ptr<BlockDecoder> (*blocks)() = nullptr;

  void add(Verb verb, Route r) { routes[static_cast<size_t>(verb)] = r; }
};

// Set by ABOUTHOOK on the reader thread; read by the About action.
extern std::atomic<bool> g_about_to_app;

// The reader thread's parser: the handler table plus the block state.
class Dispatcher {
 public:
  explicit Dispatcher(const Handlers& handlers)
      : h_(handlers), blocks_(handlers.blocks ? handlers.blocks() : nullptr) {}

  void decode(std::string_view line);

 private:
  template <class R>
  void send(Handler<R> fn, std::unique_ptr<R> rec) {
    if (fn) launcher_dispatch(fn, std::move(rec));
  }
  void decode_ret(std::string_view rest);
  void decode_eval(std::string_view line, size_t after);
  void decode_title_at(std::string_view rest);
  void decode_answer(Handler<AnswerReq> fn, std::string_view rest);
  void decode_size(std::string_view rest, std::string win, int width, int height);
  void decode_window_chrome(Verb verb, std::string_view line, size_t after);

  const Handlers& h_;
  std::unique_ptr<BlockDecoder> blocks_;
};
