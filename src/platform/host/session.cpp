#include "platform/host/session.h"

#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <utility>

#include "platform/host/host_text.h"

namespace folirex {

namespace {

constexpr size_t kIdBytes = 16;

bool IsWellFormedId(std::string_view id) {
  return id.size() == kIdBytes * 2 && std::all_of(id.begin(), id.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

}  // namespace

Session::Session() : entry_(std::make_shared<Entry>()) {}

Variant Session::Get(std::string_view key) const {
  std::lock_guard lock(entry_->mutex);
  auto it = entry_->values.find(host::AsciiLower(key));
  return it == entry_->values.end() ? Variant() : it->second;
}

void Session::Set(std::string_view key, Variant value) {
  {
    std::lock_guard lock(entry_->mutex);
    entry_->values[host::AsciiLower(key)] = std::move(value);
  }
  if (store_ != nullptr && id_.empty()) store_->Insert(this);
}

void Session::Remove(std::string_view key) {
  std::lock_guard lock(entry_->mutex);
  entry_->values.erase(host::AsciiLower(key));
}

void Session::Abandon() {
  {
    std::lock_guard lock(entry_->mutex);
    entry_->values.clear();
  }
  if (store_ != nullptr && !id_.empty()) store_->Drop(id_);
  entry_ = std::make_shared<Entry>();
  id_.clear();
  id_changed_ = false;
}

void Session::RenewId() {
  if (store_ == nullptr) return;
  if (id_.empty()) {
    store_->Insert(this);
  } else {
    store_->Rekey(this);
  }
}

size_t Session::EndOthersWith(std::string_view key, std::string_view value) {
  if (store_ == nullptr) return 0;
  return store_->EndWhere(key, value, id_);
}

SessionStore::SessionStore(std::chrono::seconds idle_timeout, std::shared_ptr<const Clock> clock)
    : idle_timeout_(idle_timeout), clock_(std::move(clock)), last_sweep_(clock_->Now()) {}

std::string SessionStore::NewId() {
  unsigned char bytes[kIdBytes];
  size_t got = 0;
  while (got < kIdBytes) {
    ssize_t n = getrandom(bytes + got, kIdBytes - got, 0);
    if (n > 0) {
      got += static_cast<size_t>(n);
    } else if (n < 0 && errno != EINTR) {
      break;
    }
  }
  if (got < kIdBytes) {
    // No getrandom (an old kernel): the library's device, which reads the kernel's pool too.
    std::random_device device;
    for (size_t i = got; i < kIdBytes; ++i) bytes[i] = static_cast<unsigned char>(device());
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id;
  for (unsigned char b : bytes) {
    id.push_back(kHex[b >> 4]);
    id.push_back(kHex[b & 15]);
  }
  return id;
}

Session SessionStore::Attach(std::string_view cookie_value) {
  Session session;
  session.store_ = this;
  auto now = clock_->Now();
  std::lock_guard lock(mutex_);
  auto sweep_every = std::clamp<Clock::Duration>(idle_timeout_ / 2, std::chrono::seconds(1),
                                                 std::chrono::seconds(60));
  if (now - last_sweep_ >= sweep_every) SweepLocked(now);
  if (!IsWellFormedId(cookie_value)) return session;
  auto it = sessions_.find(std::string(cookie_value));
  if (it == sessions_.end()) return session;
  if (now - it->second->last_used > idle_timeout_) {
    sessions_.erase(it);
    return session;
  }
  it->second->last_used = now;
  session.entry_ = it->second;
  session.id_ = it->first;
  return session;
}

std::string SessionStore::CookieHeader(const Session& s) {
  // Lax keeps the console's cookie off requests that other sites' pages make.
  return std::string(kCookieName) + "=" + s.id_ + "; Path=/; HttpOnly; SameSite=Lax";
}

void SessionStore::Insert(Session* s) {
  std::lock_guard lock(mutex_);
  FileUnderNewIdLocked(s);
}

void SessionStore::Rekey(Session* s) {
  std::lock_guard lock(mutex_);
  sessions_.erase(s->id_);
  FileUnderNewIdLocked(s);
}

void SessionStore::FileUnderNewIdLocked(Session* s) {
  std::string id;
  do {
    id = NewId();
  } while (sessions_.count(id) != 0);
  s->entry_->last_used = clock_->Now();
  sessions_[id] = s->entry_;
  s->id_ = std::move(id);
  s->id_changed_ = true;
}

void SessionStore::Drop(const std::string& id) {
  std::lock_guard lock(mutex_);
  sessions_.erase(id);
}

size_t SessionStore::EndWhere(std::string_view key, std::string_view value,
                              std::string_view keep_id) {
  if (value.empty()) return 0;  // an empty value is what every session without the key holds
  std::string lower = host::AsciiLower(key);
  std::lock_guard lock(mutex_);
  // Lock order: the store, then an entry (a Session never takes the store's lock while it
  // holds its entry's).
  return std::erase_if(sessions_, [&](const auto& item) {
    if (!keep_id.empty() && item.first == keep_id) return false;
    Session::Entry& entry = *item.second;
    std::lock_guard entry_lock(entry.mutex);
    auto it = entry.values.find(lower);
    if (it == entry.values.end() || !host::EqualsNoCase(it->second.ToString(), value)) {
      return false;
    }
    entry.values.clear();
    return true;
  });
}

void SessionStore::Sweep() {
  std::lock_guard lock(mutex_);
  SweepLocked(clock_->Now());
}

void SessionStore::SweepLocked(Clock::TimePoint now) {
  last_sweep_ = now;
  std::erase_if(sessions_,
                [&](const auto& item) { return now - item.second->last_used > idle_timeout_; });
}

size_t SessionStore::size() const {
  std::lock_guard lock(mutex_);
  return sessions_.size();
}

}  // namespace folirex
