#include "bench/launcher_session.h"

#include <sys/socket.h>

#include <cstdio>

bool LauncherSession::start(const std::string& launcher, const std::string& page,
                            const std::string& dir, int64_t deadline, std::string& error) {
  std::string sock_path = dir + "/w.sock";
  log_ = dir + "/launcher.log";
  Fd listener(listen_unix(sock_path, error));
  if (listener.fd < 0) return false;
  if (!child_.start({launcher, page, sock_path, "bench", "800x600"}, -1, -1, log_, error))
    return false;
  conn_.reset(accept_launcher(listener.fd, child_, deadline, log_, error));
  return conn_.fd >= 0;
}

bool LauncherSession::pump(int64_t deadline, const std::function<bool()>& done,
                           const std::function<void(std::string_view)>& on_line,
                           std::string& error) {
  std::string out;
  while (!done()) {
    int r = wait_readable(conn_.fd, child_, deadline);
    if (r <= 0) {
      error = child_stopped(child_, r, log_, "launcher", "timed out");
      return false;
    }
    out.clear();
    bool open = reader_.read(conn_.fd, [&](std::string_view line) {
      auto call = parse_call_line(line);
      if (!call) {
        on_line(line);
        return;
      }
      auto payload = parse_payload(call->payload);
      std::string answer = payload && answer_ ? answer_(call->call_id, *payload) : "";
      out.append("RET ").append(call->call_id).append(" 0 ");
      out.append(answer.empty() ? "null" : answer).push_back('\n');
    });
    if (!out.empty() && !send(out, deadline)) {
      error = "cannot answer the launcher";
      return false;
    }
    if (!open) {
      error = "the launcher closed the wire" + log_tail(log_);
      return false;
    }
  }
  return true;
}

bool LauncherSession::send(std::string_view bytes, int64_t deadline) {
  std::lock_guard<std::mutex> lock(send_mu_);
  return send_all(conn_.fd, bytes, deadline);
}

void LauncherSession::quit() {
  send("QUIT\n", monotonic_ns() + kSec);
  if (!child_.wait_exit(monotonic_ns() + 10 * kSec))
    std::fprintf(stderr, "bench: the launcher did not end on QUIT within 10 s\n");
}
