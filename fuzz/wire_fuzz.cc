// Feeds arbitrary bytes through the framer and the dispatcher; handlers are real record
// consumers that touch every field.
#include <cstddef>
#include <cstdint>
#include <deque>

#include "services/dock.h"
#include "services/print.h"
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
    x.add(Verb::Badge, route<parse_text_arg, consume<std::string>>);
    x.add(Verb::Attention, route<parse_attention, consume<int>>);
    x.add(Verb::Progress, route<parse_progress, consume<double>>);
    x.add(Verb::AppIcon, route<parse_text_arg, consume<std::string>>);
    x.add(Verb::Print, route<parse_print, consume<std::string>>);
    x.add(Verb::PrintAt, route<parse_print, consume<std::string>>);
    x.add(Verb::Pdf, route<parse_pdf, consume<PdfReq>>);
    x.add(Verb::PdfAt, route<parse_pdf, consume<PdfReq>>);
    return x;
  }();
  return h;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static InlineQueue queue;
  g_main_queue = &queue;
  Dispatcher dispatcher(fuzz_handlers());
  LineFramer framer;
  // Split the input in two reads at a data-dependent point to exercise partial lines.
  size_t cut = size ? data[0] % (size + 1) : 0;
  auto on_line = [&](std::string_view line) { dispatcher.decode(line); };
  framer.feed(reinterpret_cast<const char*>(data), cut, on_line);
  framer.feed(reinterpret_cast<const char*>(data) + cut, size - cut, on_line);
  return 0;
}
