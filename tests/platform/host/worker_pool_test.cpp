#include "platform/host/worker_pool.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>

namespace folirex {
namespace {

// A worker waiting for its connection's next request gives way to a task that finds no idle
// worker, and still sees a request that does come.
TEST(WorkerPoolTest, AWaitingWorkerGivesWayToATask) {
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  std::promise<bool> waited;
  std::promise<bool> ready;
  std::atomic<bool> second_ran{false};
  std::future<bool> waited_result = waited.get_future();
  std::future<bool> ready_result = ready.get_future();
  {
    WorkerPool pool(1);
    // Not from a worker of the pool: no wait at all.
    EXPECT_FALSE(pool.AwaitReadable(fds[0], std::chrono::hours(1)));
    std::promise<void> waiting;
    pool.Post([&] {
      waiting.set_value();
      waited.set_value(pool.AwaitReadable(fds[0], std::chrono::hours(1)));
    });
    waiting.get_future().wait();
    // The only worker is waiting (or about to): the task calls it back rather than queueing
    // behind an hour.
    pool.Post([&] { second_ran = true; });
    pool.Post([&] {
      EXPECT_EQ(write(fds[1], "x", 1), 1);
      ready.set_value(pool.AwaitReadable(fds[0], std::chrono::hours(1)));
    });
    // Before the pool closes, which would call the last wait back too.
    EXPECT_TRUE(ready_result.get());
  }
  EXPECT_FALSE(waited_result.get());
  EXPECT_TRUE(second_ran);
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
}  // namespace folirex
