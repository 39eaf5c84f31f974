// Bridge bench: the page-call round trip and the start-up of the launcher, each against the
// engine floor (engine_floor, beside this program), a minimal WebKitGTK program that settles
// page calls without a socket, a thread or an extension. Both run the same page.
//
// For the launcher this program is the backend: it listens on a Unix socket, answers every
// CALL with a RET at once, and ends the launcher with QUIT. The engine floor answers its calls
// itself and reports on its standard output.
//
// Figures, per program, as medians over the runs:
// - start-up: from just before the fork to the first client.hello call reaching native code
//   (for the launcher: the CALL line read here; for the floor: its own handler's time stamp);
// - round trip p50 / p99: one call in flight at a time. The page's clock has a resolution of
//   1 ms, too coarse for single calls, so these are timed where the calls arrive: with one call
//   in flight, the time between two arrivals is one full round trip of the loop;
// - round trip mean: the page's own time for the whole sequential phase, over its calls;
// - throughput: the page's own time for all pipelined calls, from the first call made to the
//   last promise settled;
// - memory once the page has reported: the UI process's resident memory (VmRSS), and the
//   proportional set size of it with its web and network processes (shared pages count once).
//
// Needs a display; `make bench` runs it in the test desktop when there is none.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_proc.h"
#include "bench/bench_text.h"
#include "bench/page_html.h"

namespace {

struct Options {
  std::string launcher;
  std::string floor;
  int runs = 5;
  int warm = 200;
  int seq = 2000;
  int pipe = 5000;
  int timeout_s = 60;  // per program run
  bool keep = false;
};

// ---- one run of one program ----------------------------------------------------------------

// What one run of one program gave.
struct RunFigures {
  double startup_ms = 0;
  double p50_ms = 0;
  double p99_ms = 0;
  double mean_ms = 0;
  double calls_per_s = 0;
  double ui_mib = 0;
  double tree_mib = 0;
  std::vector<double> trips_ms;  // the sequential round trips, in call order
};

// The calls of one run, as they reach native code.
class Session {
 public:
  explicit Session(const Options& o) : o_(o) {
    pings_.reserve(static_cast<size_t>(o.warm + o.seq + o.pipe));
  }

  // Notes one call; returns the JSON text to answer it with.
  std::string_view note(std::string_view method, std::string_view params, int64_t at) {
    if (method == "bench.ping") {
      pings_.push_back(at);
      return params;
    }
    if (method == "client.hello") {
      if (!hello_at_) hello_at_ = at;
    } else if (method == "client.capabilities") {
      return R"({"calls":{},"events":{}})";
    } else if (method == "bench.result") {
      result_ = std::string(params);
    } else if (method == "bench.error") {
      error_ = "the page failed: " + std::string(params);
    }
    return "null";
  }
  void set_pings(std::vector<int64_t> pings) { pings_ = std::move(pings); }
  void fail(std::string why) {
    if (error_.empty()) error_ = std::move(why);
  }

  bool done() const { return result_.has_value() || !error_.empty(); }
  const std::string& error() const { return error_; }
  std::optional<int64_t> hello_at() const { return hello_at_; }

  // The figures once the page has reported; nothing (and error()) when they do not add up.
  std::optional<RunFigures> figures(int64_t started) {
    if (!error_.empty()) return std::nullopt;
    if (!result_ || !hello_at_) {
      fail("the page did not report");
      return std::nullopt;
    }
    auto seq_ms = json_number(*result_, "seqMs");
    auto pipe_ms = json_number(*result_, "pipeMs");
    auto bad = json_number(*result_, "bad");
    if (!seq_ms || !pipe_ms || !bad) {
      fail("unreadable page report: " + *result_);
      return std::nullopt;
    }
    if (*bad != 0) {
      fail(std::to_string(static_cast<int>(*bad)) + " calls were settled with a wrong answer");
      return std::nullopt;
    }
    size_t expected = static_cast<size_t>(o_.warm + o_.seq + o_.pipe);
    if (pings_.size() != expected) {
      fail("native code saw " + std::to_string(pings_.size()) + " calls, the page made " +
           std::to_string(expected));
      return std::nullopt;
    }
    // With one call in flight, the time between two arrivals is one round trip. The last
    // warm-up call starts the first interval, so there are exactly seq of them.
    RunFigures f;
    for (int i = o_.warm - 1; i < o_.warm + o_.seq - 1; ++i) {
      if (i < 0) continue;
      f.trips_ms.push_back(static_cast<double>(pings_[i + 1] - pings_[i]) / kMs);
    }
    std::vector<double> trips = f.trips_ms;
    std::sort(trips.begin(), trips.end());
    f.startup_ms = static_cast<double>(*hello_at_ - started) / kMs;
    f.p50_ms = quantile(trips, 0.5);
    f.p99_ms = quantile(trips, 0.99);
    f.mean_ms = *seq_ms / o_.seq;
    f.calls_per_s = *pipe_ms > 0 ? o_.pipe / (*pipe_ms / 1000) : 0;
    return f;
  }

