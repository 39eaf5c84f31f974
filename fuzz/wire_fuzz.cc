// Feeds arbitrary bytes through the framer and the dispatcher; handlers are real record
// consumers that touch every field.
#include <cstddef>
#include <cstdint>
#include <deque>

#include "ai/ai_request.h"
#include "dialogs/find.h"
#include "services/capture.h"
#include "services/ocr.h"
#include "services/pickcolor.h"
#include "services/quicklook.h"
#include "services/record.h"
#include "services/thumb.h"
#include "menus/menu_blocks.h"
#include "menus/menu_state.h"
#include "wire/dispatcher.h"
#include "wire/framer.h"

namespace {

class InlineQueue final : public MainQueue {
 public:
  void post(TaskPtr task) override { task->run(); }
};

size_t g_sink = 0;

// The handler end of a family's route: the record is built and destroyed.
template <class R>
void consume(webview_t, std::unique_ptr<R> r) {
  g_sink += reinterpret_cast<uintptr_t>(r.get()) & 1;
}

// Menu blocks are laid out, bound to keys and updated as the main thread would.
MenuState& fuzz_menus() {
  static MenuState state;
  return state;
}

void lay_out_menus(webview_t, std::unique_ptr<MenuBarReq> r) {
  MenuState& state = fuzz_menus();
  if (r->reset) {
    state.drop_window_menus(r->win);
  } else {
    state.set_window_menus(r->win, std::move(r->menus));
  }
  g_sink += bar_accelerators(state.bar_for(r->win).layout).size();
}

void update_menus(webview_t, std::unique_ptr<MenuUpdReq> r) {
  g_sink += fuzz_menus().update(*r).size() + fuzz_menus().item_json(r->id, false).size();
}

const Handlers& fuzz_handlers() {
  static const Handlers h = [] {
    Handlers x;
    x.reply = [](webview_t, std::unique_ptr<ReplyReq> r) {
      g_sink += r->call_id.size() + r->json.size() + static_cast<size_t>(r->status & 1);
    };
    x.eval_win = [](webview_t, std::unique_ptr<EvalReq> r) {
      g_sink += r->win.size() + r->text.size();
    };
    x.title_win = x.eval_win;
    x.title = [](webview_t, std::unique_ptr<std::string> t) { g_sink += t->size(); };
    x.size = [](webview_t, std::unique_ptr<SizeReq> r) {
      g_sink +=
          r->win.size() + static_cast<size_t>(r->width & 1) + static_cast<size_t>(r->height & 1);
    };
    x.navr = [](webview_t, std::unique_ptr<NavrReq> r) {
      g_sink += r->qid.size() + r->answer.size();
    };
    x.popupr = x.navr;
    x.reload = [](webview_t, std::unique_ptr<NoArgs>) { ++g_sink; };
    x.terminate = x.reload;
    // Families with parsers of their own: x.add(Verb::V, route<parse_v, consume<VReq>>);
    x.add(Verb::Find, route<parse_find, consume<FindReq>>);
    x.add(Verb::StopFind, route<parse_stopfind, consume<std::string>>);
    x.add(Verb::Ai, route<parse_ai, consume<AiReq>>);
    x.add(Verb::AiToolResult, [](std::string_view line, size_t after) {
      if (auto r = parse_tool_result(line, after)) g_sink += r->text.size();
    });
    x.add(Verb::Capture, route<parse_capture, consume<CaptureReq>>);
    x.add(Verb::Record, route<parse_record, consume<RecordReq>>);
    x.add(Verb::Ocr, route<parse_ocr, consume<OcrReq>>);
    x.add(Verb::Thumb, route<parse_thumb, consume<ThumbReq>>);
    x.add(Verb::PickColor, route<parse_pickcolor, consume<std::string>>);
    x.add(Verb::QuickLook, route<parse_quicklook, consume<QLReq>>);
    x.blocks = [] {
      return make_block_reader(MenuSinks{lay_out_menus, consume<TraySpec>, consume<CtxReq>});
    };
    x.add(Verb::MenuReset, route<parse_menu_reset, lay_out_menus>);
    x.add(Verb::MenuUpd, route<parse_menu_update, update_menus>);
    x.add(Verb::CtxClear, route<parse_ctx_clear, consume<CtxReq>>);
    x.add(Verb::CtxSuppress, route<parse_ctx_suppress, consume<bool>>);
    x.add(Verb::TrayRemove, route<parse_tray_remove, consume<TraySpec>>);
    return x;
  }();
  return h;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static InlineQueue queue;
  g_main_queue = &queue;
  fuzz_menus() = MenuState();  // every input starts without menus
  Dispatcher dispatcher(fuzz_handlers());
  LineFramer framer;
  // Split the input in two reads at a data-dependent point to exercise partial lines.
  size_t cut = size ? data[0] % (size + 1) : 0;
  auto on_line = [&](std::string_view line) { dispatcher.decode(line); };
  framer.feed(reinterpret_cast<const char*>(data), cut, on_line);
  framer.feed(reinterpret_cast<const char*>(data) + cut, size - cut, on_line);
  return 0;
}
