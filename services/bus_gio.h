// Asynchronous D-Bus method calls of the desktop services, answered on the main loop.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <string>

// The answer of a call: the reply (null on failure, owned by the caller of the callback) and
// the error's message.
using BusDone = std::function<void(GVariant* reply, GUnixFDList* fds, const std::string& error)>;

struct BusCall {
  GBusType bus = G_BUS_TYPE_SESSION;
  std::string name;
  std::string path;
  std::string iface;
  std::string method;
  std::string reply_type;  // checked by GDBus; empty accepts any
  int timeout_ms = -1;     // -1: the bus library's default
  bool auto_start = true;  // may start the service
};

// Calls a method; args is a floating or owned GVariant tuple, or null. done runs once, on the
// thread that made the call, also when the bus cannot be reached. The reply and the descriptor
// list are released after done returns.
void bus_call(const BusCall& call, GVariant* args, BusDone done);

// Runs fn with a connection to the bus once it is there (null when it cannot be reached).
void with_bus(GBusType bus, std::function<void(GDBusConnection*)> fn);
