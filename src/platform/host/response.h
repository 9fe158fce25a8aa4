// Response: the buffered answer of one page. Pages write UTF-8 text; the host converts the
// whole body to code page 936 once, when it sends it (a character outside the code page becomes
// "&#N;"). The content type is "text/html; charset=gb2312" unless a page sets another.
//
// End() and Redirect() unwind the page by throwing ResponseEnd, which the entry catches; what
// was buffered (nothing, after a redirect) is what the browser gets. A Response belongs to the
// worker serving the request; it is not thread-safe.
//
// What the body holds counts while the page builds it: before the body grows, the charge the
// host set (SetCharge) is told what it will hold; when the charge refuses, the body is dropped,
// the page ends (ResponseEnd) and refused() tells the host to answer 503; what the page writes
// after that is dropped too.
#ifndef FOLIREX_PLATFORM_HOST_RESPONSE_H_
#define FOLIREX_PLATFORM_HOST_RESPONSE_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/db/variant.h"

namespace folirex {

// Thrown by Response::End and Response::Redirect; caught by the page entry and the host.
struct ResponseEnd {};

// Where a Response reports what its body is about to hold.
class ResponseCharge {
 public:
  virtual ~ResponseCharge() = default;
  // The body is to hold `bytes` in all (more than it held); false refuses it.
  virtual bool Grow(size_t bytes) = 0;
};

class Response {
 public:
  void Write(std::string_view text);
  // The same for a whole page: taken as the body, not copied, when nothing is buffered yet.
  void WritePage(std::string page);
  // What the page holds besides its body while it builds it (a long text it read, and the page
  // it makes of it): counted with the body from now on, the most asked at once (a page that
  // reads one long text after another holds one at a time), and refused as the body's growth is.
  void Reserve(size_t bytes);
  // Discards the buffered body.
  void Clear();
  // 302 with the Location exactly as given; drops the buffered body and ends the page.
  [[noreturn]] void Redirect(std::string_view location);
  // Sends what is buffered and ends the page.
  [[noreturn]] void End();

  // The no-cache members: minutes from now (0 or less: already expired), an absolute expiry,
  // and the Cache-Control value ("no-cache", "private", ...).
  void SetExpires(int minutes);
  void SetExpiresAbsolute(const DateTime& when);
  void SetCacheControl(std::string_view value);

  void SetStatus(int code) { status_ = code; }
  void SetContentType(std::string_view content_type) { content_type_ = content_type; }
  // Header names and values lose any CR, LF and NUL, so no value can start a header of its own.
  void AddHeader(std::string_view name, std::string_view value);
  // As AddHeader, replacing any header of that name (letter case ignored).
  void SetHeader(std::string_view name, std::string_view value);
  // A cookie for the whole site (path=/); the value is URL-encoded as code page 936 bytes, the
  // form Request.Cookies decodes. Setting the same name again replaces the earlier value.
  void SetCookie(std::string_view name, std::string_view value, bool http_only = false);

  // What the host sends.
  int status() const { return status_; }
  const std::string& body() const { return body_; }  // UTF-8, converted when sent
  const std::string& content_type() const { return content_type_; }
  const std::vector<std::pair<std::string, std::string>>& headers() const { return headers_; }
  bool ended() const { return ended_; }
  // The charge told of the body's growth; it must outlive the page's writes. Null: none.
  void SetCharge(ResponseCharge* charge) { charge_ = charge; }
  // The charge refused what the body was to hold.
  bool refused() const { return refused_; }

 private:
  // Tells the charge the body is to hold `bytes` in all; refused, drops the body and ends the
  // page.
  void Charge(size_t bytes);

  int status_ = 200;
  std::string body_;
  std::string content_type_ = "text/html; charset=gb2312";
  std::vector<std::pair<std::string, std::string>> headers_;
  bool ended_ = false;
  bool refused_ = false;
  size_t reserved_ = 0;
  ResponseCharge* charge_ = nullptr;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_RESPONSE_H_
