// The backend link: one Unix stream connection, one locked writer, one reader thread.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <string_view>

#include "wire/dispatcher.h"

// Lines written before the backend connects are kept, up to this many.
constexpr size_t kPendingLimit = 512;

class WireWriter {
 public:
  // Sends one line (LF appended); queues it while not connected. Any thread.
  void write_line(std::string_view line);
  // Publishes the connected descriptor and flushes the queue under the same lock.
  void set_connected(int fd);
  int fd() const;
  size_t pending() const;

  // While a hold lasts (the main thread takes one around each batch of handlers), the lines of
  // every thread collect in one buffer, in order, and go out together when the last hold ends
  // or the buffer is full: one write for many answers.
  void hold();
  void release();
  // Sends the held lines now; the hold goes on.
  void flush();

 private:
  void write_raw(std::string_view bytes);  // write lock held
  void send_held();                        // write lock held

  mutable std::mutex mutex_;
  int fd_ = -1;
  std::deque<std::string> pending_;
  int holds_ = 0;
  std::string held_;
};

// Holds g_wire for a scope.
class WireHold {
 public:
  WireHold();
  ~WireHold();
  WireHold(const WireHold&) = delete;
  WireHold& operator=(const WireHold&) = delete;
};

extern WireWriter g_wire;
// The listening descriptor of a package run; -1 in a development run.
extern int g_listen_fd;

void sock_write_line(std::string_view line);
void sock_set_connected(int fd);

// "GOT " + id + " " + json.
void send_reply(std::string_view request_id, std::string_view json);

// The reader thread's body: accepts the backend when listening, then frames and decodes lines
// until the wire ends, and finally dispatches the terminate handler.
void sock_read_loop(const Handlers& handlers, WireWriter& wire = g_wire,
                    int listen_fd = g_listen_fd);
