// Request: the values of one HTTP request as the pages read them: QueryString, Form, Cookies,
// ServerVariables and the combined Request(key) (query string, then form, cookies, server
// variables; the first collection that has the key wins).
//
// Keys are matched without regard to case. A key given several times answers its values joined
// by ", "; the *Values calls give them one by one. Values are decoded from code page 936 to
// UTF-8 and a missing value is empty text. A multipart/form-data body is not parsed into Form:
// it is read raw through TotalBytes and BinaryRead.
//
// A GB2312 page's browser sends a character outside code page 936 as a numeric character
// reference ("&#128512;"). In query and form values a well-formed decimal or hexadecimal
// reference to such a character (a Unicode scalar value that is not a control or a line or
// paragraph separator) is decoded into the character; any other reference ("&#60;", "&#0;",
// "&#xD800;", one without its ";") stays as the text it is, so it is shown as sent.
//
// A Request belongs to the worker that serves the request; it is not thread-safe.
#ifndef FOLIREX_PLATFORM_HOST_REQUEST_H_
#define FOLIREX_PLATFORM_HOST_REQUEST_H_

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace folirex {

// A form body holds at most this many fields: the host answers a longer one 413 before a page
// runs, and parsing a body costs about twice its size.
inline constexpr size_t kMaxFormFields = 1000;

// What the host hands over to build a Request: the request as it came off the wire.
struct RawRequest {
  std::string method;   // "GET", "POST", ...
  std::string version;  // "HTTP/1.1"
  std::string path;     // decoded path as UTF-8, "/" separated, beginning with "/"
  std::string query;    // raw query string without "?", still percent-encoded
  std::string body;     // raw body bytes
  std::vector<std::pair<std::string, std::string>> headers;  // names as sent
  std::string remote_addr;
  int remote_port = 0;
  std::string local_addr;
  int local_port = 0;
};

class Request {
 public:
  Request() = default;
  explicit Request(RawRequest raw);

  std::string QueryString(std::string_view key) const;
  std::vector<std::string> QueryStringValues(std::string_view key) const;
  std::string Form(std::string_view key) const;
  std::vector<std::string> FormValues(std::string_view key) const;
  // A cookie sent twice under one name gives the first value the browser sent.
  std::string Cookies(std::string_view key) const;
  // REQUEST_METHOD, QUERY_STRING (raw), SCRIPT_NAME, PATH_INFO and URL (the path), HTTP_HOST,
  // SERVER_NAME (the Host header without its port, else the local address), SERVER_PORT,
  // SERVER_PROTOCOL, SERVER_SOFTWARE ("Folirex"), REMOTE_ADDR, REMOTE_HOST (the address; no name
  // look-up), REMOTE_PORT, LOCAL_ADDR, CONTENT_TYPE, CONTENT_LENGTH, HTTP_<HEADER> for every
  // header (upper case, dashes as underscores; repeated headers joined by ", "), ALL_HTTP,
  // NUMBER_OF_PROCESSORS and OS (the server check shows them). Unknown names give empty text.
  std::string ServerVariables(std::string_view key) const;
  // The combined collection.
  std::string operator()(std::string_view key) const;

  // True when a query, form or cookie name or value holds a NUL character (sent as %00), which
  // no page takes: the entries answer their parameter message.
  bool HasNul() const;

  const std::string& Method() const { return raw_.method; }
  const std::string& Path() const { return raw_.path; }

  // Size of the body in bytes, and reading it from the start, a part at a time.
  int64_t TotalBytes() const { return static_cast<int64_t>(raw_.body.size()); }
  std::string BinaryRead(int64_t count);
  // The whole body in place, for a reader that must not hold a second copy of a large upload.
  // Valid while the Request lives.
  std::string_view Body() const { return raw_.body; }

 private:
  // Lower-case key and value, sorted by key; the values of one key in the order sent.
  using Collection = std::vector<std::pair<std::string, std::string>>;
  // The pairs of one key.
  static std::pair<Collection::const_iterator, Collection::const_iterator> Find(
      const Collection& c, std::string_view key);
  static std::vector<std::string> Lookup(const Collection& c, std::string_view key);
  static std::string Joined(const Collection& c, std::string_view key, bool* found);
  // The header's values as sent, repeated headers joined by ", ".
  std::string HeaderValue(std::string_view name) const;
  // False when the host has no such variable.
  bool ServerVariable(std::string_view key, std::string* value) const;

  RawRequest raw_;
  Collection query_;
  Collection form_;
  Collection cookies_;
  size_t read_pos_ = 0;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_REQUEST_H_
