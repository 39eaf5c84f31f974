#include <glib-unix.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "platform/main_loop.h"
#include "wire/link.h"
#include "wire/main_queue.h"

namespace {

// Runs the main loop until the tasks stop it, or fails after five seconds (leaving the nested
// loop a task waits in, too).
void run_loop(GMainLoop* nested = nullptr) {
  guint guard = g_timeout_add(
      5000,
      [](gpointer nested) -> gboolean {
        ADD_FAILURE() << "the main loop was never stopped";
        if (nested) g_main_loop_quit(static_cast<GMainLoop*>(nested));
        kelo_main_loop_quit();
        return G_SOURCE_REMOVE;
      },
      nested);
  kelo_main_loop_run();
  g_source_remove(guard);
}

class MainQueueTest : public ::testing::Test {
 protected:
  void SetUp() override { kelo_main_queue_install(); }
  void post(std::function<void()> fn) { g_main_queue->post(make_task(std::move(fn))); }
  std::vector<int> ran;
};

TEST_F(MainQueueTest, LaterLinesRunWhileAHandlerWaitsInANestedLoop) {
  GMainLoop* nested = g_main_loop_new(nullptr, FALSE);
  post([&] {
    ran.push_back(1);
    g_main_loop_run(nested);
    ran.push_back(3);
    kelo_main_loop_quit();
  });
  post([&] {
    ran.push_back(2);
    g_main_loop_quit(nested);
  });
  run_loop(nested);
  g_main_loop_unref(nested);
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

TEST_F(MainQueueTest, AHandlerWaitingInANestedLoopIsNotHeldBackByItsBatch) {
  // The handler writes a line and waits for the other end to receive it: a batch that kept
  // its lines until it ends would never let the line out.
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
  g_wire.set_connected(fds[0]);
  GMainLoop* nested = g_main_loop_new(nullptr, FALSE);
  post([&] {
    sock_write_line("ask");
    guint watch = g_unix_fd_add(
        fds[1], G_IO_IN,
        [](gint, GIOCondition, gpointer loop) -> gboolean {
          g_main_loop_quit(static_cast<GMainLoop*>(loop));
          return G_SOURCE_CONTINUE;
        },
        nested);
    g_main_loop_run(nested);
    g_source_remove(watch);
    ran.push_back(1);
    kelo_main_loop_quit();
  });
  run_loop(nested);
  g_main_loop_unref(nested);
  EXPECT_EQ(ran, (std::vector<int>{1}));
  char buf[8] = {};
  EXPECT_EQ(read(fds[1], buf, sizeof buf), 4);
  g_wire.set_connected(-1);
  close(fds[0]);
  close(fds[1]);
}

TEST_F(MainQueueTest, NothingQueuedAfterTheStopRuns) {
  post([&] { ran.push_back(1); });
  post([&] { kelo_main_loop_quit(); });
  for (int i = 0; i < 300; ++i)
    post([&] { ran.push_back(2); });
  run_loop();
  EXPECT_EQ(ran, (std::vector<int>{1}));
}

}  // namespace
