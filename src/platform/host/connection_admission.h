// Which connections the host keeps when it holds as many as it may, and which it closes so that
// new ones can come in. Connections are counted by their client's address (ClientNetwork: an
// IPv4 address, an IPv6 /64; a trusted proxy counts as its own address). At the bound a
// newcomer takes the place of connections that wait on their clients (between requests, for a
// head, for a body without an account, for an answer the client does not take), chosen so that
// no address can push out the connections of others however many it opens:
//   - from the addresses that hold the most connections first, the longest waiting of those
//     first (ties: the longest waiting, then the lowest id);
//   - never a connection that does not wait on its client (a page running, a signed-in console
//     body under way);
//   - never the only connection of an address while another address holds more than its share
//     (the bound divided among the addresses that hold connections, rounded up).
// When none may be closed the newcomer is refused. A connection chosen leaves the count at once,
// so that it is not chosen twice; if it has stopped waiting by the time it is to close, Keep()
// counts it again.
//
// Not thread-safe: the caller serializes every call (the host under its connections mutex).
#ifndef FOLIREX_PLATFORM_HOST_CONNECTION_ADMISSION_H_
#define FOLIREX_PLATFORM_HOST_CONNECTION_ADMISSION_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace folirex {

class ConnectionAdmission {
 public:
  // A connection, as its holder names it (the host: its address in memory).
  using Id = std::uintptr_t;
  // When the connection began to wait on its client (any steady-clock ticks, earlier is less);
  // 0 while it does not wait. Asked of open connections during ChooseToClose only.
  using WaitingSince = std::function<int64_t(Id)>;

  explicit ConnectionAdmission(size_t max_connections);
  ConnectionAdmission(const ConnectionAdmission&) = delete;
  ConnectionAdmission& operator=(const ConnectionAdmission&) = delete;

  // A connection comes in from `address`, counted whatever the bound (the caller has made room
  // or decided to go past it). The id must not be held already.
  void Add(Id id, std::string_view address);
  // The connection has gone, chosen or not.
  void Remove(Id id);
  // Whether a newcomer needs room made for it.
  bool Full() const { return open_ >= max_connections_; }
  // Connections counted: added, not removed, not chosen to close.
  size_t open() const { return open_; }
  // What the address holds of them.
  size_t Held(std::string_view address) const;

  // Chooses up to `count` connections to close by the rules above, in the order chosen, and takes
  // them out of the count. Empty when none may be closed.
  std::vector<Id> ChooseToClose(size_t count, const WaitingSince& waiting_since);
  // A chosen connection that no longer waited when it was to close stays, and counts again.
  void Keep(Id id);

 private:
  struct Client {
    size_t held = 0;  // connections counted
    size_t all = 0;   // with those chosen to close that have not gone yet
  };
  using ClientSlot = std::pair<const std::string, Client>;  // stays put while the map grows
  struct Entry {
    ClientSlot* client;
    bool chosen = false;
  };

  void Count(Entry& entry, bool counted);

  const size_t max_connections_;
  std::unordered_map<std::string, Client> clients_;
  std::unordered_map<Id, Entry> entries_;
  size_t open_ = 0;
  size_t holding_ = 0;  // addresses that hold a counted connection
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_CONNECTION_ADMISSION_H_
