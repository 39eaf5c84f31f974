#include "bench/bench_proc.h"

#include <dirent.h>
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
#include <iterator>
#include <map>

#include "bench/bench_text.h"

Child::~Child() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (pidfd_ >= 0) close(pidfd_);
}

bool Child::start(const std::vector<std::string>& argv, int in_fd, int out_fd,
                  const std::string& log, std::string& error) {
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

bool Child::wait_exit(int64_t deadline) {
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

bool Child::exited_cleanly() const {
  return pid_ < 0 && WIFEXITED(status_) && WEXITSTATUS(status_) == 0;
}

std::string Child::describe_end() const {
  if (pid_ > 0) return "still running";
  if (WIFEXITED(status_)) return "exit status " + std::to_string(WEXITSTATUS(status_));
  if (WIFSIGNALED(status_)) return "killed by signal " + std::to_string(WTERMSIG(status_));
  return "ended";
}

void Fd::reset(int f) {
  if (fd >= 0) close(fd);
  fd = f;
}

int ms_until(int64_t deadline) {
  int64_t left = deadline - monotonic_ns();
  return left <= 0 ? 0 : static_cast<int>(std::min<int64_t>(left / kMs + 1, INT_MAX));
}

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

int listen_unix(const std::string& path, std::string& error) {
  unlink(path.c_str());
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(fd, 1) != 0) {
    error = "cannot listen on " + path + ": " + std::strerror(errno);
    if (fd >= 0) close(fd);
    return -1;
  }
  return fd;
}

bool LineReader::read(int fd, const std::function<void(std::string_view)>& on_line) {
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

std::string log_tail(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.size() > 1500) text = "..." + text.substr(text.size() - 1500);
  while (!text.empty() && text.back() == '\n')
    text.pop_back();
  return text.empty() ? "" : "; its log ends:\n" + text;
}

std::string exe_dir() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  return path.substr(0, path.find_last_of('/'));
}

bool parse_bench_options(int argc, char** argv, const BenchOptions& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (auto flag = options.flags.find(arg); flag != options.flags.end()) {
      *flag->second = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    std::string value = argv[++i];
    if (auto number = options.numbers.find(arg); number != options.numbers.end()) {
      char* end = nullptr;
      long v = std::strtol(value.c_str(), &end, 10);
      if (*end != '\0' || v < 1 || v > options.max_number) return false;
      *number->second = static_cast<int>(v);
    } else if (auto text = options.texts.find(arg); text != options.texts.end()) {
      *text->second = value;
    } else {
      return false;
    }
  }
  return true;
}

bool bench_has_display(const char* program) {
  const char* display = std::getenv("DISPLAY");
  if (display && *display) return true;
  std::fprintf(stderr, "%s: no display; run it inside tests/desktop/run (make bench does)\n",
               program);
  return false;
}

std::string child_stopped(Child& child, int wait_result, const std::string& log, const char* name,
                          const char* timed_out) {
  if (wait_result == 0) return timed_out + log_tail(log);
  child.wait_exit(monotonic_ns() + 5 * kSec);
  return std::string("the ") + name + " ended (" + child.describe_end() + ")" + log_tail(log);
}

int accept_launcher(int listener, Child& child, int64_t deadline, const std::string& log,
                    std::string& error) {
  int r = wait_readable(listener, child, deadline);
  if (r <= 0) {
    error = child_stopped(child, r, log, "launcher",
                          "the launcher did not connect within the time-out");
    return -1;
  }
  int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) error = std::string("accept: ") + std::strerror(errno);
  return fd;
}

bool bench_can_run(const char* program, const std::string& path) {
  if (access(path.c_str(), X_OK) == 0) return true;
  std::fprintf(stderr, "%s: cannot run %s\n", program, path.c_str());
  return false;
}

std::string bench_work_dir(const char* program, const char* prefix) {
  std::string dir = std::string("/tmp/") + prefix + "-XXXXXX";
  if (mkdtemp(dir.data())) return dir;
  std::fprintf(stderr, "%s: mkdtemp: %s\n", program, std::strerror(errno));
  return "";
}

void bench_leave_work_dir(const char* program, const std::string& dir, bool keep) {
  if (keep) {
    std::fprintf(stderr, "%s: work folder and logs kept in %s\n", program, dir.c_str());
  } else {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
}

std::string bench_page(std::string html, const std::string& config) {
  const std::string mark = "/*BENCH_CONFIG*/{}";
  size_t at = html.find(mark);
  return at == std::string::npos ? "" : html.replace(at, mark.size(), config);
}

namespace {

// The first number after "key:" in a /proc text file, or 0.
long proc_field_kib(const std::string& path, std::string_view key) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) == 0) return std::atol(line.c_str() + key.size());
  }
  return 0;
}

// Every process's parent.
std::multimap<pid_t, pid_t> children_by_parent() {
  std::multimap<pid_t, pid_t> tree;
  DIR* proc = opendir("/proc");
  if (!proc) return tree;
  while (dirent* e = readdir(proc)) {
    pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
    if (pid <= 0) continue;
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t close = stat.rfind(')');  // the command name may hold blanks and parentheses
    if (close == std::string::npos) continue;
    int ppid = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %*c %d", &ppid) == 1) tree.emplace(ppid, pid);
  }
  closedir(proc);
  return tree;
}

}  // namespace

long rss_kib(pid_t pid) {
  return proc_field_kib("/proc/" + std::to_string(pid) + "/status", "VmRSS:");
}

long tree_pss_kib(pid_t root, int* processes) {
  auto tree = children_by_parent();
  std::vector<pid_t> todo = {root};
  long total = 0;
  int count = 0;
  while (!todo.empty()) {
    pid_t pid = todo.back();
    todo.pop_back();
    total += proc_field_kib("/proc/" + std::to_string(pid) + "/smaps_rollup", "Pss:");
    ++count;
    auto [first, last] = tree.equal_range(pid);
    for (auto it = first; it != last; ++it)
      todo.push_back(it->second);
  }
  if (processes) *processes = count;
  return total;
}
