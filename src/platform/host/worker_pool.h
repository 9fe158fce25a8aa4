// WorkerPool: a fixed set of threads that run the page handlers, one task at a time each. The
// I/O threads post a page here and never run one themselves, so a slow page never holds up the
// connections. A task goes to the worker that went idle last (its processor's caches still hold
// the database connection and the page's data); when none is idle, tasks wait in posting order.
//
// Post may be called from any thread. The destructor runs every task already posted, then joins
// the threads; a task must not destroy its own pool.
#ifndef FOLIREX_PLATFORM_HOST_WORKER_POOL_H_
#define FOLIREX_PLATFORM_HOST_WORKER_POOL_H_

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

 private:
  // A worker waiting for a task handed to it alone.
  struct Idle {
    std::condition_variable wake;
    std::function<void()> task;
  };

  void Work();

  std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
  std::vector<Idle*> idle_;  // the last to go idle at the back
  bool closing_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_WORKER_POOL_H_
