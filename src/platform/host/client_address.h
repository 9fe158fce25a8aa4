// The client's address as the pages see it (REMOTE_ADDR). It is the connection's peer, unless
// the peer is one of the trusted proxies of the settings file: then the X-Forwarded-For header
// names it, read from the right, skipping the trusted proxies' own entries. A client that
// connects directly can therefore never choose the address written into logs and comments.
//
// TrustedProxies is immutable once built and may be shared by all threads.
#ifndef FOLIREX_PLATFORM_HOST_CLIENT_ADDRESS_H_
#define FOLIREX_PLATFORM_HOST_CLIENT_ADDRESS_H_

#include <string>
#include <string_view>
#include <vector>

namespace folirex {

class TrustedProxies {
 public:
  TrustedProxies() = default;
  // A list of IPv4 or IPv6 addresses separated by commas or spaces; false with the first entry
  // that is not an address in *bad.
  bool Parse(std::string_view list, std::string* bad);

  bool empty() const { return addresses_.empty(); }
  bool Contains(std::string_view address) const;

  // The client's address for a connection from `peer` carrying `forwarded_for` (the joined
  // X-Forwarded-For values, empty when absent).
  std::string ClientAddress(const std::string& peer, std::string_view forwarded_for) const;

 private:
  std::vector<std::string> addresses_;  // in canonical text form
};

// The canonical text of an IPv4 or IPv6 address ("::ffff:1.2.3.4" as "1.2.3.4"); empty when the
// text is not an address.
std::string CanonicalAddress(std::string_view text);

// What a client's connections and bodies are counted by: an IPv4 address itself, an IPv6 address
// by its /64 network ("2001:db8:1:2::/64"), which one subscriber holds whole. "" when the text is
// not an address.
std::string ClientNetwork(std::string_view address);

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_CLIENT_ADDRESS_H_
