// Throughput of the wire's read path: framing, recognition and record building, for a mix of
// lines like those a busy app sends. The baseline is framing alone over the same bytes.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "wire/dispatcher.h"
#include "wire/framer.h"

namespace {

std::string make_stream(size_t* lines_out) {
  const std::vector<std::string> mix = {
      "RET main:1842 0 {\"ok\":true,\"items\":[1,2,3],\"name\":\"inbox\"}",
      "EVAL window.__emit({\"name\":\"tick\",\"data\":{\"t\":12345,\"v\":0.25}})",
      "EVAL@side window.__emit({\"name\":\"status\",\"data\":\"Syncing\\\\n3 of 9\"})",
      "TITLE Inbox (3)",
      "SIZE 1200 800",
      "SIZE@side 400 300",
      "GET 77 battery",
      "WINOP@side show",
      "NOTIFY 5\tHello\tBody text\t\t\tline one\\nline two",
      "AUDIOTAP STOP",
      "CLIPWRITE 9\ttext\thello world\t\t",
      "MENUUPD@side\tfile.save\t1\t0\t",
  };
  std::string stream;
  size_t lines = 0;
  while (stream.size() < (1 << 20)) {
    for (const auto& l : mix) {
      stream += l;
      stream += '\n';
      ++lines;
    }
  }
  *lines_out = lines;
  return stream;
}

class DroppingQueue final : public MainQueue {
 public:
  void post(TaskPtr task) override { benchmark::DoNotOptimize(task.get()); }
};

Handlers sink_handlers() {
  Handlers h;
  h.reply = [](webview_t, std::unique_ptr<ReplyReq> r) {
    benchmark::DoNotOptimize(r->json.data());
  };
  h.eval_win = [](webview_t, std::unique_ptr<EvalReq> r) {
    benchmark::DoNotOptimize(r->text.data());
  };
  h.title_win = h.eval_win;
  h.title = [](webview_t, std::unique_ptr<std::string> t) { benchmark::DoNotOptimize(t->data()); };
  h.size = [](webview_t, std::unique_ptr<SizeReq> r) { benchmark::DoNotOptimize(r->width); };
  return h;
}

void feed_in_reads(LineFramer& f, const std::string& s, auto&& on_line) {
  for (size_t pos = 0; pos < s.size(); pos += 4096) {
    size_t n = std::min<size_t>(4096, s.size() - pos);
    f.feed(s.data() + pos, n, on_line);
  }
}

void BM_FramingOnly(benchmark::State& state) {
  size_t lines = 0;
  std::string stream = make_stream(&lines);
  for (auto _ : state) {
    LineFramer f;
    size_t count = 0;
    feed_in_reads(f, stream, [&](std::string_view l) { count += l.size(); });
    benchmark::DoNotOptimize(count);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * lines));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_FramingOnly);

void BM_FramingRecognitionRecords(benchmark::State& state) {
  size_t lines = 0;
  std::string stream = make_stream(&lines);
  DroppingQueue queue;
  g_main_queue = &queue;
  Handlers handlers = sink_handlers();
  for (auto _ : state) {
    LineFramer f;
    Dispatcher d(handlers);
    feed_in_reads(f, stream, [&](std::string_view l) { d.decode(l); });
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * lines));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_FramingRecognitionRecords);

}  // namespace

BENCHMARK_MAIN();
