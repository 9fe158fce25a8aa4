// TellFriendLimits: how often tell-a-friend may send, one table for the whole process (reached
// through Application::Shared under kSharedName): at most kMailsPerMinute mails in any minute
// from one client address, and one mail an hour to one recipient about one article. Without
// them the page would be a mail relay for anyone's text about the site.
//
// Thread-safe. The clock is the steady clock unless a test sets another before the first use.
#ifndef FOLIREX_SITE_TELL_FRIEND_LIMITS_H_
#define FOLIREX_SITE_TELL_FRIEND_LIMITS_H_

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/clock.h"
#include "core/window_counter.h"

namespace folirex {

class TellFriendLimits {
 public:
  static constexpr const char* kSharedName = "tellfriend_limits";
  static constexpr size_t kMailsPerMinute = 5;
  static constexpr std::chrono::hours kRecipientWindow{1};

  enum class Verdict { kSend, kClientTooFast, kRecipientRecently };

  TellFriendLimits();

  // Whether a mail from the client to the recipient about the article may go now; a mail that
  // may go is counted at once. The recipient's address is compared without regard to case.
  Verdict Take(std::string_view client, std::string_view article_id, std::string_view recipient);

  void SetClock(std::shared_ptr<const Clock> clock);

 private:
  std::mutex mutex_;
  std::shared_ptr<const Clock> clock_;  // guarded by mutex_
  WindowCounter per_client_;            // guarded by mutex_
  WindowCounter per_recipient_;         // guarded by mutex_
};

}  // namespace folirex

#endif  // FOLIREX_SITE_TELL_FRIEND_LIMITS_H_
