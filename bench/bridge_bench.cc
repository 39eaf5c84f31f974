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
//   last promise settled.
//
// Needs a display; `make bench` runs it in the test desktop when there is none.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_text.h"
#include "bench/page_html.h"

namespace {

constexpr int64_t kMs = 1000000;
constexpr int64_t kSec = 1000 * kMs;
constexpr double kGoal = 1.3;

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

// ---- processes ---------------------------------------------------------------------------

// A child process, ended and reaped when the holder goes.
class Child {
 public:
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (pidfd_ >= 0) close(pidfd_);
  }

  // Starts argv with stdin and stdout on the given descriptors (-1: /dev/null) and stderr
  // into log. The child is killed when this process dies.
  bool start(const std::vector<std::string>& argv, int in_fd, int out_fd, const std::string& log,
             std::string& error) {
    std::vector<char*> args;
    for (const std::string& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int log_fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (log_fd < 0 || null_fd < 0) {
      error = "cannot open " + log + ": " + std::strerror(errno);
      if (log_fd >= 0) close(log_fd);
      if (null_fd >= 0) close(null_fd);
      return false;
    }
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (getppid() != parent) _exit(127);
      dup2(in_fd >= 0 ? in_fd : null_fd, 0);
      dup2(out_fd >= 0 ? out_fd : null_fd, 1);
      dup2(log_fd, 2);
      execv(args[0], args.data());
      _exit(127);
    }
    int err = errno;
    close(log_fd);
    close(null_fd);
    if (pid < 0) {
      error = std::string("fork: ") + std::strerror(err);
      return false;
    }
    pid_ = pid;
    pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd_ < 0) {
      error = std::string("pidfd_open: ") + std::strerror(errno);
      return false;
    }
    return true;
  }

  // Readable once the child has ended.
  int pidfd() const { return pidfd_; }

  // Waits until the child ends or the deadline passes; true when it ended (and is reaped).
  bool wait_exit(int64_t deadline) {
    if (pid_ <= 0) return true;
    pollfd p{pidfd_, POLLIN, 0};
    for (;;) {
      int64_t left = deadline - monotonic_ns();
      if (left <= 0) return false;
      int r = poll(&p, 1, static_cast<int>(std::min<int64_t>(left / kMs + 1, INT_MAX)));
      if (r < 0 && errno == EINTR) continue;
      if (r > 0) break;
      if (r == 0) return false;
    }
    waitpid(pid_, &status_, 0);
    pid_ = -1;
    return true;
  }

  bool exited_cleanly() const {
    return pid_ < 0 && WIFEXITED(status_) && WEXITSTATUS(status_) == 0;
  }
  std::string describe_end() const {
    if (pid_ > 0) return "still running";
    if (WIFEXITED(status_)) return "exit status " + std::to_string(WEXITSTATUS(status_));
    if (WIFSIGNALED(status_)) return "killed by signal " + std::to_string(WTERMSIG(status_));
    return "ended";
  }

 private:
  pid_t pid_ = -1;
  int pidfd_ = -1;
  int status_ = 0;
};

struct Fd {
  int fd = -1;
  Fd() = default;
  explicit Fd(int f) : fd(f) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }
  void reset(int f = -1) {
    if (fd >= 0) close(fd);
    fd = f;
  }
};

int ms_until(int64_t deadline) {
  int64_t left = deadline - monotonic_ns();
  return left <= 0 ? 0 : static_cast<int>(std::min<int64_t>(left / kMs + 1, INT_MAX));
}

// Waits until fd is readable, the child ends, or the deadline passes. 1: readable; 0: time-out;
// -1: the child ended first.
int wait_readable(int fd, const Child& child, int64_t deadline) {
  pollfd p[2] = {{fd, POLLIN, 0}, {child.pidfd(), POLLIN, 0}};
  for (;;) {
    int r = poll(p, 2, ms_until(deadline));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return 0;
    if (p[0].revents) return 1;
    return -1;
  }
}

bool send_all(int fd, std::string_view bytes, int64_t deadline) {
  while (!bytes.empty()) {
    ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd, POLLOUT, 0};
      if (poll(&p, 1, ms_until(deadline)) <= 0) return false;
      continue;
    }
    return false;
  }
  return true;
}

// Reads what is there and hands over every complete line; false at the end of the stream.
class LineReader {
 public:
  bool read(int fd, const std::function<void(std::string_view)>& on_line) {
    char chunk[65536];
    ssize_t n;
    do {
      n = ::read(fd, chunk, sizeof chunk);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return false;
    buf_.append(chunk, static_cast<size_t>(n));
    size_t start = 0;
    for (size_t nl; (nl = buf_.find('\n', start)) != std::string::npos; start = nl + 1)
      on_line(std::string_view(buf_).substr(start, nl - start));
    buf_.erase(0, start);
    return true;
  }

 private:
  std::string buf_;
};

std::string log_tail(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.size() > 1500) text = "..." + text.substr(text.size() - 1500);
  while (!text.empty() && text.back() == '\n')
    text.pop_back();
  return text.empty() ? "" : "; its log ends:\n" + text;
}

