#include "platform/host/worker_pool.h"

#include <utility>

namespace folirex {

WorkerPool::WorkerPool(size_t threads) {
  if (threads == 0) threads = 1;
  threads_.reserve(threads);
  for (size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

WorkerPool::~WorkerPool() { Drain(); }

void WorkerPool::Post(std::function<void()> task) {
  std::unique_lock lock(mutex_);
  if (closing_) return;
  if (idle_.empty()) {
    tasks_.push_back(std::move(task));
    return;
  }
  Idle* worker = idle_.back();
  idle_.pop_back();
  worker->task = std::move(task);
  lock.unlock();
  worker->wake.notify_one();
}

void WorkerPool::Drain() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
    for (Idle* worker : idle_) worker->wake.notify_one();
  }
  for (std::thread& t : threads_) {
    if (t.joinable()) t.join();
  }
}

void WorkerPool::Work() {
  Idle me;
  while (true) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      if (!tasks_.empty()) {
        task = std::move(tasks_.front());
        tasks_.pop_front();
      } else if (closing_) {
        return;
      } else {
        idle_.push_back(&me);
        me.wake.wait(lock, [&] { return me.task || closing_; });
        if (!me.task) {
          // Closing with nothing handed over: leave the idle list and finish what is queued.
          std::erase(idle_, &me);
          continue;
        }
        task = std::move(me.task);
        me.task = nullptr;
      }
    }
    task();
  }
}

}  // namespace folirex
