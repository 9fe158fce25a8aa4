#include "console/login_throttle.h"

#include <algorithm>
#include <iterator>

#include "platform/host/host_text.h"

namespace folirex {

std::string LoginThrottle::Key(std::string_view name, std::string_view address) {
  // A name cannot hold a line feed past the sign-in's filter, but the key must not depend on it.
  std::string key = host::AsciiLower(name);
  key.push_back('\0');
  key += address;
  return key;
}

Clock::Duration LoginThrottle::Wait(std::string_view name, std::string_view address) {
  std::lock_guard lock(mutex_);
  auto it = pairs_.find(Key(name, address));
  if (it == pairs_.end() || it->second.failures < kFreeFailures) return Clock::Duration::zero();
  // Doubling from kFirstWait; past 2^9 the cap holds anyway, so the shift stays small.
  int doublings = std::min(it->second.failures - kFreeFailures, 10);
  Clock::Duration wait =
      std::min<Clock::Duration>(kFirstWait * (int64_t{1} << doublings), kLongestWait);
  Clock::Duration left = it->second.last_failure + wait - clock_->Now();
  return std::max(left, Clock::Duration::zero());
}

int LoginThrottle::Fail(std::string_view name, std::string_view address) {
  std::lock_guard lock(mutex_);
  Clock::TimePoint now = clock_->Now();
  SweepLocked(now);
  Pair& pair = pairs_[Key(name, address)];
  if (pair.failures > 0 && now - pair.last_failure >= kForgetAfter) pair.failures = 0;
  ++pair.failures;
  pair.last_failure = now;
  return pair.failures;
}

void LoginThrottle::Clear(std::string_view name, std::string_view address) {
  std::lock_guard lock(mutex_);
  pairs_.erase(Key(name, address));
}

void LoginThrottle::SetClock(std::shared_ptr<const Clock> clock) {
  std::lock_guard lock(mutex_);
  clock_ = std::move(clock);
}

void LoginThrottle::SweepLocked(Clock::TimePoint now) {
  if (now - last_sweep_ < std::chrono::minutes(1)) return;
  last_sweep_ = now;
  for (auto it = pairs_.begin(); it != pairs_.end();) {
    it = now - it->second.last_failure >= kForgetAfter ? pairs_.erase(it) : std::next(it);
  }
}

}  // namespace folirex
