// A clock the test moves by hand, for the throttles that take a Clock: no test waits for time to
// pass. Now() may be read from the host's workers while the test thread advances it.
#ifndef FOLIREX_TESTS_SUPPORT_MANUAL_CLOCK_H_
#define FOLIREX_TESTS_SUPPORT_MANUAL_CLOCK_H_

#include <atomic>
#include <chrono>

#include "core/clock.h"

namespace folirex::testing {

class ManualClock final : public Clock {
 public:
  TimePoint Now() const override { return TimePoint(Duration(ticks_.load())); }
  void Advance(Duration by) { ticks_ += by.count(); }

 private:
  // Some way past the clock's epoch, as a steady clock is.
  std::atomic<Duration::rep> ticks_{Duration(std::chrono::hours(1000)).count()};
};

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_SUPPORT_MANUAL_CLOCK_H_
