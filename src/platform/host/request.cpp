#include "platform/host/request.h"

#include <sys/utsname.h>

#include <algorithm>
#include <thread>

#include "platform/host/host_text.h"
#include "platform/text/codepage.h"

namespace folirex {

namespace {

using host::AsciiLower;
using host::EqualsNoCase;

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

int DigitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The reference beginning at text[at] ("&#"): its code point and the position after its ";".
bool ParseCharRef(std::string_view text, size_t at, char32_t* code_point, size_t* end) {
  size_t i = at + 2;
  bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
  if (hex) ++i;
  size_t first_digit = i;
  uint32_t value = 0;
  for (; i < text.size(); ++i) {
    int digit = DigitValue(text[i], hex);
    if (digit < 0) break;
    value = value * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
    if (value > 0x10FFFF) return false;
  }
  if (i == first_digit || i >= text.size() || text[i] != ';') return false;
  *code_point = value;
  *end = i + 1;
  return true;
}

// A character the browser could only send as a reference: a scalar value outside code page 936
// that is neither a control nor a line or paragraph separator (which break script strings).
bool TakenFromReference(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return false;
  if (c >= 0xD800 && c <= 0xDFFF) return false;
  if (c == 0x2028 || c == 0x2029) return false;
  std::string utf8;
  AppendUtf8(c, &utf8);
  return !IsGbkRepresentable(utf8);
}

std::string WithForeignCharRefsDecoded(std::string text) {
  size_t amp = text.find("&#");
  if (amp == std::string::npos) return text;
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (amp != std::string::npos) {
    out.append(text, pos, amp - pos);
    char32_t c = 0;
    size_t end = 0;
    if (ParseCharRef(text, amp, &c, &end) && TakenFromReference(c)) {
      AppendUtf8(c, &out);
      pos = end;
    } else {
      out += "&#";
      pos = amp + 2;
    }
    amp = text.find("&#", pos);
  }
  out.append(text, pos);
  return out;
}

// Query strings and form bodies: percent-encoded code page 936 bytes, "+" for a space.
void ParseUrlEncodedInto(std::string_view text,
                         std::vector<std::pair<std::string, std::string>>* out) {
  host::ForEachUrlEncoded(text, [out](std::string_view name, std::string_view value) {
    std::string key = GbkToUtf8(host::PercentDecode(name, true));
    if (key.empty()) return;
    out->emplace_back(AsciiLower(key),
                      WithForeignCharRefsDecoded(GbkToUtf8(host::PercentDecode(value, true))));
  });
}

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// "a=1; b=2": the names as sent, values URL-decoded as the host encodes them.
void ParseCookiesInto(std::string_view header,
                      std::vector<std::pair<std::string, std::string>>* out) {
  size_t start = 0;
  while (start <= header.size()) {
    size_t end = header.find(';', start);
    if (end == std::string_view::npos) end = header.size();
    std::string_view item = TrimSpaces(header.substr(start, end - start));
    start = end + 1;
    size_t eq = item.find('=');
    if (item.empty() || eq == 0) continue;
    std::string_view name = item.substr(0, eq == std::string_view::npos ? item.size() : eq);
    std::string_view value =
        eq == std::string_view::npos ? std::string_view() : item.substr(eq + 1);
    value = TrimSpaces(value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    out->emplace_back(AsciiLower(GbkToUtf8(TrimSpaces(name))),
                      GbkToUtf8(host::PercentDecode(value, true)));
  }
}

std::string HeaderVariableName(std::string_view header_name) {
  std::string name = "HTTP_";
  for (char c : header_name) {
    if (c == '-') {
      name.push_back('_');
    } else if (c >= 'a' && c <= 'z') {
      name.push_back(static_cast<char>(c - 'a' + 'A'));
    } else {
      name.push_back(c);
    }
  }
  return name;
}

std::string OperatingSystemName() {
  struct utsname info {};
  if (uname(&info) != 0) return std::string();
  return info.sysname;
}

// Sorted by key, so that a key is found without a pass over every pair; the values of one key
// stay in the order they were sent. The few values of most requests are sorted in place.
void SortByKey(std::vector<std::pair<std::string, std::string>>* c) {
  auto by_key = [](const auto& a, const auto& b) { return a.first < b.first; };
  if (c->size() > 16) return std::stable_sort(c->begin(), c->end(), by_key);
  for (auto it = c->begin(); it != c->end(); ++it) {
    std::rotate(std::upper_bound(c->begin(), it, *it, by_key), it, it + 1);
  }
}

}  // namespace

Request::Request(RawRequest raw) : raw_(std::move(raw)) {
  ParseUrlEncodedInto(raw_.query, &query_);
  if (host::IsFormContentType(HeaderValue("Content-Type"))) ParseUrlEncodedInto(raw_.body, &form_);
  for (const auto& [name, value] : raw_.headers) {
    if (EqualsNoCase(name, "Cookie")) ParseCookiesInto(value, &cookies_);
  }
  for (Collection* c : {&query_, &form_, &cookies_}) SortByKey(c);
}

bool Request::HasNul() const {
  for (const Collection* c : {&query_, &form_, &cookies_}) {
    for (const auto& [name, value] : *c) {
      if (name.find('\0') != std::string::npos || value.find('\0') != std::string::npos) {
        return true;
      }
    }
  }
  return false;
}

std::string Request::HeaderValue(std::string_view name) const {
  std::string joined;
  bool found = false;
  for (const auto& [header, value] : raw_.headers) {
    if (!EqualsNoCase(header, name)) continue;
    if (found) joined += ", ";
    joined += value;
    found = true;
  }
  return joined;
}

std::pair<Request::Collection::const_iterator, Request::Collection::const_iterator> Request::Find(
    const Collection& c, std::string_view key) {
  std::string lower = AsciiLower(key);
  auto begin =
      std::lower_bound(c.begin(), c.end(), lower,
                       [](const auto& pair, const std::string& k) { return pair.first < k; });
  auto end = begin;
  while (end != c.end() && end->first == lower) ++end;
  return {begin, end};
}

std::vector<std::string> Request::Lookup(const Collection& c, std::string_view key) {
  auto [begin, end] = Find(c, key);
  std::vector<std::string> values;
  for (auto it = begin; it != end; ++it) values.push_back(it->second);
  return values;
}

std::string Request::Joined(const Collection& c, std::string_view key, bool* found) {
  auto [begin, end] = Find(c, key);
  if (found != nullptr) *found = begin != end;
  std::string joined;
  for (auto it = begin; it != end; ++it) {
    if (it != begin) joined += ", ";
    joined += it->second;
  }
  return joined;
}

std::string Request::QueryString(std::string_view key) const {
  return Joined(query_, key, nullptr);
}

std::vector<std::string> Request::QueryStringValues(std::string_view key) const {
  return Lookup(query_, key);
}

std::string Request::Form(std::string_view key) const { return Joined(form_, key, nullptr); }

std::vector<std::string> Request::FormValues(std::string_view key) const {
  return Lookup(form_, key);
}

std::string Request::Cookies(std::string_view key) const {
  // A browser sends the most specific cookie first; the first one is the one the site set.
  auto [begin, end] = Find(cookies_, key);
  return begin == end ? std::string() : begin->second;
}

bool Request::ServerVariable(std::string_view key, std::string* value) const {
  std::string name = AsciiLower(key);
  auto set = [value](std::string v) {
    *value = std::move(v);
    return true;
  };
  if (name == "request_method") return set(raw_.method);
  if (name == "query_string") return set(raw_.query);
  if (name == "script_name" || name == "path_info" || name == "url") return set(raw_.path);
  if (name == "server_protocol") return set(raw_.version);
  if (name == "server_software") return set("Folirex");
  if (name == "server_port") return set(std::to_string(raw_.local_port));
  if (name == "remote_addr" || name == "remote_host") return set(raw_.remote_addr);
  if (name == "remote_port") return set(std::to_string(raw_.remote_port));
  if (name == "local_addr") return set(raw_.local_addr);
  if (name == "content_type") return set(GbkToUtf8(HeaderValue("Content-Type")));
  if (name == "content_length") {
    std::string length = HeaderValue("Content-Length");
    return set(length.empty() ? std::to_string(raw_.body.size()) : length);
  }
  if (name == "server_name") {
    std::string host = HeaderValue("Host");
    if (host.empty()) return set(raw_.local_addr);
    // "[::1]:8080" keeps its brackets; "name:8080" loses the port.
    size_t colon = host.rfind(':');
    size_t bracket = host.rfind(']');
    if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
      host.resize(colon);
    }
    return set(GbkToUtf8(host));
  }
  if (name == "all_http") {
    std::string all;
    for (const auto& [header, v] : raw_.headers) {
      all += HeaderVariableName(header) + ":" + GbkToUtf8(v) + "\r\n";
    }
    return set(all);
  }
  if (name == "number_of_processors") {
    return set(std::to_string(std::max(1u, std::thread::hardware_concurrency())));
  }
  if (name == "os") return set(OperatingSystemName());
  if (name.size() > 5 && name.starts_with("http_")) {
    bool found = false;
    std::string joined;
    for (const auto& [header, v] : raw_.headers) {
      if (!EqualsNoCase(HeaderVariableName(header), key)) continue;
      if (found) joined += ", ";
      joined += GbkToUtf8(v);
      found = true;
    }
    if (found) return set(joined);
  }
  return false;
}

std::string Request::ServerVariables(std::string_view key) const {
  std::string value;
  ServerVariable(key, &value);
  return value;
}

std::string Request::operator()(std::string_view key) const {
  bool found = false;
  std::string value = Joined(query_, key, &found);
  if (found) return value;
  value = Joined(form_, key, &found);
  if (found) return value;
  auto [cookie, none] = Find(cookies_, key);
  if (cookie != none) return cookie->second;
  ServerVariable(key, &value);
  return value;
}

std::string Request::BinaryRead(int64_t count) {
  if (count <= 0 || read_pos_ >= raw_.body.size()) return std::string();
  size_t n = std::min(static_cast<size_t>(count), raw_.body.size() - read_pos_);
  std::string out = raw_.body.substr(read_pos_, n);
  read_pos_ += n;
  return out;
}

}  // namespace folirex
