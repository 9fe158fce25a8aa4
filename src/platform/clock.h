// Clock: the time the host and the pages read, behind a small interface so that a test can move
// it by hand instead of waiting. Now() is monotonic time for time-outs and throttles; LocalNow()
// is the local calendar time for what is stamped or counted by day, week or month.
//
// SteadyClock() is the one the program runs on: Now() from the steady clock (never set back by a
// change of the system time), LocalNow() the system's local time.
//
// Now() and LocalNow() may be called from any thread; an implementation must allow that.
#ifndef FOLIREX_PLATFORM_CLOCK_H_
#define FOLIREX_PLATFORM_CLOCK_H_

#include <chrono>
#include <memory>

#include "platform/db/variant.h"

namespace folirex {

class Clock {
 public:
  using Duration = std::chrono::steady_clock::duration;
  using TimePoint = std::chrono::steady_clock::time_point;

  virtual ~Clock() = default;
  virtual TimePoint Now() const = 0;
  virtual DateTime LocalNow() const = 0;
};

// The program's clock; the same object on every call.
std::shared_ptr<const Clock> SteadyClock();

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_CLOCK_H_
