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
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_proc.h"
#include "bench/bench_text.h"
#include "bench/media_page_html.h"

namespace {

constexpr double kGoal = 0.5;  // kelo-media at least half the engine's throughput

struct Options {
  std::string launcher;
  int size_mib = 256;
  int runs = 3;
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

// The page's timings per source, in milliseconds, one per run.
using Timings = std::vector<std::vector<double>>;  // in kSources order

std::optional<Timings> run_launcher(const Options& o, const std::string& dir,
                                    const std::string& page, std::string& error) {
  std::string sock_path = dir + "/w.sock";
  std::string log = dir + "/launcher.log";
  Fd listener(listen_unix(sock_path, error));
  if (listener.fd < 0) return std::nullopt;
  Child child;
  int64_t deadline = monotonic_ns() + o.timeout_s * kSec;
  if (!child.start({o.launcher, page, sock_path, "media bench", "800x600"}, -1, -1, log, error))
    return std::nullopt;
  Fd conn(accept_launcher(listener.fd, child, deadline, log, error));
  if (conn.fd < 0) return std::nullopt;

  std::optional<std::string> result;
  LineReader reader;
  std::string out;
  while (!result && error.empty()) {
    int r = wait_readable(conn.fd, child, deadline);
    if (r <= 0) {
      error = child_stopped(child, r, log, "launcher", "timed out waiting for the page");
      return std::nullopt;
    }
    out.clear();
    bool open = reader.read(conn.fd, [&](std::string_view line) {
      auto call = parse_call_line(line);
      if (!call) return;
      auto payload = parse_payload(call->payload);
      std::string_view answer = "null";
      if (payload && payload->method == "client.capabilities") {
        answer = R"({"calls":{},"events":{}})";
      } else if (payload && payload->method == "bench.result") {
        result = std::string(payload->params);
      } else if (payload && payload->method == "bench.error") {
        error = "the page failed: " + std::string(payload->params);
      }
      out.append("RET ").append(call->call_id).append(" 0 ").append(answer).push_back('\n');
    });
    if (!out.empty()) send_all(conn.fd, out, deadline);
    if (!open && !result) {
      error = "the launcher closed the wire" + log_tail(log);
      return std::nullopt;
    }
  }
  send_all(conn.fd, "QUIT\n", deadline);
  if (!child.wait_exit(monotonic_ns() + 10 * kSec))
    std::fprintf(stderr, "media_bench: the launcher did not end on QUIT within 10 s\n");
  if (!result) return std::nullopt;

  Timings timings;
  for (const Source& s : kSources) {
    auto ms = json_numbers(*result, s.key);
    if (!ms || ms->size() != static_cast<size_t>(o.runs)) {
      error = "unreadable page report: " + *result;
      return std::nullopt;
    }
    timings.push_back(*ms);
  }
  return timings;
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
                       ",runs:" + std::to_string(o.runs) + ",sources:[" + sources + "]}";
  return bench_page(MEDIA_PAGE_HTML, config);
}

double mb_per_s(const Options& o, double ms) {
  return ms > 0 ? static_cast<double>(int64_t{o.size_mib} << 20) / 1e6 / (ms / 1000) : 0;
}

void print_report(const Options& o, const Timings& t) {
  std::printf("\n%-22s", "MB/s per run");
  for (int i = 1; i <= o.runs; ++i)
    std::printf(" %8s%-2d", "run ", i);
  std::printf(" %10s\n", "median");
  std::vector<double> medians;
  for (size_t s = 0; s < std::size(kSources); ++s) {
    std::printf("%-22s", kSources[s].label);
    for (double ms : t[s])
      std::printf(" %10.1f", mb_per_s(o, ms));
    medians.push_back(mb_per_s(o, median(t[s])));
    std::printf(" %10.1f\n", medians.back());
  }
  std::printf("\nratio kelo-media / engine (goal >= %.2f)\n", kGoal);
  for (size_t s = 0; s + 1 < std::size(kSources); s += 2) {
    double ratio = medians[s + 1] > 0 ? medians[s] / medians[s + 1] : 0;
    std::printf("  %-20s vs %-18s %6.2f  %s\n", kSources[s].label, kSources[s + 1].label, ratio,
                ratio >= kGoal ? "met" : "MISSED");
  }
}

const char* kUsage =
    "usage: media_bench [--size MIB] [--runs N] [--timeout SECONDS] [--launcher PATH] [--keep]\n"
    "Streams one file into a page through kelo-media (file and proxy) and through the engine's\n"
    "own loaders (file:// and http://), in one launcher run. Defaults: 256 MiB, 3 runs, 600 s.\n"
    "--keep leaves the work folder with the data, the page and the launcher's log.\n";

bool parse_options(int argc, char** argv, Options& o) {
  o.launcher = exe_dir() + "/kelojs-launcher";
  return parse_bench_options(
      argc, argv,
      {.numbers = {{"--size", &o.size_mib}, {"--runs", &o.runs}, {"--timeout", &o.timeout_s}},
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

  std::optional<Timings> timings;
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
