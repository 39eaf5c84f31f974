// Media bench: how fast a page receives a large resource through the launcher's kelo-media
// scheme, against the engine's own loader for the same bytes, in one launcher run.
//
// Four sources serve one file of --size MiB (default 256):
// - kelo-media://file/<path>          the scheme's file streaming
// - file://<path>                     the engine's file loader
// - kelo-media://proxy/?u=<http url>  the scheme's proxy
// - http://127.0.0.1:<port>/data.bin  the engine's network loader
// The HTTP server is a thread of this program (sendfile from the page cache). This program is
// the launcher's backend; the page reads every source whole, once to warm up and then --runs
// times in rotating order, and reports its own timings. Figures: median MB/s (10^6 bytes) per
// source and the ratio of each kelo-media source to the engine's loader of the same kind.
//
// Then the page makes --pings calls one at a time with nothing else going on, and calls again
// one at a time while it reads kelo-media://file/ once more, and then file://. Figures: the
// calls' round trips (timed here, where they arrive) while kelo-media streams against idle (the
// file:// row shows what the engine's own streaming costs them), and that read's rate against
// file://.
//
// Needs a display; `make bench` runs it in the test desktop when there is none.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/launcher_session.h"
#include "bench/media_page_html.h"

namespace {

constexpr double kGoal = 0.5;          // kelo-media at least half the engine's throughput
constexpr double kGoalP99 = 3;         // page calls while streaming against idle
constexpr double kGoalBusyRate = 0.4;  // the stream with calls against file://

struct Options {
  std::string launcher;
  int size_mib = 256;
  int runs = 3;
  int pings = 500;
  int timeout_s = 600;
  bool keep = false;
};

struct Source {
  const char* key;    // the page's name for it
  const char* label;  // in the table
};

constexpr Source kSources[] = {
    {"mediaFile", "kelo-media://file/"},
    {"engineFile", "file://"},
    {"mediaProxy", "kelo-media://proxy/"},
    {"engineHttp", "http:// (direct)"},
};

// ---- the loopback HTTP server ------------------------------------------------------------------

// Answers every request on 127.0.0.1 with the whole file, one connection per request.
class FileServer {
 public:
  ~FileServer() {
    if (listener_.fd >= 0) shutdown(listener_.fd, SHUT_RDWR);
    if (acceptor_.joinable()) acceptor_.join();
    std::lock_guard<std::mutex> lock(mu_);
    for (std::thread& t : connections_)
      t.join();
  }

  bool start(const std::string& path, std::string& error) {
    file_.reset(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (file_.fd < 0 || fstat(file_.fd, &st) != 0) {
      error = "cannot open " + path + ": " + std::strerror(errno);
      return false;
    }
    size_ = st.st_size;
    listener_.reset(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listener_.fd < 0 || bind(listener_.fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        listen(listener_.fd, 16) != 0 ||
        getsockname(listener_.fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
      error = std::string("cannot listen on 127.0.0.1: ") + std::strerror(errno);
      return false;
    }
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { accept_loop(); });
    return true;
  }

  int port() const { return port_; }

 private:
  void accept_loop() {
    for (;;) {
      int fd = accept4(listener_.fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EINTR || errno == ECONNABORTED) continue;
        return;  // shut down
      }
      std::lock_guard<std::mutex> lock(mu_);
      connections_.emplace_back([this, fd] { serve(fd); });
    }
  }

  void serve(int fd) {
    Fd conn(fd);
    std::string request;
    char buf[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
      ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n <= 0) return;
      request.append(buf, static_cast<size_t>(n));
    }
    std::string head =
        "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
        "Content-Length: " +
        std::to_string(size_) +
        "\r\nAccess-Control-Allow-Origin: *\r\nCache-Control: no-store\r\n"
        "Connection: close\r\n\r\n";
    if (!send_all(fd, head, monotonic_ns() + 10 * kSec)) return;
    off_t offset = 0;
    while (offset < size_) {
      ssize_t n = sendfile(fd, file_.fd, &offset, static_cast<size_t>(size_ - offset));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;  // the reader went away
    }
  }

