#include "site/tell_friend_limits.h"

#include "platform/host/host_text.h"

namespace folirex {

TellFriendLimits::TellFriendLimits()
    : clock_(SteadyClock()),
      per_client_(std::chrono::minutes(1)),
      per_recipient_(kRecipientWindow) {}

TellFriendLimits::Verdict TellFriendLimits::Take(std::string_view client,
                                                 std::string_view article_id,
                                                 std::string_view recipient) {
  std::string client_key(client);
  std::string recipient_key = std::string(article_id) + " " + host::AsciiLower(recipient);
  std::lock_guard lock(mutex_);
  Clock::TimePoint now = clock_->Now();
  if (per_client_.Count(client_key, now) >= kMailsPerMinute) return Verdict::kClientTooFast;
  if (per_recipient_.Count(recipient_key, now) > 0) return Verdict::kRecipientRecently;
  per_client_.Add(client_key, now);
  per_recipient_.Add(recipient_key, now);
  return Verdict::kSend;
}

void TellFriendLimits::SetClock(std::shared_ptr<const Clock> clock) {
  std::lock_guard lock(mutex_);
  clock_ = std::move(clock);
}

}  // namespace folirex
