#include "platform/clock.h"

namespace folirex {
namespace {

class Steady final : public Clock {
 public:
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }
  DateTime LocalNow() const override { return DateTime::Now(); }
};

}  // namespace

std::shared_ptr<const Clock> SteadyClock() {
  static const std::shared_ptr<const Clock> clock = std::make_shared<Steady>();
  return clock;
}

}  // namespace folirex
