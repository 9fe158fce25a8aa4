// WindowCounter: how many events each key had within the last `window` (a sliding window); the
// table behind the sending limits of the public pages. A key whose events have all left the
// window is forgotten at the next sweep (at most one sweep a window, on Add), so the table holds
// only what the last window brought.
//
// Not thread-safe: the owner locks around each call. Times must come from one monotonic clock.
#ifndef FOLIREX_CORE_WINDOW_COUNTER_H_
#define FOLIREX_CORE_WINDOW_COUNTER_H_

#include <cstddef>
#include <deque>
#include <string>
#include <unordered_map>

#include "core/clock.h"

namespace folirex {

class WindowCounter {
 public:
  explicit WindowCounter(Clock::Duration window) : window_(window) {}

  // The key's events later than now - window.
  size_t Count(const std::string& key, Clock::TimePoint now);
  void Add(const std::string& key, Clock::TimePoint now);
  // Keys held (for tests of the forgetting).
  size_t size() const { return events_.size(); }

 private:
  Clock::Duration window_;
  std::unordered_map<std::string, std::deque<Clock::TimePoint>> events_;  // oldest first
  Clock::TimePoint last_sweep_{};
};

}  // namespace folirex

#endif  // FOLIREX_CORE_WINDOW_COUNTER_H_
