#include "core/window_counter.h"

#include <iterator>

namespace folirex {

size_t WindowCounter::Count(const std::string& key, Clock::TimePoint now) {
  auto it = events_.find(key);
  if (it == events_.end()) return 0;
  std::deque<Clock::TimePoint>& times = it->second;
  while (!times.empty() && now - times.front() >= window_) times.pop_front();
  if (times.empty()) {
    events_.erase(it);
    return 0;
  }
  return times.size();
}

void WindowCounter::Add(const std::string& key, Clock::TimePoint now) {
  if (now - last_sweep_ >= window_) {
    last_sweep_ = now;
    for (auto it = events_.begin(); it != events_.end();) {
      // The newest event is the last: when it has left the window, they all have.
      it = now - it->second.back() >= window_ ? events_.erase(it) : std::next(it);
    }
  }
  events_[key].push_back(now);
}

}  // namespace folirex
