// Loop bench: backend commands through the whole launcher, against the wire's own framing.
//
// This program is the launcher's backend. Once the page has said hello it writes a pipelined
// burst of lines, each answered by a handler on the launcher's main thread, and reads the
// answers back:
// - RET in the loop-back form: "RET q<n> 0 {...}" comes back as "GOT <n> {...}";
// - GET "windows": "GET <n> windows" comes back as "GOT <n> [...]".
// A writer thread sends while this thread reads, as a busy backend would. Every answer must
// come back, in order. Figure: lines per second from the first byte written to the last answer
// read. Baseline: framing the same bytes into lines in this process, as the launcher's reader
// does (4 KiB reads), timed in the same run.
//
// Then it opens and closes secondary windows one by one, each waiting for its page's hello:
// the launcher's resident memory after --windows of them against its memory after the first
// --warm-windows (what the engine keeps for good, such as its caches, is in place by then).
//
// Needs a display; `make bench` runs it in the test desktop when there is none.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/launcher_session.h"
#include "wire/framer.h"

namespace {

constexpr double kGoalLinesPerSec = 300000;
constexpr double kGoalGrowth = 1.05;

struct Options {
  std::string launcher;
  int lines = 200000;
  int runs = 5;
  int warm_windows = 10;
  int windows = 100;
  int timeout_s = 300;
  bool keep = false;
};

struct Kind {
  const char* name;
  std::string (*line)(long id);
};

const Kind kKinds[] = {
    {"RET loop-back",
     [](long id) {
       return "RET q" + std::to_string(id) + " 0 {\"n\":" + std::to_string(id) + "}";
     }},
    {"GET windows", [](long id) { return "GET " + std::to_string(id) + " windows"; }},
};

std::string burst(const Kind& kind, long first, int count) {
  std::string out;
  for (long id = first; id < first + count; ++id)
    out.append(kind.line(id)).push_back('\n');
  return out;
}

// Lines per second of the launcher for one burst; 0 with error set when it fails.
double launcher_rate(LauncherSession& s, const std::string& bytes, long first, int count,
                     int64_t deadline, std::string& error) {
  long expected = first;
  int64_t t0 = monotonic_ns();
  bool sent = true;
  std::thread writer([&] {
    for (size_t pos = 0; pos < bytes.size() && sent; pos += 65536)
      sent = s.send(std::string_view(bytes).substr(pos, 65536), deadline);
  });
  bool ok = s.pump(
      deadline, [&] { return expected == first + count || !error.empty(); },
      [&](std::string_view line) {
        if (line.substr(0, 4) != "GOT ") return;
        long id = std::atol(std::string(line.substr(4, line.find(' ', 4) - 4)).c_str());
        if (id == expected) {
          ++expected;
        } else if (error.empty()) {
          error = "answer " + std::to_string(id) + " came where " + std::to_string(expected) +
                  " was due";
        }
      },
      error);
  int64_t t1 = monotonic_ns();
  writer.join();
  if (!ok || !error.empty() || !sent) {
    if (error.empty()) error = "cannot write to the launcher";
    return 0;
  }
  return count / (static_cast<double>(t1 - t0) / kSec);
}

// Lines per second of the framer over the same bytes, median of a few passes.
double framing_rate(const std::string& bytes, int count) {
  std::vector<double> rates;
  for (int pass = 0; pass < 5; ++pass) {
    LineFramer framer;
    size_t seen = 0;
    int64_t t0 = monotonic_ns();
    for (size_t pos = 0; pos < bytes.size(); pos += 4096) {
      size_t n = std::min<size_t>(4096, bytes.size() - pos);
      framer.feed(bytes.data() + pos, n, [&](std::string_view l) { seen += l.size() + 1; });
    }
    int64_t t1 = monotonic_ns();
    if (seen != bytes.size()) return 0;
    rates.push_back(count / (static_cast<double>(t1 - t0) / kSec));
  }
  return median(rates);
}

// Resident memory of the launcher in KiB once it has had a moment to give back what it let go.
double settled_rss(LauncherSession& s) {
  std::this_thread::sleep_for(std::chrono::seconds(2));
  return static_cast<double>(rss_kib(s.pid()));
}

// Opens window id on page, waits for its page's hello, closes it and waits for WINCLOSED.
bool cycle_window(LauncherSession& s, const std::string& id, const std::string& page,
                  const std::string& hello_from, int64_t deadline, std::string& error) {
  bool closed = false;
  return s.send("WINOPEN " + id + "\t" + page + "\t" + id + "\t400x300\n", deadline) &&
         s.pump(
             deadline, [&] { return hello_from == id; }, [](std::string_view) {}, error) &&
         s.send("WINCLOSE " + id + "\n", deadline) &&
         s.pump(
             deadline, [&] { return closed; },
             [&](std::string_view line) { closed = closed || line == "WINCLOSED " + id; }, error);
}

const char* kUsage =
    "usage: loop_bench [--lines N] [--runs N] [--warm-windows N] [--windows N]\n"
    "                  [--timeout SECONDS] [--launcher PATH] [--keep]\n"
    "Pipelined RET loop-back answers and GET windows through the launcher, against framing\n"
    "the same bytes; then the launcher's memory across opening and closing windows.\n"
    "Defaults: 200000 lines per burst, 5 runs, 10 + 100 windows, 300 s.\n";

}  // namespace

