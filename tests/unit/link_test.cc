#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <thread>

#include "tests/unit/wire_fixture.h"
#include "wire/link.h"

namespace {

std::string read_available(int fd) {
  std::string out;
  char buf[65536];
  for (;;) {
    ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n <= 0) return out;
    out.append(buf, static_cast<size_t>(n));
  }
}

struct Pair {
  int a = -1, b = -1;
  Pair() {
    int fds[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    a = fds[0];
    b = fds[1];
  }
  ~Pair() {
    if (a >= 0) close(a);
    if (b >= 0) close(b);
  }
};

}  // namespace

TEST(WireWriter, QueuesUpTo512LinesAndFlushesThemFirstInOrder) {
  WireWriter w;
  for (int i = 0; i < 600; ++i)
    w.write_line("E" + std::to_string(i));
  EXPECT_EQ(w.pending(), 512u);
  Pair p;
  w.set_connected(p.a);
  w.write_line("after");
  std::string got = read_available(p.b);
  std::string expected;
  for (int i = 0; i < 512; ++i)
    expected += "E" + std::to_string(i) + "\n";
  expected += "after\n";
  EXPECT_EQ(got, expected);
  EXPECT_EQ(w.pending(), 0u);
}

TEST(WireWriter, DropsLinesWithRawBreaksAndSurvivesAClosedPeer) {
  WireWriter w;
  Pair p;
  w.set_connected(p.a);
  w.write_line("bad\nline");
  w.write_line("bad\rline");
  w.write_line("good");
  EXPECT_EQ(read_available(p.b), "good\n");
  close(p.b);
  p.b = -1;
  w.write_line("nobody listens");  // must fail quietly, not raise SIGPIPE
  w.write_line("still nobody");
}

TEST(WireWriter, ConcurrentWritersNeverInterleaveWithinALine) {
  WireWriter w;
  Pair p;
  w.set_connected(p.a);
  std::string received;
  std::thread reader([&] {
    char buf[65536];
    for (;;) {
      ssize_t n = read(p.b, buf, sizeof buf);
      if (n <= 0) return;
      received.append(buf, static_cast<size_t>(n));
    }
  });
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&w, t] {
      std::string line(1000, static_cast<char>('a' + t));
      for (int i = 0; i < 200; ++i)
        w.write_line(line);
    });
  }
  for (auto& th : writers)
    th.join();
  shutdown(p.a, SHUT_WR);
  reader.join();
  size_t lines = 0;
  for (size_t pos = 0; pos < received.size(); pos += 1001, ++lines) {
    ASSERT_EQ(received[pos + 1000], '\n');
    EXPECT_EQ(received.find_first_not_of(received[pos], pos), pos + 1000);
  }
  EXPECT_EQ(lines, 800u);
}

class ReadLoopTest : public WireTest {};

TEST_F(ReadLoopTest, DecodesInOrderAndTerminatesAtEndOfWire) {
  Pair p;
  WireWriter wire;
  wire.set_connected(p.a);
  std::string input = "TITLE one\nSIZE 10 20\nTIT";
  ASSERT_EQ(write(p.b, input.data(), input.size()), static_cast<ssize_t>(input.size()));
  std::string more = "LE two\nTITLE unterminated";
  ASSERT_EQ(write(p.b, more.data(), more.size()), static_cast<ssize_t>(more.size()));
  close(p.b);
  p.b = -1;
  handled().clear();
  sock_read_loop(logging_handlers(), wire, -1);
  queue_.run_all();
  EXPECT_EQ(handled(),
            (std::vector<std::string>{"title|one", "size|main|10x20", "title|two", "terminate"}));
}

TEST_F(ReadLoopTest, AcceptsOneBackendAndFlushesQueuedLinesFirst) {
  char dir_template[] = "/tmp/kelojs-test-XXXXXX";
  ASSERT_TRUE(mkdtemp(dir_template));
  std::string path = std::string(dir_template) + "/app.sock";
  int lfd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
  ASSERT_EQ(bind(lfd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(lfd, 1), 0);

  WireWriter wire;  // a package run's writer: not connected until the backend is accepted
  wire.write_line("OPENURL https://a.example/");
  wire.write_line("OPENFILES [\"/x\"]");
  std::thread reader([&] { sock_read_loop(logging_handlers(), wire, lfd); });
  int c = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(connect(c, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  std::string got;
  char buf[256];
  while (got.size() < std::string("OPENURL https://a.example/\nOPENFILES [\"/x\"]\n").size()) {
    ssize_t n = read(c, buf, sizeof buf);
    ASSERT_GT(n, 0);
    got.append(buf, static_cast<size_t>(n));
  }
  EXPECT_EQ(got, "OPENURL https://a.example/\nOPENFILES [\"/x\"]\n");
  ASSERT_EQ(write(c, "QUIT\n", 5), 5);
  close(c);
  reader.join();
  queue_.run_all();
  EXPECT_EQ(handled(), (std::vector<std::string>{"terminate", "terminate"}));
  close(lfd);
  unlink(path.c_str());
  rmdir(dir_template);
}

TEST(WireWriter, HeldLinesOfEveryThreadLeaveInOrderWhenTheLastHoldEnds) {
  WireWriter w;
  Pair p;
  w.set_connected(p.a);
  w.hold();
  w.hold();  // a nested batch
  w.write_line("one");
  std::thread([&] { w.write_line("two"); }).join();
  w.release();
  EXPECT_EQ(read_available(p.b), "");
  w.write_line("three");
  w.release();
  EXPECT_EQ(read_available(p.b), "one\ntwo\nthree\n");
  w.write_line("direct");
  EXPECT_EQ(read_available(p.b), "direct\n");

  // A hold that outgrows its buffer sends what it has early, still in order.
  w.hold();
  std::string big(40000, 'x');
  w.write_line(big);
  w.write_line(big);
  std::string early = read_available(p.b);
  w.write_line("last");
  w.release();
  EXPECT_EQ(early + read_available(p.b), big + "\n" + big + "\nlast\n");
  EXPECT_FALSE(early.empty());
}
