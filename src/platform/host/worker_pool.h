// WorkerPool: a fixed set of threads that run the page handlers, one task at a time each. The
// I/O threads post a page here and never run one themselves, so a slow page never holds up the
// connections. A task goes to the worker that went idle last (its processor's caches still hold
// the database connection and the page's data); when none is idle, tasks wait in posting order.
//
// A task may wait a moment for its connection's next request (AwaitReadable) instead of handing
// the connection back to its I/O thread, so that a keep-alive client's pages stay on one worker
// and cost no wake-up of another thread. Such a wait ends as soon as a posted task finds no idle
// worker, or the pool closes: a waiting worker never keeps a task waiting.
//
// Post may be called from any thread. The destructor runs every task already posted, then joins
// the threads; a task must not destroy its own pool.
#ifndef FOLIREX_PLATFORM_HOST_WORKER_POOL_H_
#define FOLIREX_PLATFORM_HOST_WORKER_POOL_H_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace folirex {

class WorkerPool {
 public:
  explicit WorkerPool(size_t threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  void Post(std::function<void()> task);
  // Runs every posted task and joins the threads; Post afterwards is ignored.
  void Drain();

  // From inside a task of this pool: waits up to `timeout` for the descriptor to have something
  // to read. False at once when tasks are waiting, the pool is closing or the caller is not one
  // of its workers; false too when the time passed or a task came for this worker first.
  bool AwaitReadable(int fd, std::chrono::milliseconds timeout);

 private:
  // A worker waiting for a task handed to it alone.
  struct Idle {
    std::condition_variable wake;
    std::function<void()> task;
  };
  // A worker waiting in AwaitReadable: a count written to its descriptor calls it back.
  struct Waiting {
    int wake_fd = -1;
  };

  void Work();
  // Under mutex_: tells the workers in AwaitReadable to stop waiting.
  void CallBackWaiting(size_t how_many);

  std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
  std::vector<Idle*> idle_;        // the last to go idle at the back
  std::vector<Waiting*> waiting_;  // the workers in AwaitReadable
  bool closing_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_WORKER_POOL_H_
