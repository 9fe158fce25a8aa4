// LoginThrottle: the console's brake on guessing passwords, one table for the whole process
// (reached through Application::Shared under kSharedName). Failed sign-ins are counted per pair
// of name (letter case ignored, as the accounts' names are) and client address. After
// kFreeFailures failures the pair must wait before its next attempt is even checked: kFirstWait
// after the last failure, twice as long after each further failure, at most kLongestWait. A
// successful sign-in clears the pair; a pair quiet for kForgetAfter is forgotten.
//
// Nothing here sleeps: an attempt inside the wait is refused at once. Thread-safe. The clock is
// the steady clock unless a test sets another before the first use.
#ifndef FOLIREX_CONSOLE_LOGIN_THROTTLE_H_
#define FOLIREX_CONSOLE_LOGIN_THROTTLE_H_

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/clock.h"

namespace folirex {

class LoginThrottle {
 public:
  static constexpr const char* kSharedName = "login_throttle";
  static constexpr int kFreeFailures = 5;
  static constexpr std::chrono::seconds kFirstWait{2};
  static constexpr std::chrono::minutes kLongestWait{15};
  static constexpr std::chrono::hours kForgetAfter{1};

  LoginThrottle() : clock_(SteadyClock()) {}

  // How long the pair must still wait before an attempt is checked; zero when it may try now.
  Clock::Duration Wait(std::string_view name, std::string_view address);
  // Counts a failed attempt; the pair's failures so far.
  int Fail(std::string_view name, std::string_view address);
  void Clear(std::string_view name, std::string_view address);

  void SetClock(std::shared_ptr<const Clock> clock);

 private:
  struct Pair {
    int failures = 0;
    Clock::TimePoint last_failure;
  };
  static std::string Key(std::string_view name, std::string_view address);
  void SweepLocked(Clock::TimePoint now);

  std::mutex mutex_;
  std::shared_ptr<const Clock> clock_;           // guarded by mutex_
  std::unordered_map<std::string, Pair> pairs_;  // guarded by mutex_
  Clock::TimePoint last_sweep_{};                // guarded by mutex_
};

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_LOGIN_THROTTLE_H_
