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
  {
    std::lock_guard lock(mutex_);
    if (closing_) return;
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void WorkerPool::Drain() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : threads_) {
    if (t.joinable()) t.join();
  }
}

void WorkerPool::Work() {
  while (true) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return closing_ || !tasks_.empty(); });
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

}  // namespace folirex
