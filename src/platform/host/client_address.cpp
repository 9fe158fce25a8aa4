#include "platform/host/client_address.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

namespace folirex {

namespace {

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string CanonicalAddress(std::string_view text) {
  text = Trimmed(text);
  if (text.empty() || text.size() > 64) return "";
  std::string s(text);
  // "[v6]" as some proxies write it.
  if (s.size() > 2 && s.front() == '[' && s.back() == ']') s = s.substr(1, s.size() - 2);
  char out[INET6_ADDRSTRLEN] = {};
  in_addr v4{};
  if (inet_pton(AF_INET, s.c_str(), &v4) == 1) {
    return inet_ntop(AF_INET, &v4, out, sizeof(out)) ? out : "";
  }
  in6_addr v6{};
  if (inet_pton(AF_INET6, s.c_str(), &v6) == 1) {
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
      std::memcpy(&v4, &v6.s6_addr[12], 4);
      return inet_ntop(AF_INET, &v4, out, sizeof(out)) ? out : "";
    }
    return inet_ntop(AF_INET6, &v6, out, sizeof(out)) ? out : "";
  }
  return "";
}

std::string ClientNetwork(std::string_view address) {
  std::string canonical = CanonicalAddress(address);
  in6_addr v6{};
  if (canonical.find(':') == std::string::npos ||
      inet_pton(AF_INET6, canonical.c_str(), &v6) != 1) {
    return canonical;  // IPv4, or no address at all
  }
  std::memset(&v6.s6_addr[8], 0, 8);
  char out[INET6_ADDRSTRLEN] = {};
  return inet_ntop(AF_INET6, &v6, out, sizeof(out)) ? std::string(out) + "/64" : canonical;
}

bool TrustedProxies::Parse(std::string_view list, std::string* bad) {
  std::vector<std::string> parsed;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find_first_of(", \t", start);
    if (end == std::string_view::npos) end = list.size();
    std::string_view item = list.substr(start, end - start);
    if (!item.empty()) {
      std::string address = CanonicalAddress(item);
      if (address.empty()) {
        if (bad != nullptr) *bad = std::string(item);
        return false;
      }
      parsed.push_back(std::move(address));
    }
    start = end + 1;
  }
  addresses_ = std::move(parsed);
  return true;
}

bool TrustedProxies::Contains(std::string_view address) const {
  std::string canonical = CanonicalAddress(address);
  return !canonical.empty() &&
         std::find(addresses_.begin(), addresses_.end(), canonical) != addresses_.end();
}

std::string TrustedProxies::ClientAddress(const std::string& peer,
                                          std::string_view forwarded_for) const {
  std::string client = CanonicalAddress(peer);
  if (client.empty()) client = peer;
  if (addresses_.empty() || forwarded_for.empty() || !Contains(client)) return client;
  std::vector<std::string_view> hops;
  for (size_t begin = 0; begin <= forwarded_for.size();) {
    size_t comma = forwarded_for.find(',', begin);
    if (comma == std::string_view::npos) comma = forwarded_for.size();
    hops.push_back(forwarded_for.substr(begin, comma - begin));
    begin = comma + 1;
  }
  // From the right: each trusted proxy appended the address it received the request from.
  for (auto hop = hops.rbegin(); hop != hops.rend(); ++hop) {
    std::string address = CanonicalAddress(*hop);
    // A malformed entry cannot be trusted, and nothing to its left can be either.
    if (address.empty()) break;
    client = std::move(address);
    if (!Contains(client)) break;
  }
  return client;
}

}  // namespace folirex
