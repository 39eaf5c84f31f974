#include "wire/link.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "wire/framer.h"

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
  char buf[4096];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 1) break;
    framer.feed(buf, static_cast<size_t>(n),
                [&](std::string_view line) { dispatcher.decode(line); });
  }
  launcher_dispatch(handlers.terminate, std::make_unique<NoArgs>());
}