  Fd file_;
  Fd listener_;
  off_t size_ = 0;
  int port_ = 0;
  std::thread acceptor_;
  std::mutex mu_;
  std::vector<std::thread> connections_;
};

// ---- the launcher run --------------------------------------------------------------------------

// The page's timings per source, in milliseconds, one per run; the round trips of its calls.
struct Figures {
  std::vector<std::vector<double>> ms;  // in kSources order
  double busy_stream_ms = 0;            // the read during which the busy calls ran
  double engine_stream_ms = 0;          // the same over file://
  std::vector<double> idle_trips_ms;    // sorted
  std::vector<double> busy_trips_ms;    // sorted
  std::vector<double> engine_trips_ms;  // sorted
};

// With one call in flight, the time between two arrivals is one round trip.
std::vector<double> trips(const std::vector<int64_t>& arrivals) {
  std::vector<double> out;
  for (size_t i = 1; i < arrivals.size(); ++i)
    out.push_back(static_cast<double>(arrivals[i] - arrivals[i - 1]) / kMs);
  std::sort(out.begin(), out.end());
  return out;
}

std::optional<Figures> run_launcher(const Options& o, const std::string& dir,
                                    const std::string& page, std::string& error) {
  LauncherSession s;
  int64_t deadline = monotonic_ns() + o.timeout_s * kSec;
  std::optional<std::string> result;
  std::map<std::string, std::vector<int64_t>, std::less<>> arrivals;  // per phase
  s.set_answer([&](std::string_view, const CallPayload& call) -> std::string {
    if (call.method == "client.capabilities") return R"({"calls":{},"events":{}})";
    if (call.method == "bench.ping") {
      arrivals[std::string(call.params)].push_back(monotonic_ns());
      return std::string(call.params);
    }
    if (call.method == "bench.result") result = std::string(call.params);
    if (call.method == "bench.error") error = "the page failed: " + std::string(call.params);
    return "";
  });
  if (!s.start(o.launcher, page, dir, deadline, error) ||
      !s.pump(
          deadline, [&] { return result || !error.empty(); }, [](std::string_view) {}, error))
    return std::nullopt;
  s.quit();
  if (!error.empty()) return std::nullopt;

  Figures f;
  for (const Source& source : kSources) {
    auto ms = json_numbers(*result, source.key);
    if (!ms || ms->size() != static_cast<size_t>(o.runs)) {
      error = "unreadable page report: " + *result;
      return std::nullopt;
    }
    f.ms.push_back(*ms);
  }
  auto busy_ms = json_numbers(*result, "busyStream");
  auto engine_ms = json_numbers(*result, "engineStream");
  f.idle_trips_ms = trips(arrivals["\"idle\""]);
  f.busy_trips_ms = trips(arrivals["\"busy\""]);
  f.engine_trips_ms = trips(arrivals["\"engine\""]);
  if (!busy_ms || busy_ms->size() != 1 || !engine_ms || engine_ms->size() != 1 ||
      f.idle_trips_ms.empty() || f.busy_trips_ms.empty() || f.engine_trips_ms.empty()) {
    error = "the page's calls during the streams did not come: " + *result;
    return std::nullopt;
  }
  f.busy_stream_ms = busy_ms->front();
  f.engine_stream_ms = engine_ms->front();
  return f;
}

// ---- set-up and report ------------------------------------------------------------------------

// A file of pseudo-random bytes, so no layer can shortcut runs of zeros.
bool write_data(const std::string& path, int64_t size) {
  std::ofstream f(path, std::ios::binary);
  std::vector<uint64_t> block(1 << 17);  // 1 MiB
  uint64_t x = 0x9e3779b97f4a7c15ull;
  for (int64_t done = 0; done < size && f; done += 1 << 20) {
    for (uint64_t& v : block) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      v = x;
    }
    f.write(reinterpret_cast<const char*>(block.data()),
            static_cast<std::streamsize>(std::min<int64_t>(size - done, 1 << 20)));
  }
  return static_cast<bool>(f);
}

