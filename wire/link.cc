#include "wire/link.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "wire/framer.h"

namespace {
// Held lines go out once they fill this much.
constexpr size_t kHeldLimit = 64 * 1024;
}  // namespace

WireWriter g_wire;
int g_listen_fd = -1;
webview_t g_w = nullptr;
MainQueue* g_main_queue = nullptr;

void WireWriter::write_line(std::string_view line) {
  if (line.find_first_of("\r\n") != std::string_view::npos) {
    std::fputs("kelojs: dropped a wire line with a raw line break\n", stderr);
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (fd_ < 0) {
    if (pending_.size() < kPendingLimit) pending_.emplace_back(line);
    return;
  }
  if (holds_ > 0) {
    held_.append(line).push_back('\n');
    if (held_.size() >= kHeldLimit) send_held();
    return;
  }
  std::string out;
  out.reserve(line.size() + 1);
  out.append(line);
  out.push_back('\n');
  write_raw(out);
}

void WireWriter::set_connected(int fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  fd_ = fd;
  std::string out;
  for (const std::string& line : pending_) {
    out.append(line);
    out.push_back('\n');
  }
  pending_.clear();
  write_raw(out);
}

void WireWriter::hold() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++holds_;
}

void WireWriter::release() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (--holds_ == 0) send_held();
}

void WireWriter::flush() {
  std::lock_guard<std::mutex> lock(mutex_);
  send_held();
}

void WireWriter::send_held() {
  if (held_.empty()) return;
  write_raw(held_);
  held_.clear();
  if (held_.capacity() > 4 * kHeldLimit) held_.shrink_to_fit();
}

WireHold::WireHold() {
  g_wire.hold();
}
WireHold::~WireHold() {
  g_wire.release();
}

int WireWriter::fd() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return fd_;
}

size_t WireWriter::pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pending_.size();
}

void WireWriter::write_raw(std::string_view bytes) {
  while (!bytes.empty()) {
    // MSG_NOSIGNAL: a backend that has gone away makes the write fail instead of raising
    // SIGPIPE.
    ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

void sock_write_line(std::string_view line) {
  g_wire.write_line(line);
}
void sock_set_connected(int fd) {
  g_wire.set_connected(fd);
}

void send_reply(std::string_view request_id, std::string_view json) {
  std::string line;
  line.reserve(5 + request_id.size() + json.size());
  line.append("GOT ").append(request_id).append(" ").append(json);
  sock_write_line(line);
}

void sock_read_loop(const Handlers& handlers, WireWriter& wire, int listen_fd) {
  if (listen_fd >= 0) {
    int fd;
    do {
      fd = accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      launcher_dispatch(handlers.terminate, std::make_unique<NoArgs>());
      return;
    }
    wire.set_connected(fd);
  }
  int fd = wire.fd();
  Dispatcher dispatcher(handlers);
  LineFramer framer;
  // Large reads: a backend that writes in bursts is framed with few system calls.
  std::vector<char> buf(64 * 1024);
  for (;;) {
    ssize_t n = read(fd, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 1) break;
    framer.feed(buf.data(), static_cast<size_t>(n),
                [&](std::string_view line) { dispatcher.decode(line); });
  }
  launcher_dispatch(handlers.terminate, std::make_unique<NoArgs>());
}
