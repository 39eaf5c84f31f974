// What the bench programs share: a child process that dies with its holder, owned
// descriptors, waits with deadlines, a line reader and the command line.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int64_t kMs = 1000000;  // nanoseconds
inline constexpr int64_t kSec = 1000 * kMs;

// A child process, ended and reaped when the holder goes.
class Child {
 public:
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child();

  // Starts argv with stdin and stdout on the given descriptors (-1: /dev/null) and stderr
  // into log. The child is killed when this process dies.
  bool start(const std::vector<std::string>& argv, int in_fd, int out_fd, const std::string& log,
             std::string& error);

  // Readable once the child has ended.
  int pidfd() const { return pidfd_; }
  pid_t pid() const { return pid_; }

  // Waits until the child ends or the deadline passes; true when it ended (and is reaped).
  bool wait_exit(int64_t deadline);

  bool exited_cleanly() const;
  std::string describe_end() const;

 private:
  pid_t pid_ = -1;
  int pidfd_ = -1;
  int status_ = 0;
};

// An owned file descriptor.
struct Fd {
  int fd = -1;
  Fd() = default;
  explicit Fd(int f) : fd(f) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }
  void reset(int f = -1);
};

// Milliseconds left until the deadline (CLOCK_MONOTONIC nanoseconds), rounded up, at least 0.
int ms_until(int64_t deadline);

// Waits until fd is readable, the child ends, or the deadline passes. 1: readable; 0: time-out;
// -1: the child ended first.
int wait_readable(int fd, const Child& child, int64_t deadline);

// Writes all bytes to a socket before the deadline; false when it cannot.
bool send_all(int fd, std::string_view bytes, int64_t deadline);

// A listening Unix socket at path (an old file there is removed); -1 with error set on failure.
int listen_unix(const std::string& path, std::string& error);

// Reads what is there and hands over every complete line; false at the end of the stream.
class LineReader {
 public:
  bool read(int fd, const std::function<void(std::string_view)>& on_line);

 private:
  std::string buf_;
};

// "; its log ends:\n" and the last part of the file at path; empty when there is nothing.
std::string log_tail(const std::string& path);

// The folder of this program.
std::string exe_dir();

// The options of a command line: "--name value" for numbers (1 to max_number) and texts,
// "--name" alone for flags. False for anything else.
struct BenchOptions {
  std::map<std::string, int*> numbers;
  std::map<std::string, std::string*> texts;
  std::map<std::string, bool*> flags;
  long max_number = 10000000;
};
bool parse_bench_options(int argc, char** argv, const BenchOptions& options);

// True when there is a display; otherwise says so on standard error, naming the program.
bool bench_has_display(const char* program);

// Why a child stopped answering: the time-out passed (wait_result 0: `timed_out` then the end
// of its log), or it ended ("the <name> ended (...)" and the end of its log).
std::string child_stopped(Child& child, int wait_result, const std::string& log, const char* name,
                          const char* timed_out);

// Waits for the launcher to connect to the listening socket and accepts the connection; -1
// with error set when it does not come.
int accept_launcher(int listener, Child& child, int64_t deadline, const std::string& log,
                    std::string& error);

// True when path is an executable; otherwise says so on standard error.
bool bench_can_run(const char* program, const std::string& path);

// A new private folder /tmp/<prefix>-XXXXXX, or empty (said on standard error) when none can
// be made.
std::string bench_work_dir(const char* program, const char* prefix);
// Removes the work folder, or keeps it (said on standard error) when asked to or after a
// failure.
void bench_leave_work_dir(const char* program, const std::string& dir, bool keep);

// The page text with its "/*BENCH_CONFIG*/{}" replaced by config; empty when it has none.
std::string bench_page(std::string html, const std::string& config);

// Resident memory of one process (VmRSS), in KiB; 0 when it is gone.
long rss_kib(pid_t pid);
// Proportional set size (shared pages split among their users) of a process and all its
// descendants, in KiB, and how many processes that is.
long tree_pss_kib(pid_t root, int* processes = nullptr);
