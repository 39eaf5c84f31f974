// The launcher as a bench program drives it: started on a page with the bench as its backend,
// its page calls answered at once, its other lines handed to the bench.
#pragma once

#include <sys/types.h>

#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "bench/bench_proc.h"
#include "bench/bench_text.h"

class LauncherSession {
 public:
  // What to answer a page call with (JSON text); "null" when unset or when it gives nothing.
  using Answer = std::function<std::string(std::string_view call_id, const CallPayload& call)>;

  // Starts the launcher on page with a socket in dir and waits for it to connect.
  bool start(const std::string& launcher, const std::string& page, const std::string& dir,
             int64_t deadline, std::string& error);

  // Reads the wire until done() holds, answering page calls and handing every other line to
  // on_line. False with error set on a time-out or when the launcher goes.
  bool pump(int64_t deadline, const std::function<bool()>& done,
            const std::function<void(std::string_view)>& on_line, std::string& error);

  // Writes bytes whole; any thread.
  bool send(std::string_view bytes, int64_t deadline);

  // QUIT, and the launcher's end within ten seconds.
  void quit();

  void set_answer(Answer answer) { answer_ = std::move(answer); }
  pid_t pid() const { return child_.pid(); }
  const std::string& log() const { return log_; }

 private:
  std::string log_;
  Fd conn_;
  Child child_;
  LineReader reader_;
  Answer answer_;
  std::mutex send_mu_;
};
