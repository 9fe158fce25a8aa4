// Which addresses the fetcher may connect to. A fetch follows addresses taken from remote pages
// (links, pictures, redirects), so by default only public addresses are contacted: the machine
// itself, private and shared networks, and special-purpose ranges are refused, whatever name or
// text form led to them. Networks listed by the administrator (CollectAllowNetworks) are open.
//
// Refused IPv4 blocks: 0/8 (this network), 10/8, 100.64/10 (shared), 127/8, 169.254/16,
// 172.16/12, 192.0.0/24 (protocol assignments), 192.0.2/24, 192.88.99/24 (6to4 relays),
// 192.168/16, 198.18/15 (benchmarking), 198.51.100/24, 203.0.113/24, 224/4 (multicast) and
// 240/4 (reserved, broadcast included).
// Refused IPv6 blocks: ::/128, ::1/128, 64:ff9b:1::/48 (local translation), 100::/64 (discard),
// 2001::/23 (protocol assignments), 2001:db8::/32 and 3fff::/20 (documentation), 5f00::/16,
// fc00::/7 (unique-local), fe80::/10, fec0::/10 (site-local) and ff00::/8 (multicast).
// An IPv6 address that carries an IPv4 address (IPv4-mapped ::ffff:0:0/96, IPv4-translated
// ::ffff:0:0:0/96, IPv4-compatible ::/96, NAT64 64:ff9b::/96, 6to4 2002::/16) is refused when
// that IPv4 address is, and allowed when that IPv4 address lies in an open network.
// Every address of the machine's own interfaces is refused too.
//
// Pure values apart from OwnInterfaceAddresses; a NetworkList is immutable once parsed and may be
// shared by threads.
#ifndef FOLIREX_PLATFORM_NET_TARGET_ADDRESS_H_
#define FOLIREX_PLATFORM_NET_TARGET_ADDRESS_H_

#include <sys/socket.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folirex {

// An IPv4 address (the first 4 bytes) or an IPv6 address (16 bytes), without port or scope.
struct IpAddress {
  bool v6 = false;
  std::array<uint8_t, 16> bytes{};

  bool operator==(const IpAddress&) const = default;
};

// The address in its text form: dotted IPv4 or IPv6, the latter also in brackets ("[::1]");
// nullopt for anything else (names, ports, shortened IPv4 forms).
std::optional<IpAddress> ParseIpAddress(std::string_view text);

// The address in its usual text form: dotted IPv4, or IPv6 as inet_ntop writes it ("::1"),
// without brackets.
std::string IpAddressText(const IpAddress& address);

// The address of an AF_INET or AF_INET6 socket address; nullopt for any other family.
std::optional<IpAddress> SockaddrAddress(const sockaddr* address);

// Addresses and CIDR blocks ("203.0.113.7, 10.0.0.0/8, fd12::/16").
class NetworkList {
 public:
  // Items separated by commas or blanks; an empty list is valid. False with the first item that
  // is not an address or a block (a prefix longer than the address) in *bad; the list is then
  // left as it was.
  bool Parse(std::string_view list, std::string* bad);

  bool empty() const { return blocks_.empty(); }
  bool Contains(const IpAddress& address) const;

 private:
  struct Block {
    IpAddress base;
    int prefix = 0;
  };
  std::vector<Block> blocks_;
};

// The addresses of this machine's interfaces (getifaddrs); empty when they cannot be read.
std::vector<IpAddress> OwnInterfaceAddresses();

// True when a fetch must not connect to `address`: it is in a refused block or among `own`
// (directly or as the IPv4 address it carries), and neither it nor that IPv4 address lies in
// `allowed`.
bool IsRefusedTarget(const IpAddress& address, const NetworkList& allowed,
                     const std::vector<IpAddress>& own);

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_NET_TARGET_ADDRESS_H_
