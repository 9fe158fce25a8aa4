// A clock the test moves by hand, for the sessions, throttles and click periods that take a
// Clock: no test waits for time to pass. Its local time starts at kStart unless set; Advance
// moves both readings. It may be read from the host's workers while the test thread moves it.
#ifndef FOLIREX_TESTS_SUPPORT_MANUAL_CLOCK_H_
#define FOLIREX_TESTS_SUPPORT_MANUAL_CLOCK_H_

#include <chrono>
#include <cmath>
#include <mutex>

#include "platform/clock.h"

namespace folirex::testing {

class ManualClock final : public Clock {
 public:
  // A Wednesday in the middle of a month.
  static constexpr DateTime kStart{2024, 5, 15, 10, 0, 0};

  TimePoint Now() const override {
    std::lock_guard lock(mutex_);
    return TimePoint(ticks_);
  }
  DateTime LocalNow() const override {
    std::lock_guard lock(mutex_);
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(local_).count();
    return DateTime::FromSerial(static_cast<double>(seconds) / 86400.0);
  }
  void Advance(Duration by) {
    std::lock_guard lock(mutex_);
    ticks_ += by;
    local_ += by;
  }
  // Sets the local date and time; Now() goes on from where it is.
  void SetLocal(const DateTime& local) {
    std::lock_guard lock(mutex_);
    local_ = SinceSerialEpoch(local);
  }

 private:
  static Duration SinceSerialEpoch(const DateTime& local) {
    return std::chrono::seconds(std::llround(local.ToSerial() * 86400.0));
  }

  mutable std::mutex mutex_;
  // Some way past the steady clock's epoch, as a steady clock is.
  Duration ticks_ = std::chrono::hours(1000);
  Duration local_ = SinceSerialEpoch(kStart);  // local time since the serial dates' day 0
};

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_SUPPORT_MANUAL_CLOCK_H_
