#include "platform/host/worker_pool.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <utility>

namespace folirex {

namespace {

// The pool whose worker this thread is, and that worker's wake-up descriptor.
thread_local const WorkerPool* t_pool = nullptr;
thread_local int t_wake_fd = -1;

}  // namespace

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
    CallBackWaiting(1);
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
    CallBackWaiting(waiting_.size());
  }
  for (std::thread& t : threads_) {
    if (t.joinable()) t.join();
  }
}

void WorkerPool::CallBackWaiting(size_t how_many) {
  for (; how_many > 0 && !waiting_.empty(); --how_many) {
    Waiting* worker = waiting_.back();
    waiting_.pop_back();
    const uint64_t one = 1;
    ssize_t written = ::write(worker->wake_fd, &one, sizeof one);
    (void)written;  // an eventfd takes a count until it is near overflow
  }
}

bool WorkerPool::AwaitReadable(int fd, std::chrono::milliseconds timeout) {
  if (t_pool != this || t_wake_fd < 0) return false;
  Waiting me{t_wake_fd};
  {
    std::lock_guard lock(mutex_);
    if (closing_ || !tasks_.empty()) return false;
    waiting_.push_back(&me);
  }
  pollfd fds[2] = {{fd, POLLIN, 0}, {me.wake_fd, POLLIN, 0}};
  int ready;
  do {
    ready = ::poll(fds, 2, static_cast<int>(timeout.count()));
  } while (ready < 0 && errno == EINTR);
  bool called_back;
  {
    std::lock_guard lock(mutex_);
    auto it = std::find(waiting_.begin(), waiting_.end(), &me);
    called_back = it == waiting_.end();
    if (!called_back) waiting_.erase(it);
  }
  if (called_back) {
    // The count was written under the lock before this worker left the list: take it off.
    uint64_t count;
    ssize_t got = ::read(me.wake_fd, &count, sizeof count);
    (void)got;
    return false;
  }
  return ready > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

void WorkerPool::Work() {
  // Without its descriptor a worker just never waits in AwaitReadable.
  int wake_fd = ::eventfd(0, EFD_CLOEXEC);
  t_pool = this;
  t_wake_fd = wake_fd;
  Idle me;
  while (true) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      if (!tasks_.empty()) {
        task = std::move(tasks_.front());
        tasks_.pop_front();
      } else if (closing_) {
        break;
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
  t_pool = nullptr;
  t_wake_fd = -1;
  if (wake_fd >= 0) ::close(wake_fd);
}

}  // namespace folirex