 private:
  const Options& o_;
  std::vector<int64_t> pings_;
  std::optional<int64_t> hello_at_;
  std::optional<std::string> result_;
  std::string error_;
};

// The memory of the program that ran, taken before it is told to end.
std::optional<RunFigures> with_memory(std::optional<RunFigures> f, pid_t pid) {
  if (f) {
    f->ui_mib = static_cast<double>(rss_kib(pid)) / 1024;
    f->tree_mib = static_cast<double>(tree_pss_kib(pid)) / 1024;
  }
  return f;
}

// The launcher, with this program as its backend.
std::optional<RunFigures> run_launcher(const Options& o, const std::string& dir,
                                       const std::string& page, int index, std::string& error) {
  std::string sock_path = dir + "/w.sock";
  std::string log = dir + "/launcher-" + std::to_string(index) + ".log";
  Fd listener(listen_unix(sock_path, error));
  if (listener.fd < 0) return std::nullopt;

  Session session(o);
  Child child;
  int64_t started = monotonic_ns();
  int64_t deadline = started + o.timeout_s * kSec;
  if (!child.start({o.launcher, page, sock_path, "bridge bench", "960x640"}, -1, -1, log, error))
    return std::nullopt;

  Fd conn(accept_launcher(listener.fd, child, deadline, log, error));
  if (conn.fd < 0) return std::nullopt;

  LineReader reader;
  std::string out;
  while (!session.done()) {
    int r = wait_readable(conn.fd, child, deadline);
    if (r <= 0) {
      error = child_stopped(child, r, log, "launcher", "timed out waiting for the page");
      return std::nullopt;
    }
    int64_t at = monotonic_ns();
    out.clear();
    bool open = reader.read(conn.fd, [&](std::string_view line) {
      auto call = parse_call_line(line);
      if (!call) return;
      auto payload = parse_payload(call->payload);
      std::string_view answer =
          payload ? session.note(payload->method, payload->params, at) : "null";
      out.append("RET ").append(call->call_id).append(" 0 ").append(answer).push_back('\n');
    });
    if (!out.empty() && !send_all(conn.fd, out, deadline)) {
      error = "cannot answer the launcher";
      return std::nullopt;
    }
    if (!open) {
      error = "the launcher closed the wire" + log_tail(log);
      return std::nullopt;
    }
  }

  auto figures = with_memory(session.figures(started), child.pid());
  send_all(conn.fd, "QUIT\n", deadline);
  if (!child.wait_exit(monotonic_ns() + 10 * kSec)) {
    std::fprintf(stderr, "bridge_bench: the launcher did not end on QUIT within 10 s\n");
  } else if (!child.exited_cleanly()) {
    std::fprintf(stderr, "bridge_bench: the launcher ended on QUIT with %s\n",
                 child.describe_end().c_str());
  }
  if (!figures) error = session.error();
  return figures;
}

// The engine floor, which answers the page itself and reports on its standard output.
std::optional<RunFigures> run_floor(const Options& o, const std::string& dir,
                                    const std::string& page, int index, std::string& error) {
  std::string log = dir + "/floor-" + std::to_string(index) + ".log";
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return std::nullopt;
  }
  Fd in_read(in[0]), in_write(in[1]);
  if (pipe2(out, O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return std::nullopt;
  }
  Fd out_read(out[0]), out_write(out[1]);

  Session session(o);
  Child child;
  int64_t started = monotonic_ns();
  int64_t deadline = started + o.timeout_s * kSec;
  if (!child.start({o.floor, page, "960x640"}, in_read.fd, out_write.fd, log, error))
    return std::nullopt;
  in_read.reset();
  out_write.reset();

  LineReader reader;
  while (!session.done()) {
    // Its web processes may hold the output open after the floor itself has ended.
    int r = wait_readable(out_read.fd, child, deadline);
    if (r <= 0) {
      error = child_stopped(child, r, log, "engine floor", "timed out waiting for the page");
      return std::nullopt;
    }
    // The floor's output may still hold lines when it has ended; they are read first.
    bool open = reader.read(out_read.fd, [&](std::string_view line) {
      if (line.substr(0, 6) == "HELLO ") {
        auto at = parse_integers(line.substr(6));
        if (at && at->size() == 1) session.note("client.hello", "", at->front());
      } else if (line.substr(0, 6) == "PINGS ") {
        if (auto pings = parse_integers(line.substr(6))) session.set_pings(std::move(*pings));
      } else if (line.substr(0, 4) == "MSG ") {
        if (auto payload = parse_payload(line.substr(4)))
          session.note(payload->method, payload->params, monotonic_ns());
      }
    });
    if (!open && !session.done()) {
      error = child_stopped(child, -1, log, "engine floor", "");
      return std::nullopt;
    }
  }

  auto figures = with_memory(session.figures(started), child.pid());
  in_write.reset();  // the floor ends with its input
  if (!child.wait_exit(monotonic_ns() + 10 * kSec))
    std::fprintf(stderr, "bridge_bench: the engine floor did not end within 10 s\n");
  if (!figures) error = session.error();
  return figures;
}

// ---- report ------------------------------------------------------------------------------

struct Row {
  const char* name;
  double RunFigures::*field;
  const char* unit;
  bool higher_is_better;
  double goal;  // the highest ratio that meets it; 0: none set
};

constexpr Row kRows[] = {
    {"start-up to first call", &RunFigures::startup_ms, "ms", false, 1.05},
    {"round trip p50", &RunFigures::p50_ms, "ms", false, 1.15},
    {"round trip p99", &RunFigures::p99_ms, "ms", false, 1.3},
    {"round trip mean (page)", &RunFigures::mean_ms, "ms", false, 0},
    {"pipelined throughput", &RunFigures::calls_per_s, "calls/s", true, 1.0},
    {"UI process (RSS)", &RunFigures::ui_mib, "MiB", false, 1.1},
    {"with web/network (PSS)", &RunFigures::tree_mib, "MiB", false, 0},
};

double median_of(const std::vector<RunFigures>& runs, double RunFigures::*field) {
  std::vector<double> v;
  for (const RunFigures& r : runs)
    v.push_back(r.*field);
  return median(v);
}

std::string format_value(double v, const char* unit) {
  char buf[64];
  if (std::strcmp(unit, "ms") != 0) {
    std::snprintf(buf, sizeof buf, "%.1f %s", v, unit);
  } else {
    std::snprintf(buf, sizeof buf, "%.3f %s", v, unit);
  }
  return buf;
}

void print_run(int index, const char* who, const RunFigures& f) {
  std::printf(
      "  run %d %-9s start-up %8.1f ms  p50 %6.3f ms  p99 %6.3f ms  mean %6.3f ms  %7.0f calls/s"
      "  RSS %6.1f MiB  PSS %6.1f MiB\n",
      index, who, f.startup_ms, f.p50_ms, f.p99_ms, f.mean_ms, f.calls_per_s, f.ui_mib, f.tree_mib);
  std::fflush(stdout);
}

void print_table(const Options& o, const std::vector<RunFigures>& launcher,
                 const std::vector<RunFigures>& floor) {
  std::printf(
      "\nMedians over %d runs; ratio = launcher cost / floor cost (for throughput: floor "
      "rate / launcher rate)\n\n",
      o.runs);
  std::printf("%-24s %16s %16s %8s  %s\n", "", "launcher", "engine floor", "ratio", "goal");
  for (const Row& row : kRows) {
    double l = median_of(launcher, row.field);
    double f = median_of(floor, row.field);
    double ratio = row.higher_is_better ? (l > 0 ? f / l : 0) : (f > 0 ? l / f : 0);
    char goal[32] = "-";
    if (row.goal > 0) {
      bool met = ratio > 0 && ratio <= row.goal;
      std::snprintf(goal, sizeof goal, "<= %.2fx %s", row.goal, met ? "met" : "MISSED");
    }
    std::printf("%-24s %16s %16s %7.2fx  %s\n", row.name, format_value(l, row.unit).c_str(),
                format_value(f, row.unit).c_str(), ratio, goal);
  }
  std::printf(
      "\nStart-up: from the fork to the first client.hello call in native code. Round trip "
      "p50/p99:\ntimed where the calls arrive (the page's clock has 1 ms steps); mean and "
      "throughput: timed\nby the page.\n");
}

// ---- set-up ------------------------------------------------------------------------------

const char* kUsage =
    "usage: bridge_bench [--runs N] [--warm N] [--seq N] [--pipe N] [--timeout SECONDS]\n"
    "                    [--launcher PATH] [--floor PATH] [--keep]\n"
    "Measures the launcher's page-call round trip, start-up and memory against the engine floor.\n"
    "Defaults: 5 runs of each program; per run 200 warm-up calls, 2000 sequential calls,\n"
    "5000 pipelined calls; 60 s per program run. --keep leaves the work folder with the\n"
    "programs' logs and the sequential round trips of each run (trips-*.txt, ms).\n";

bool parse_options(int argc, char** argv, Options& o) {
  std::string dir = exe_dir();
  o.launcher = dir + "/kelojs-launcher";
  o.floor = dir + "/engine_floor";
  return parse_bench_options(argc, argv,
                             {.numbers = {{"--runs", &o.runs},
                                          {"--warm", &o.warm},
                                          {"--seq", &o.seq},
                                          {"--pipe", &o.pipe},
                                          {"--timeout", &o.timeout_s}},
                              .texts = {{"--launcher", &o.launcher}, {"--floor", &o.floor}},
                              .flags = {{"--keep", &o.keep}}});
}

std::string page_text(const Options& o) {
  return bench_page(BENCH_PAGE_HTML, "{warm:" + std::to_string(o.warm) +
                                         ",seq:" + std::to_string(o.seq) +
                                         ",pipe:" + std::to_string(o.pipe) + "}");
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse_options(argc, argv, o)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (!bench_has_display("bridge_bench")) return 2;
  if (!bench_can_run("bridge_bench", o.launcher) || !bench_can_run("bridge_bench", o.floor))
    return 2;
  std::string dir = bench_work_dir("bridge_bench", "kelo-bench");
  if (dir.empty()) return 1;
  std::string page = dir + "/bridge.html";
  std::string html = page_text(o);
  {
    std::ofstream f(page, std::ios::binary);
    f << html;
    if (html.empty() || !f) {
      std::fprintf(stderr, "bridge_bench: cannot write the page %s\n", page.c_str());
      return 1;
    }
  }

  std::printf("bridge bench: %d runs; per run %d warm-up, %d sequential, %d pipelined calls\n",
              o.runs, o.warm, o.seq, o.pipe);
  std::vector<RunFigures> launcher, floor;
  std::string error;
  bool ok = true;
  for (int i = 1; i <= o.runs && ok; ++i) {
    // Alternate which program goes first, so neither always meets the colder caches.
    for (int k = 0; k < 2 && ok; ++k) {
      bool launcher_turn = (i + k) % 2 == 1;
      auto figures =
          launcher_turn ? run_launcher(o, dir, page, i, error) : run_floor(o, dir, page, i, error);
      if (!figures) {
        std::fprintf(stderr, "bridge_bench: run %d of the %s: %s\n", i,
                     launcher_turn ? "launcher" : "engine floor", error.c_str());
        ok = false;
        break;
      }
      print_run(i, launcher_turn ? "launcher" : "floor", *figures);
      if (o.keep) {
        std::ofstream trips(dir + (launcher_turn ? "/trips-launcher-" : "/trips-floor-") +
                            std::to_string(i) + ".txt");
        for (double t : figures->trips_ms)
          trips << t << '\n';
      }
      (launcher_turn ? launcher : floor).push_back(*figures);
    }
  }
  if (ok) print_table(o, launcher, floor);

  bench_leave_work_dir("bridge_bench", dir, o.keep || !ok);
  return ok ? 0 : 1;
}
