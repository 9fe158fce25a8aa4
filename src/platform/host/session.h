// Session: the values a browser keeps between requests, found by an HttpOnly cookie. Keys are
// matched without regard to case; a session is dropped after 20 minutes without a request.
//
// SessionStore is shared by every worker and is thread-safe. A Session is the handle one
// request holds on its entry; it belongs to that request's worker.
#ifndef FOLIREX_PLATFORM_HOST_SESSION_H_
#define FOLIREX_PLATFORM_HOST_SESSION_H_

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/db/variant.h"

namespace folirex {

class SessionStore;

class Session {
 public:
  Variant Get(std::string_view key) const;
  void Set(std::string_view key, Variant value);
  void Remove(std::string_view key);
  // Drops every value; the browser gets a new, empty session on its next request.
  void Abandon();
  // Gives the session a new id (keeping its values) and sends the new cookie; used at sign-in.
  void RenewId();
  const std::string& SessionID() const { return id_; }

 private:
  friend class SessionStore;
  struct Entry {
    std::mutex mutex;
    std::map<std::string, Variant> values;  // lower-case keys
    std::chrono::steady_clock::time_point last_used;
    bool abandoned = false;
  };
  SessionStore* store_ = nullptr;
  std::shared_ptr<Entry> entry_;
  std::string id_;
  bool id_changed_ = false;  // the host must send the cookie
};

class SessionStore {
 public:
  static constexpr const char* kCookieName = "FOLIREXSESSIONID";
  explicit SessionStore(std::chrono::seconds idle_timeout = std::chrono::minutes(20));

  // The session for the cookie value (empty or unknown: a new one, which the host announces
  // with Set-Cookie when Session::id_changed() says so).
  Session Attach(std::string_view cookie_value);
  // Whether the host must send a Set-Cookie for this session, and its value.
  static bool NeedsCookie(const Session& s) { return s.id_changed_; }
  // Drops sessions idle for longer than the timeout.
  void Sweep();
  size_t size() const;

 private:
  friend class Session;
  std::string NewId();
  void Rekey(Session* s);
  void Drop(const std::string& id);

  std::chrono::seconds idle_timeout_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<Session::Entry>> sessions_;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_SESSION_H_
