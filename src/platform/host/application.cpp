#include "platform/host/application.h"

#include "platform/host/host_text.h"

namespace folirex {

Variant Application::Get(std::string_view key) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find(host::AsciiLower(key));
  return it == values_.end() ? Variant() : it->second;
}

void Application::Set(std::string_view key, Variant value) {
  std::lock_guard lock(mutex_);
  values_[host::AsciiLower(key)] = std::move(value);
}

void Application::Lock() {
  mutex_.lock();
  ++lock_depth_;
  owner_ = std::this_thread::get_id();
}

void Application::UnLock() {
  // try_lock succeeds at once for the owner (the mutex is recursive) and for nobody else while
  // a lock is held, so the depth and owner are only read under the mutex.
  std::unique_lock probe(mutex_, std::try_to_lock);
  if (!probe.owns_lock()) return;
  if (lock_depth_ == 0 || owner_ != std::this_thread::get_id()) return;
  --lock_depth_;
  if (lock_depth_ == 0) owner_ = std::thread::id();
  mutex_.unlock();  // the level taken by Lock(); the probe releases its own
}

bool Application::LockedByCaller() const {
  std::unique_lock probe(mutex_, std::try_to_lock);
  return probe.owns_lock() && lock_depth_ > 0 && owner_ == std::this_thread::get_id();
}

}  // namespace folirex
