// Clock: the time the throttles of the pages read, behind a small interface so that a test can
// move it by hand instead of waiting. SteadyClock() is the one the program runs on: monotonic,
// never set back by a change of the system time.
//
// Now() may be called from any thread; an implementation must allow that.
#ifndef FOLIREX_CORE_CLOCK_H_
#define FOLIREX_CORE_CLOCK_H_

#include <chrono>
#include <memory>

namespace folirex {

class Clock {
 public:
  using Duration = std::chrono::steady_clock::duration;
  using TimePoint = std::chrono::steady_clock::time_point;

  virtual ~Clock() = default;
  virtual TimePoint Now() const = 0;
};

// The steady clock; the same object on every call.
std::shared_ptr<const Clock> SteadyClock();

}  // namespace folirex

#endif  // FOLIREX_CORE_CLOCK_H_