// ---- one run of one program ----------------------------------------------------------------

// What one run of one program gave.
struct RunFigures {
  double startup_ms = 0;
  double p50_ms = 0;
  double p99_ms = 0;
  double mean_ms = 0;
  double calls_per_s = 0;
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

// The launcher, with this program as its backend.
std::optional<RunFigures> run_launcher(const Options& o, const std::string& dir,
                                       const std::string& page, int index, std::string& error) {
  std::string sock_path = dir + "/w.sock";
  std::string log = dir + "/launcher-" + std::to_string(index) + ".log";
  unlink(sock_path.c_str());
  Fd listener(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", sock_path.c_str());
  if (listener.fd < 0 || bind(listener.fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listener.fd, 1) != 0) {
    error = "cannot listen on " + sock_path + ": " + std::strerror(errno);
    return std::nullopt;
  }

  Session session(o);
  Child child;
  int64_t started = monotonic_ns();
  int64_t deadline = started + o.timeout_s * kSec;
  if (!child.start({o.launcher, page, sock_path, "bridge bench", "960x640"}, -1, -1, log, error))
    return std::nullopt;

  auto ended_early = [&] {
    child.wait_exit(monotonic_ns() + 5 * kSec);
    return "the launcher ended (" + child.describe_end() + ")" + log_tail(log);
  };
  int r = wait_readable(listener.fd, child, deadline);
  if (r <= 0) {
    error =
        r == 0 ? "the launcher did not connect within the time-out" + log_tail(log) : ended_early();
    return std::nullopt;
  }
  Fd conn(accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC));
  if (conn.fd < 0) {
    error = std::string("accept: ") + std::strerror(errno);
    return std::nullopt;
  }

  LineReader reader;
  std::string out;
  while (!session.done()) {
    r = wait_readable(conn.fd, child, deadline);
    if (r <= 0) {
      error = r == 0 ? "timed out waiting for the page" + log_tail(log) : ended_early();
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

  send_all(conn.fd, "QUIT\n", deadline);
  if (!child.wait_exit(monotonic_ns() + 10 * kSec)) {
    std::fprintf(stderr, "bridge_bench: the launcher did not end on QUIT within 10 s\n");
  } else if (!child.exited_cleanly()) {
    std::fprintf(stderr, "bridge_bench: the launcher ended on QUIT with %s\n",
                 child.describe_end().c_str());
  }
  auto figures = session.figures(started);
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
    int r = wait_readable(out_read.fd, child, deadline);
    if (r == 0) {
      error = "timed out waiting for the page" + log_tail(log);
      return std::nullopt;
    }
    // Its web processes may hold the output open after the floor itself has ended.
    if (r < 0) {
      child.wait_exit(monotonic_ns() + 5 * kSec);
      error = "the engine floor ended (" + child.describe_end() + ")" + log_tail(log);
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
      child.wait_exit(monotonic_ns() + 5 * kSec);
      error = "the engine floor ended (" + child.describe_end() + ")" + log_tail(log);
      return std::nullopt;
    }
  }

  in_write.reset();  // the floor ends with its input
  if (!child.wait_exit(monotonic_ns() + 10 * kSec))
    std::fprintf(stderr, "bridge_bench: the engine floor did not end within 10 s\n");
  auto figures = session.figures(started);
  if (!figures) error = session.error();
  return figures;
}

// ---- report ------------------------------------------------------------------------------

struct Row {
  const char* name;
  double RunFigures::*field;
  const char* unit;
  bool higher_is_better;
};

constexpr Row kRows[] = {
    {"start-up to first call", &RunFigures::startup_ms, "ms", false},
    {"round trip p50", &RunFigures::p50_ms, "ms", false},
    {"round trip p99", &RunFigures::p99_ms, "ms", false},
    {"round trip mean (page)", &RunFigures::mean_ms, "ms", false},
    {"pipelined throughput", &RunFigures::calls_per_s, "calls/s", true},
};

double median_of(const std::vector<RunFigures>& runs, double RunFigures::*field) {
  std::vector<double> v;
  for (const RunFigures& r : runs)
    v.push_back(r.*field);
  return median(v);
}

std::string format_value(double v, const char* unit) {
  char buf[64];
  if (std::strcmp(unit, "calls/s") == 0) {
    std::snprintf(buf, sizeof buf, "%.0f %s", v, unit);
  } else {
    std::snprintf(buf, sizeof buf, "%.3f %s", v, unit);
  }
  return buf;
}

void print_run(int index, const char* who, const RunFigures& f) {
  std::printf(
      "  run %d %-9s start-up %8.1f ms  p50 %6.3f ms  p99 %6.3f ms  mean %6.3f ms  %7.0f calls/s\n",
      index, who, f.startup_ms, f.p50_ms, f.p99_ms, f.mean_ms, f.calls_per_s);
  std::fflush(stdout);
}

void print_table(const Options& o, const std::vector<RunFigures>& launcher,
                 const std::vector<RunFigures>& floor) {
  std::printf(
      "\nMedians over %d runs; ratio = launcher cost / floor cost (for throughput: floor "
      "rate / launcher rate); goal <= %.1fx\n\n",
      o.runs, kGoal);
  std::printf("%-24s %16s %16s %8s  %s\n", "", "launcher", "engine floor", "ratio", "goal");
  for (const Row& row : kRows) {
    double l = median_of(launcher, row.field);
    double f = median_of(floor, row.field);
    double ratio = row.higher_is_better ? (l > 0 ? f / l : 0) : (f > 0 ? l / f : 0);
    bool met = ratio > 0 && ratio <= kGoal;
    std::printf("%-24s %16s %16s %7.2fx  %s\n", row.name, format_value(l, row.unit).c_str(),
                format_value(f, row.unit).c_str(), ratio, met ? "met" : "MISSED");
  }
  std::printf(
      "\nStart-up: from the fork to the first client.hello call in native code. Round trip "
      "p50/p99:\ntimed where the calls arrive (the page's clock has 1 ms steps); mean and "
      "throughput: timed\nby the page.\n");
}

// ---- set-up ------------------------------------------------------------------------------

std::string exe_dir() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  return path.substr(0, path.find_last_of('/'));
}

const char* kUsage =
    "usage: bridge_bench [--runs N] [--warm N] [--seq N] [--pipe N] [--timeout SECONDS]\n"
    "                    [--launcher PATH] [--floor PATH] [--keep]\n"
    "Measures the launcher's page-call round trip and start-up against the engine floor.\n"
    "Defaults: 5 runs of each program; per run 200 warm-up calls, 2000 sequential calls,\n"
    "5000 pipelined calls; 60 s per program run. --keep leaves the work folder with the\n"
    "programs' logs and the sequential round trips of each run (trips-*.txt, ms).\n";

bool parse_options(int argc, char** argv, Options& o) {
  std::string dir = exe_dir();
  o.launcher = dir + "/kelojs-launcher";
  o.floor = dir + "/engine_floor";
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--keep") {
      o.keep = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    std::string value = argv[++i];
    int* number = arg == "--runs"      ? &o.runs
                  : arg == "--warm"    ? &o.warm
                  : arg == "--seq"     ? &o.seq
                  : arg == "--pipe"    ? &o.pipe
                  : arg == "--timeout" ? &o.timeout_s
                                       : nullptr;
    if (number) {
      char* end = nullptr;
      long v = std::strtol(value.c_str(), &end, 10);
      if (*end != '\0' || v < 1 || v > 10000000) return false;
      *number = static_cast<int>(v);
    } else if (arg == "--launcher") {
      o.launcher = value;
    } else if (arg == "--floor") {
      o.floor = value;
    } else {
      return false;
    }
  }
  return true;
}

