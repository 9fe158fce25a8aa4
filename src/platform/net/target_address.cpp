#include "platform/net/target_address.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <cstring>

namespace folirex {
namespace {

// The blocks that are refused outright (see the header).
constexpr char kRefusedBlocks[] =
    "0.0.0.0/8 10.0.0.0/8 100.64.0.0/10 127.0.0.0/8 169.254.0.0/16 172.16.0.0/12 192.0.0.0/24 "
    "192.0.2.0/24 192.88.99.0/24 192.168.0.0/16 198.18.0.0/15 198.51.100.0/24 203.0.113.0/24 "
    "224.0.0.0/4 240.0.0.0/4 "
    "::/128 ::1/128 64:ff9b:1::/48 100::/64 2001::/23 2001:db8::/32 3fff::/20 5f00::/16 "
    "fc00::/7 fe80::/10 fec0::/10 ff00::/8";

bool PrefixMatches(const IpAddress& address, const IpAddress& base, int prefix) {
  if (address.v6 != base.v6) return false;
  int whole = prefix / 8;
  if (std::memcmp(address.bytes.data(), base.bytes.data(), static_cast<size_t>(whole)) != 0) {
    return false;
  }
  int rest = prefix % 8;
  if (rest == 0) return true;
  uint8_t mask = static_cast<uint8_t>(0xFF << (8 - rest));
  return (address.bytes[whole] & mask) == (base.bytes[whole] & mask);
}

IpAddress V4(const uint8_t* four) {
  IpAddress v4;
  std::memcpy(v4.bytes.data(), four, 4);
  return v4;
}

// The IPv4 address an IPv6 address carries (mapped, translated, compatible, NAT64, 6to4), if
// any.
std::optional<IpAddress> CarriedV4(const IpAddress& a) {
  if (!a.v6) return std::nullopt;
  static const uint8_t kZero[12] = {};
  static const uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  static const uint8_t kTranslated[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0};
  static const uint8_t kNat64[12] = {0, 0x64, 0xFF, 0x9B};
  const uint8_t* b = a.bytes.data();
  for (const uint8_t* prefix : {kMapped, kTranslated, kNat64, kZero}) {
    if (std::memcmp(b, prefix, 12) == 0) return V4(b + 12);
  }
  if (b[0] == 0x20 && b[1] == 0x02) return V4(b + 2);
  return std::nullopt;
}

bool IsRefusedBlock(const IpAddress& a) {
  static const NetworkList refused = [] {
    NetworkList list;
    list.Parse(kRefusedBlocks, nullptr);
    return list;
  }();
  return refused.Contains(a);
}

}  // namespace

std::optional<IpAddress> ParseIpAddress(std::string_view text) {
  if (text.size() > 2 && text.front() == '[' && text.back() == ']') {
    std::string inner(text.substr(1, text.size() - 2));
    IpAddress a;
    a.v6 = true;
    if (inet_pton(AF_INET6, inner.c_str(), a.bytes.data()) != 1) return std::nullopt;
    return a;
  }
  std::string s(text);
  IpAddress a;
  if (inet_pton(AF_INET, s.c_str(), a.bytes.data()) == 1) return a;
  a.v6 = true;
  if (inet_pton(AF_INET6, s.c_str(), a.bytes.data()) == 1) return a;
  return std::nullopt;
}

std::string IpAddressText(const IpAddress& address) {
  char text[INET6_ADDRSTRLEN] = {};
  if (inet_ntop(address.v6 ? AF_INET6 : AF_INET, address.bytes.data(), text, sizeof text) ==
      nullptr) {
    return "";
  }
  return text;
}

std::optional<IpAddress> SockaddrAddress(const sockaddr* address) {
  if (address == nullptr) return std::nullopt;
  IpAddress a;
  if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    std::memcpy(a.bytes.data(), &v4->sin_addr, 4);
    return a;
  }
  if (address->sa_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
    a.v6 = true;
    std::memcpy(a.bytes.data(), &v6->sin6_addr, 16);
    return a;
  }
  return std::nullopt;
}

bool NetworkList::Parse(std::string_view list, std::string* bad) {
  std::vector<Block> parsed;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find_first_of(", \t", start);
    if (end == std::string_view::npos) end = list.size();
    std::string_view item = list.substr(start, end - start);
    start = end + 1;
    if (item.empty()) continue;
    size_t slash = item.find('/');
    std::optional<IpAddress> base = ParseIpAddress(item.substr(0, slash));
    int max_prefix = base && base->v6 ? 128 : 32;
    int prefix = max_prefix;
    bool ok = base.has_value();
    if (ok && slash != std::string_view::npos) {
      std::string_view digits = item.substr(slash + 1);
      ok = !digits.empty() && digits.size() <= 3;
      prefix = 0;
      for (char c : digits) {
        if (c < '0' || c > '9') ok = false;
        prefix = prefix * 10 + (c - '0');
      }
      ok = ok && prefix <= max_prefix;
    }
    if (!ok) {
      if (bad != nullptr) *bad = std::string(item);
      return false;
    }
    parsed.push_back({*base, prefix});
  }
  blocks_ = std::move(parsed);
  return true;
}

bool NetworkList::Contains(const IpAddress& address) const {
  for (const Block& block : blocks_) {
    if (PrefixMatches(address, block.base, block.prefix)) return true;
  }
  return false;
}

std::vector<IpAddress> OwnInterfaceAddresses() {
  std::vector<IpAddress> own;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return own;
  for (ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
    if (std::optional<IpAddress> a = SockaddrAddress(i->ifa_addr)) own.push_back(*a);
  }
  freeifaddrs(list);
  return own;
}

bool IsRefusedTarget(const IpAddress& address, const NetworkList& allowed,
                     const std::vector<IpAddress>& own) {
  std::optional<IpAddress> carried = CarriedV4(address);
  if (allowed.Contains(address) || (carried && allowed.Contains(*carried))) return false;
  auto refused = [&own](const IpAddress& a) {
    if (IsRefusedBlock(a)) return true;
    for (const IpAddress& mine : own) {
      if (mine == a) return true;
    }
    return false;
  };
  return refused(address) || (carried && refused(*carried));
}

}  // namespace folirex
