// How the HTTP host reads a request off the wire, beyond what Beast does itself: a body that takes
// memory as its bytes come, a head whose folded field lines are noticed, and the checks of
// framing, cookies and forwarded addresses that a head's fields need. Internal to the host
// (http_host.cpp, http_connection.cpp), as are the short names of Asio and Beast it gives.
#ifndef FOLIREX_PLATFORM_HOST_HTTP_PARSING_H_
#define FOLIREX_PLATFORM_HOST_HTTP_PARSING_H_

// clang-format off
// Asio's headers use std::exchange without including it.
#include <utility>
// clang-format on

#include <algorithm>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/host_text.h"
#include "platform/host/session.h"

namespace folirex {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = boost::beast::http;
using tcp = asio::ip::tcp;
using SteadyTime = std::chrono::steady_clock::time_point;

namespace host {

// A request body kept as a string that grows as bytes arrive. Beast's own string body reserves
// the announced Content-Length at once, so a head announcing 64 MB would cost 64 MB before a
// byte of the body came. This one doubles what it holds as bytes come, up to the announced
// length, and asks may_hold before it does: a refusal ends the read with no_buffer_space.
struct GrowingBody {
  struct value_type {
    std::string bytes;
    std::function<bool(size_t)> may_hold;
  };

  class reader {
   public:
    template <bool isRequest, class Fields>
    reader(http::header<isRequest, Fields>&, value_type& body) : body_(body) {}
    void init(const boost::optional<std::uint64_t>& length, beast::error_code& ec) {
      length_ = length ? static_cast<size_t>(*length) : 0;
      ec = {};
    }
    template <class ConstBufferSequence>
    size_t put(const ConstBufferSequence& buffers, beast::error_code& ec) {
      std::string& bytes = body_.bytes;
      const size_t needed = bytes.size() + beast::buffer_bytes(buffers);
      if (needed > bytes.capacity()) {
        size_t grown = std::max(needed, 2 * bytes.capacity());
        if (length_ >= needed) grown = std::min(grown, length_);
        if (body_.may_hold && !body_.may_hold(grown)) {
          ec = asio::error::no_buffer_space;
          return 0;
        }
        bytes.reserve(grown);
      }
      size_t n = 0;
      for (auto it = asio::buffer_sequence_begin(buffers); it != asio::buffer_sequence_end(buffers);
           ++it) {
        asio::const_buffer b = *it;
        bytes.append(static_cast<const char*>(b.data()), b.size());
        n += b.size();
      }
      ec = {};
      return n;
    }
    void finish(beast::error_code& ec) { ec = {}; }

   private:
    value_type& body_;
    size_t length_ = 0;
  };
};

using RequestParser = http::request_parser<GrowingBody>;

// Transfer-Encoding absent or exactly one "chunked": a body is never decoded, so any other
// coding, alone or before chunked, is refused.
template <class Fields>
bool FramedOnlyByChunks(const Fields& fields) {
  int codings = 0;
  for (const auto& field : fields) {
    if (field.name() != http::field::transfer_encoding) continue;
    std::string_view value(field.value().data(), field.value().size());
    size_t begin = value.find_first_not_of(" \t");
    size_t end = value.find_last_not_of(" \t");
    value =
        begin == std::string_view::npos ? std::string_view() : value.substr(begin, end + 1 - begin);
    if (++codings > 1 || !EqualsNoCase(value, "chunked")) return false;
  }
  return true;
}

// The values the request's cookies give the session cookie, in the order sent (an old one may
// come first).
template <class Fields>
std::vector<std::string> SessionCookies(const Fields& fields) {
  std::vector<std::string> values;
  const std::string prefix = std::string(SessionStore::kCookieName) + "=";
  for (const auto& field : fields) {
    if (field.name() != http::field::cookie) continue;
    std::string_view value(field.value().data(), field.value().size());
    for (size_t start = 0; start < value.size();) {
      size_t end = value.find(';', start);
      if (end == std::string_view::npos) end = value.size();
      std::string_view item = value.substr(start, end - start);
      while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
      if (item.starts_with(prefix)) values.emplace_back(item.substr(prefix.size()));
      start = end + 1;
    }
  }
  return values;
}

// The request's X-Forwarded-For values joined in the order sent ("" when there are none).
template <class Fields>
std::string ForwardedFor(const Fields& fields) {
  std::string joined;
  for (const auto& field : fields) {
    const beast::string_view name = field.name_string();
    if (!EqualsNoCase(std::string_view(name.data(), name.size()), "X-Forwarded-For")) continue;
    if (!joined.empty()) joined += ", ";
    joined += std::string_view(field.value().data(), field.value().size());
  }
  return joined;
}

// The connection's read buffer as the head's parser takes from it. Beast silently joins a field
// line that begins with a space or a tab (an obsolete fold) to the field before it, so a folded
// Content-Length or Cookie would mean one thing here and another to a proxy in front that does
// not fold; the bytes the parser takes of a head pass through consume(), which notices the fold.
class HeadBuffer {
 public:
  using const_buffers_type = beast::flat_buffer::const_buffers_type;
  using mutable_buffers_type = beast::flat_buffer::mutable_buffers_type;

  explicit HeadBuffer(beast::flat_buffer& buffer) : buffer_(buffer) {}

  // Before a new head: its request line comes first.
  void Reset() {
    line_start_ = false;
    folded_ = false;
  }
  bool folded() const { return folded_; }

  size_t size() const { return buffer_.size(); }
  size_t max_size() const { return buffer_.max_size(); }
  size_t capacity() const { return buffer_.capacity(); }
  const_buffers_type data() const { return buffer_.data(); }
  mutable_buffers_type prepare(size_t n) { return buffer_.prepare(n); }
  void commit(size_t n) { buffer_.commit(n); }
  void consume(size_t n) {
    std::string_view taken(static_cast<const char*>(buffer_.data().data()),
                           std::min(n, buffer_.size()));
    if (!taken.empty()) {
      auto blank = [](char c) { return c == ' ' || c == '\t'; };
      if (line_start_ && blank(taken.front())) folded_ = true;
      for (size_t at = taken.find('\n'); at != std::string_view::npos && !folded_;
           at = taken.find('\n', at + 1)) {
        folded_ = at + 1 < taken.size() && blank(taken[at + 1]);
      }
      line_start_ = taken.back() == '\n';
    }
    buffer_.consume(n);
  }

 private:
  beast::flat_buffer& buffer_;
  bool line_start_ = false;  // the last byte taken ended a line
  bool folded_ = false;
};

// A request names its host once, and an HTTP/1.1 one must name it.
template <class Request>
bool NamesItsHost(const Request& req) {
  const size_t hosts = req.count(http::field::host);
  return hosts == 1 || (hosts == 0 && req.version() < 11);
}

// A request that does not parse (rather than a stream closed or cut short).
bool IsParseError(const beast::error_code& ec);
// The answer to a chunked body whose unparsed rest filled what it may take: 431 when it is the
// trailer after the last chunk (a chunk size of zeros), else 400 (a chunk line too long).
int PendingChunkedOverflowStatus(const beast::flat_buffer& buffer);
// The length of the request line at the front of what was received (all of it when no line
// end has come yet).
size_t StartLineLength(const beast::flat_buffer& buffer);

}  // namespace host
}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_HTTP_PARSING_H_
