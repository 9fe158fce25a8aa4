// Session: the values a browser keeps between requests, found by an HttpOnly cookie. Keys are
// matched without regard to case; a session is dropped after 20 minutes without a request.
//
// A browser without a known cookie gets a session that is stored, and announced with a cookie,
// only once a value is set in it (or its id renewed): requests that never sign in, crawlers
// among them, leave nothing behind. The cookie's value is a random 128-bit id; an id the store
// does not know is never taken over.
//
// SessionStore is shared by every worker and is thread-safe; it must outlive every Session it
// hands out. It reads idle time from its Clock (the steady clock unless a test gives another).
// A Session is the handle one request holds; it belongs to that request's worker. Two requests
// of one browser at the same time share the values, each access being atomic.
#ifndef FOLIREX_PLATFORM_HOST_SESSION_H_
#define FOLIREX_PLATFORM_HOST_SESSION_H_

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/clock.h"
#include "platform/db/variant.h"

namespace folirex {

class SessionStore;

class Session {
 public:
  // A session of its own, kept by no store (for code run outside a request).
  Session();

  Variant Get(std::string_view key) const;
  void Set(std::string_view key, Variant value);
  void Remove(std::string_view key);
  // Drops every value and the stored session; a value set afterwards starts a new session with
  // a new id, and the old cookie finds nothing.
  void Abandon();
  // Gives the session a new id (keeping its values) and has the host send the new cookie; used
  // at sign-in, so that an id known before signing in is worth nothing after.
  void RenewId();
  // Empty while the session is not stored.
  const std::string& SessionID() const { return id_; }
  // Ends the other sessions of the store that hold value under key (SessionStore::EndWhere);
  // this one stays. 0 for a session kept by no store.
  size_t EndOthersWith(std::string_view key, std::string_view value);

 private:
  friend class SessionStore;
  struct Entry {
    mutable std::mutex mutex;
    std::map<std::string, Variant> values;  // lower-case keys; guarded by mutex
    Clock::TimePoint last_used;             // guarded by the store's mutex
  };
  SessionStore* store_ = nullptr;
  std::shared_ptr<Entry> entry_;
  std::string id_;
  bool id_changed_ = false;  // the host must send the cookie
};

class SessionStore {
 public:
  static constexpr const char* kCookieName = "FOLIREXSESSIONID";
  explicit SessionStore(std::chrono::seconds idle_timeout = std::chrono::minutes(20),
                        std::shared_ptr<const Clock> clock = SteadyClock());
  SessionStore(const SessionStore&) = delete;
  SessionStore& operator=(const SessionStore&) = delete;

  // The session for the cookie value; empty, unknown or expired: a new, not yet stored one.
  // Sweeps the store now and then.
  Session Attach(std::string_view cookie_value);
  // Whether the host must send a Set-Cookie for this session, and the header value to send.
  static bool NeedsCookie(const Session& s) { return s.id_changed_; }
  static std::string CookieHeader(const Session& s);
  // Ends every stored session whose value under key is the text value (letters compared
  // without regard to case, as account names are), but not the session whose id is keep_id:
  // its cookie finds nothing any more and its values are dropped, so a request of it that is
  // under way sees it signed out too. An empty value ends nothing. Returns how many ended.
  size_t EndWhere(std::string_view key, std::string_view value, std::string_view keep_id = {});
  // Drops sessions idle for longer than the timeout.
  void Sweep();
  size_t size() const;

 private:
  friend class Session;
  static std::string NewId();
  void Insert(Session* s);
  void Rekey(Session* s);
  // Keeps the session under an id no other session has, as just used; mutex_ held.
  void FileUnderNewIdLocked(Session* s);
  void Drop(const std::string& id);
  void SweepLocked(Clock::TimePoint now);

  std::chrono::seconds idle_timeout_;
  std::shared_ptr<const Clock> clock_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<Session::Entry>> sessions_;
  Clock::TimePoint last_sweep_;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_SESSION_H_