std::string page_text(const Options& o) {
  std::string html = BENCH_PAGE_HTML;
  const std::string mark = "/*BENCH_CONFIG*/{}";
  size_t at = html.find(mark);
  if (at == std::string::npos) return {};
  std::string config = "{warm:" + std::to_string(o.warm) + ",seq:" + std::to_string(o.seq) +
                       ",pipe:" + std::to_string(o.pipe) + "}";
  return html.replace(at, mark.size(), config);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse_options(argc, argv, o)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    std::fputs("bridge_bench: no display; run it inside tests/desktop/run (make bench does)\n",
               stderr);
    return 2;
  }
  for (const std::string& path : {o.launcher, o.floor}) {
    if (access(path.c_str(), X_OK) != 0) {
      std::fprintf(stderr, "bridge_bench: cannot run %s\n", path.c_str());
      return 2;
    }
  }
  char dir_template[] = "/tmp/kelo-bench-XXXXXX";
  if (!mkdtemp(dir_template)) {
    std::perror("bridge_bench: mkdtemp");
    return 1;
  }
  std::string dir = dir_template;
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

  if (o.keep || !ok) {
    std::fprintf(stderr, "bridge_bench: work folder and logs kept in %s\n", dir.c_str());
  } else {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  return ok ? 0 : 1;
}