// "%3A" and "%2F" for the characters of an http URL that would end a query value early or
// confuse a reader; the URL here has no others.
std::string encode_component(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == ':') {
      out += "%3A";
    } else if (c == '/') {
      out += "%2F";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string page_text(const Options& o, const std::string& data, int port) {
  std::string http = "http://127.0.0.1:" + std::to_string(port) + "/data.bin";
  const std::string urls[] = {"kelo-media://file" + data, "file://" + data,
                              "kelo-media://proxy/?u=" + encode_component(http), http};
  std::string sources;
  for (size_t i = 0; i < std::size(kSources); ++i) {
    if (i) sources += ",";
    sources += std::string("[\"") + kSources[i].key + "\",\"" + urls[i] + "\"]";
  }
  std::string config = "{size:" + std::to_string(int64_t{o.size_mib} << 20) +
                       ",runs:" + std::to_string(o.runs) + ",pings:" + std::to_string(o.pings) +
                       ",sources:[" + sources + "]}";
  return bench_page(MEDIA_PAGE_HTML, config);
}

double mb_per_s(const Options& o, double ms) {
  return ms > 0 ? static_cast<double>(int64_t{o.size_mib} << 20) / 1e6 / (ms / 1000) : 0;
}

void print_report(const Options& o, const Figures& f) {
  std::printf("\n%-22s", "MB/s per run");
  for (int i = 1; i <= o.runs; ++i)
    std::printf(" %8s%-2d", "run ", i);
  std::printf(" %10s\n", "median");
  std::vector<double> medians;
  for (size_t s = 0; s < std::size(kSources); ++s) {
    std::printf("%-22s", kSources[s].label);
    for (double ms : f.ms[s])
      std::printf(" %10.1f", mb_per_s(o, ms));
    medians.push_back(mb_per_s(o, median(f.ms[s])));
    std::printf(" %10.1f\n", medians.back());
  }
  std::printf("\nratio kelo-media / engine (goal >= %.2f)\n", kGoal);
  for (size_t s = 0; s + 1 < std::size(kSources); s += 2) {
    double ratio = medians[s + 1] > 0 ? medians[s] / medians[s + 1] : 0;
    std::printf("  %-20s vs %-18s %6.2f  %s\n", kSources[s].label, kSources[s + 1].label, ratio,
                ratio >= kGoal ? "met" : "MISSED");
  }

  // Page calls while kelo-media://file/ streams, against the same calls with nothing going on.
  double idle50 = quantile(f.idle_trips_ms, 0.5), idle99 = quantile(f.idle_trips_ms, 0.99);
  double busy50 = quantile(f.busy_trips_ms, 0.5), busy99 = quantile(f.busy_trips_ms, 0.99);
  double busy_rate = mb_per_s(o, f.busy_stream_ms);
  double p99_ratio = idle99 > 0 ? busy99 / idle99 : 0;
  double rate_ratio = medians[1] > 0 ? busy_rate / medians[1] : 0;
  std::printf("\npage calls, round trip     %8s %8s %8s\n", "p50 ms", "p99 ms", "calls");
  std::printf("  idle                     %8.3f %8.3f %8zu\n", idle50, idle99,
              f.idle_trips_ms.size());
  std::printf("  while kelo-media streams %8.3f %8.3f %8zu\n", busy50, busy99,
              f.busy_trips_ms.size());
  std::printf("  while file:// streams    %8.3f %8.3f %8zu   (%.1f MB/s)\n",
              quantile(f.engine_trips_ms, 0.5), quantile(f.engine_trips_ms, 0.99),
              f.engine_trips_ms.size(), mb_per_s(o, f.engine_stream_ms));
  std::printf("p99 streaming / idle: %.2fx (goal <= %.1fx: %s)\n", p99_ratio, kGoalP99,
              p99_ratio <= kGoalP99 ? "met" : "MISSED");
  std::printf(
      "stream with calls: %.1f MB/s, %.2fx of file:// (goal >= %.1fx: %s); %.1fx of a "
      "100 Mbit/s video\n",
      busy_rate, rate_ratio, kGoalBusyRate, rate_ratio >= kGoalBusyRate ? "met" : "MISSED",
      busy_rate / 12.5);
}

const char* kUsage =
    "usage: media_bench [--size MIB] [--runs N] [--pings N] [--timeout SECONDS] [--launcher PATH]\n"
    "                   [--keep]\n"
    "Streams one file into a page through kelo-media (file and proxy) and through the engine's\n"
    "own loaders (file:// and http://), in one launcher run; then times page calls idle and\n"
    "while kelo-media and file:// stream. Defaults: 256 MiB, 3 runs, 500 idle calls, 600 s.\n"
    "--keep leaves the work folder with the data, the page and the launcher's log.\n";

bool parse_options(int argc, char** argv, Options& o) {
  o.launcher = exe_dir() + "/kelojs-launcher";
  return parse_bench_options(argc, argv,
                             {.numbers = {{"--size", &o.size_mib},
                                          {"--runs", &o.runs},
                                          {"--pings", &o.pings},
                                          {"--timeout", &o.timeout_s}},
                              .texts = {{"--launcher", &o.launcher}},
                              .flags = {{"--keep", &o.keep}},
                              .max_number = 100000});
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse_options(argc, argv, o)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (!bench_has_display("media_bench")) return 2;
  if (!bench_can_run("media_bench", o.launcher)) return 2;
  std::string dir = bench_work_dir("media_bench", "kelo-media-bench");
  if (dir.empty()) return 1;
  std::string data = dir + "/data.bin";
  std::string page = dir + "/media.html";
  std::string error;
  bool ok = write_data(data, int64_t{o.size_mib} << 20);
  if (!ok) error = "cannot write " + data;
  FileServer server;
  ok = ok && server.start(data, error);
  if (ok) {
    std::ofstream f(page, std::ios::binary);
    std::string html = page_text(o, data, server.port());
    f << html;
    ok = !html.empty() && static_cast<bool>(f);
    if (!ok) error = "cannot write the page " + page;
  }
  // The scheme serves files under the read-access root only.
  setenv("KELOJS_READ_ACCESS", dir.c_str(), 1);

  std::optional<Figures> timings;
  if (ok) {
    std::printf("media bench: %d MiB, %d runs after one warm-up read of each source\n", o.size_mib,
                o.runs);
    std::fflush(stdout);
    timings = run_launcher(o, dir, page, error);
  }
  if (timings) {
    print_report(o, *timings);
  } else {
    std::fprintf(stderr, "media_bench: %s\n", error.c_str());
  }
  if (o.keep) {
    std::fprintf(stderr, "media_bench: work folder kept in %s\n", dir.c_str());
  } else if (!timings) {
    unlink(data.c_str());
    std::fprintf(stderr, "media_bench: the launcher's log and the page are in %s\n", dir.c_str());
  } else {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  return timings ? 0 : 1;
}
