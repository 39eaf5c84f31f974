// Feeds arbitrary bytes through the framer and the dispatcher; handlers are real record
// consumers that touch every field.
#include <cstddef>
#include <cstdint>
#include <deque>

#include "ai/ai_request.h"
#include "dialogs/find.h"
#include "system/clipboard.h"
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

// CLIPWRITE's fields through the decoders the handler uses (files are not read here).
void decode_clip_fields(webview_t, std::unique_ptr<ClipWriteReq> r) {
  if (!r->image.starts_with("/") && !r->image.starts_with("~"))
    g_sink += decode_image_field(r->image, "").value_or("").size();
  g_sink += parse_hex_colour(r->colour).has_value() + paths_from_uri_list(r->text).size();
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
    x.get = [](webview_t, std::unique_ptr<GetReq> r) { g_sink += r->id.size() + r->key.size(); };
    // Families with parsers of their own: x.add(Verb::V, route<parse_v, consume<VReq>>);
    x.add(Verb::Find, route<parse_find, consume<FindReq>>);
    x.add(Verb::StopFind, route<parse_stopfind, consume<std::string>>);
    x.add(Verb::Ai, route<parse_ai, consume<AiReq>>);
    x.add(Verb::AiToolResult, [](std::string_view line, size_t after) {
      if (auto r = parse_tool_result(line, after)) g_sink += r->text.size();
    });
    x.add(Verb::ClipWrite, route<parse_clip_write, decode_clip_fields>);
    x.add(Verb::ClipWatch, route<parse_clip_watch, consume<int>>);
    x.add(Verb::DragOut, route<parse_dragout, consume<DragOutReq>>);
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
