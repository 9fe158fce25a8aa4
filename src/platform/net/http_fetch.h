// Fetching of remote pages and files for the article collector: one synchronous HTTP GET per
// call, over http or https only, with the program adding no header of its own unless a user
// agent is configured.
//
// Limits: redirects are followed up to a cap and only to http/https addresses; connect and whole
// transfer timeouts; a cap on the body size enforced while receiving (the transfer is aborted as
// soon as it is passed). The HTTP status is reported, not judged: an error page with a body is a
// successful fetch whose status says what it is.
//
// Targets: a connection is made only to an address that target_address.h allows (public
// addresses, and the networks of FetchOptions::allow_networks). The check is made on the address
// each connection is actually opened to, after name resolution and for every redirect, so a name
// that resolves to the machine itself or to a private network is refused like the literal
// address, before any packet is sent to it. Proxies from the environment are not used: every
// connection goes straight to its target.
//
// Fetch never throws for network, protocol or address failures: they come back in
// FetchResult::error. Each call uses its own handle, so calls may run on several threads at once.
#ifndef FOLIREX_PLATFORM_NET_HTTP_FETCH_H_
#define FOLIREX_PLATFORM_NET_HTTP_FETCH_H_

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/net/target_address.h"

namespace folirex {

struct FetchOptions {
  int timeout_seconds = 30;          // the whole transfer, redirects included
  int connect_timeout_seconds = 10;  // each connection attempt
  // The largest body accepted, in bytes; a longer one fails the fetch.
  size_t max_bytes = size_t{8} << 20;
  // How many redirects are followed; with 0 the redirect answer itself is the result.
  int max_redirects = 5;
  // Sent as User-Agent when not empty; otherwise no User-Agent header is sent.
  std::string user_agent;
  // Networks that may be contacted although they are not public (see above): the ones the
  // administrator opened. Empty by default.
  NetworkList allow_networks;
  // When set, the whole call takes at most this long even if timeout_seconds is longer (the
  // rest of a caller's own deadline); zero or less fails the fetch without a request.
  std::optional<std::chrono::milliseconds> time_left;
};

struct FetchResult {
  // True when a complete response was received, whatever its status.
  bool ok = false;
  // The HTTP status of the last response (0 when none was received).
  int status = 0;
  // The address of the last request made, after redirects.
  std::string final_url;
  // The Content-Type header of the last response, as sent ("" when absent).
  std::string content_type;
  // The raw body bytes; empty when !ok.
  std::string body;
  // Why the fetch failed; empty when ok.
  std::string error;
  // True when the fetch failed because a connection was refused by the address rule (see
  // target_address.h); refused_address is then the refused address in its text form ("127.0.0.1",
  // "::1"). When a name has several addresses and more than one is refused, the first.
  bool refused = false;
  std::string refused_address;

  // The body decoded as a page of the site's code page (see DecodePage).
  std::string Text() const;
};

// GET `url`. Only absolute http:// and https:// addresses are requested (scheme letter case
// ignored); any other address, or one holding control characters, fails without a request.
// Blanks and bytes outside ASCII in the address are sent percent-encoded.
FetchResult Fetch(std::string_view url, const FetchOptions& options = {});

// Remote pages are read as code page 936 whatever they declare; bytes that are not valid there
// become U+FFFD. Returns UTF-8.
std::string DecodePage(std::string_view bytes);

// The body decoded as its declared character set: UTF-8 when the Content-Type header or a
// <meta> charset near the start of the page names "utf-8" (invalid sequences become U+FFFD),
// otherwise code page 936 as DecodePage does.
std::string DecodePageAsDeclared(std::string_view bytes, std::string_view content_type);

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_NET_HTTP_FETCH_H_
