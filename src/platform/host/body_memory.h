// The memory that request bodies take, and who may take it. A body takes memory as its bytes
// arrive, not when its head announces them, so a head that never sends its body holds next to
// nothing. The budget is shared out by who sends the body:
//   kConsole    requests that carry a signed-in console session: the whole budget;
//   kSignIn     the console's sign-in form: a share of its own (a sixteenth, or room for a
//               sign-in on every connection the host allows when that is more);
//   kAnonymous  every other body (public pages, console requests not signed in, static files):
//               at most an eighth of it.
// So the bodies of people without an account can never take more than three sixteenths, and the
// rest stays for those who run the site. Bodies of the two shares without an account also count
// toward their client address's own bound.
//
// Answers that wait on their clients, and pages being built, take memory from a budget of their
// own (answer_budget.h).
//
// ClientTable keeps what each client address holds at once (open connections, body bytes, answer
// bytes); an address's entry lives while something holds it. BodyMemory and ClientTable are
// thread-safe and must outlive every reservation and entry taken from them.
#ifndef FOLIREX_PLATFORM_HOST_BODY_MEMORY_H_
#define FOLIREX_PLATFORM_HOST_BODY_MEMORY_H_

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace folirex {

// Adds `bytes` to `counter` unless that passes `limit`; false (and nothing added) when it would.
bool AddBounded(std::atomic<size_t>& counter, size_t limit, size_t bytes);

enum class BodyShare { kAnonymous, kSignIn, kConsole };

// The largest body a request may carry, and the share of the budget it draws on.
struct BodyAllowance {
  // Implicit from a size: an anonymous body of that limit.
  BodyAllowance(size_t limit_bytes = 0, BodyShare body_share = BodyShare::kAnonymous)  // NOLINT
      : limit(limit_bytes), share(body_share) {}
  size_t limit;
  BodyShare share;
};

// What one client address holds at once.
struct ClientUse {
  std::atomic<size_t> connections{0};
  std::atomic<size_t> body_bytes{0};
  std::atomic<size_t> answer_bytes{0};
};

class ClientTable {
 public:
  ClientTable() = default;
  ClientTable(const ClientTable&) = delete;
  ClientTable& operator=(const ClientTable&) = delete;

  // The entry of the address (in canonical text form), made when none is held.
  std::shared_ptr<ClientUse> Find(const std::string& address);
  // Addresses with an entry held.
  size_t size() const;

 private:
  mutable std::mutex mutex_;
  std::unordered_map<std::string, std::weak_ptr<ClientUse>> clients_;
};

class BodyMemory {
 public:
  // total: all bodies together; per_client: the bodies without an account of one address;
  // sign_in: the sign-in's share (at least a sixteenth of total, at most a quarter).
  BodyMemory(size_t total, size_t per_client, size_t sign_in = 0);
  BodyMemory(const BodyMemory&) = delete;
  BodyMemory& operator=(const BodyMemory&) = delete;

  // What the share may hold at most.
  size_t ShareLimit(BodyShare share) const;
  // Whether bytes more would fit now, taking nothing.
  bool Fits(BodyShare share, const ClientUse* client, size_t bytes) const;
  // Takes bytes for a body of the share from `client` (may be null); false, taking nothing, when
  // they would pass the total, the share's part or the client's bound.
  bool Take(BodyShare share, ClientUse* client, size_t bytes);
  void Give(BodyShare share, ClientUse* client, size_t bytes);

 private:
  bool CountsForClient(BodyShare share) const { return share != BodyShare::kConsole; }

  const size_t total_;
  const size_t per_client_;
  const size_t sign_in_;
  std::atomic<size_t> used_{0};
  std::atomic<size_t> share_used_[3] = {};
};

// The bytes that one body holds of a BodyMemory, given back when the holder lets go of them.
class BodyReservation {
 public:
  BodyReservation() = default;
  BodyReservation(BodyMemory& memory, BodyShare share, std::shared_ptr<ClientUse> client)
      : memory_(&memory), share_(share), client_(std::move(client)) {}
  BodyReservation(BodyReservation&& other) noexcept;
  BodyReservation& operator=(BodyReservation&& other) noexcept;
  ~BodyReservation() { Reset(); }

  // Holds at least total bytes; false, holding what it held, when they do not fit.
  bool GrowTo(size_t total);
  // Gives back what it holds.
  void Reset();
  size_t bytes() const { return bytes_; }

 private:
  BodyMemory* memory_ = nullptr;
  BodyShare share_ = BodyShare::kAnonymous;
  std::shared_ptr<ClientUse> client_;
  size_t bytes_ = 0;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_BODY_MEMORY_H_
