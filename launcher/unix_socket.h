// A Unix stream socket bound or connected to a path.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

// Creates the socket and hands it with the address of path to op (bind+listen, or connect),
// which returns 0 on success. Returns 0 and the descriptor, or an errno value. A path that does
// not fit into the address is refused with ENAMETOOLONG rather than cut short, which would name
// another socket.
template <class Op>
int unix_socket_open(const std::string& path, int& fd_out, Op op) {
  sockaddr_un addr;
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return ENAMETOOLONG;
  std::memcpy(addr.sun_path, path.data(), path.size());
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return errno;
  if (op(fd, addr) != 0) {
    int err = errno;
    close(fd);
    return err;
  }
  fd_out = fd;
  return 0;
}