int main(int argc, char** argv) {
  Options o;
  o.launcher = exe_dir() + "/kelojs-launcher";
  if (!parse_bench_options(argc, argv,
                           {.numbers = {{"--lines", &o.lines},
                                        {"--runs", &o.runs},
                                        {"--warm-windows", &o.warm_windows},
                                        {"--windows", &o.windows},
                                        {"--timeout", &o.timeout_s}},
                            .texts = {{"--launcher", &o.launcher}},
                            .flags = {{"--keep", &o.keep}}})) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (!bench_has_display("loop_bench") || !bench_can_run("loop_bench", o.launcher)) return 2;
  std::string dir = bench_work_dir("loop_bench", "kelo-loop-bench");
  if (dir.empty()) return 1;
  std::string page = dir + "/loop.html";
  std::ofstream(page) << "<!doctype html><meta charset=\"utf-8\"><title>loop bench</title>\n";

  LauncherSession s;
  std::string error;
  int64_t deadline = monotonic_ns() + o.timeout_s * kSec;
  std::string hello_from;  // the window whose page said hello last
  s.set_answer([&](std::string_view call_id, const CallPayload& call) -> std::string {
    if (call.method == "client.hello") hello_from = call_id.substr(0, call_id.find(':'));
    return "";
  });
  bool ok = s.start(o.launcher, page, dir, deadline, error) &&
            s.pump(
                deadline, [&] { return hello_from == "main"; }, [](std::string_view) {}, error);

  std::printf("loop bench: %d lines per burst, %d runs\n", o.lines, o.runs);
  std::vector<std::vector<double>> launcher(std::size(kKinds)), framing(std::size(kKinds));
  long next_id = 1;
  for (int run = 1; run <= o.runs && ok; ++run) {
    for (size_t k = 0; k < std::size(kKinds) && ok; ++k) {
      std::string bytes = burst(kKinds[k], next_id, o.lines);
      double rate = launcher_rate(s, bytes, next_id, o.lines, deadline, error);
      next_id += o.lines;
      ok = rate > 0;
      if (!ok) break;
      launcher[k].push_back(rate);
      framing[k].push_back(framing_rate(bytes, o.lines));
      std::printf("  run %d %-14s launcher %9.0f lines/s  framing %11.0f lines/s\n", run,
                  kKinds[k].name, rate, framing[k].back());
      std::fflush(stdout);
    }
  }
  if (ok) {
    std::printf(
        "\nMedians over %d runs; ratio = launcher rate / framing rate of the same bytes\n\n",
        o.runs);
    std::printf("%-16s %16s %16s %8s  %s\n", "", "launcher", "framing", "ratio", "goal");
    for (size_t k = 0; k < std::size(kKinds); ++k) {
      double l = median(launcher[k]), f = median(framing[k]);
      bool goal = k == 0;  // the goal is set for the loop-back answers
      std::printf(
          "%-16s %10.0f lines/s %10.0f lines/s %7.3fx  %s\n", kKinds[k].name, l, f,
          f > 0 ? l / f : 0,
          goal ? (l >= kGoalLinesPerSec ? ">= 300000 lines/s met" : ">= 300000 MISSED") : "-");
    }
    std::fflush(stdout);
    double warm = 0;
    for (int i = 1; i <= o.warm_windows + o.windows && ok; ++i) {
      ok = cycle_window(s, "w" + std::to_string(i), page, hello_from, deadline, error);
      if (i == o.warm_windows) warm = settled_rss(s);
    }
    if (ok) {
      double after = settled_rss(s);
      std::printf(
          "\nLauncher RSS after %d windows opened and closed: %.1f MiB; after %d more: %.1f MiB;\n"
          "growth %.3fx (goal <= %.2fx: %s)\n",
          o.warm_windows, warm / 1024, o.windows, after / 1024, after / warm, kGoalGrowth,
          after / warm <= kGoalGrowth ? "met" : "MISSED");
      s.quit();
    }
  }
  if (!ok) std::fprintf(stderr, "loop_bench: %s\n", error.c_str());
  bench_leave_work_dir("loop_bench", dir, o.keep || !ok);
  return ok ? 0 : 1;
}
