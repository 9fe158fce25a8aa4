#include "platform/host/response.h"

#include <algorithm>
#include <ctime>

#include "platform/host/host_text.h"
#include "platform/text/codepage.h"

namespace folirex {

void Response::Write(std::string_view text) {
  // Once the page has ended, nothing more reaches the browser.
  if (ended_) return;
  const size_t needed = body_.size() + text.size();
  if (needed > body_.capacity()) {
    const size_t grown = std::max(needed, 2 * body_.capacity());
    Charge(grown + reserved_);
    body_.reserve(grown);
  }
  body_.append(text);
}

void Response::WritePage(std::string page) {
  if (ended_) return;
  if (!body_.empty()) {
    Write(page);
    return;
  }
  if (page.capacity() > body_.capacity()) Charge(page.capacity() + reserved_);
  body_ = std::move(page);
}

void Response::Reserve(size_t bytes) {
  if (ended_ || bytes <= reserved_) return;
  reserved_ = bytes;
  Charge(body_.capacity() + reserved_);
}

void Response::Charge(size_t bytes) {
  if (charge_ != nullptr && !charge_->Grow(bytes)) {
    // What was built goes at once: the page is answered 503 without it.
    std::string().swap(body_);
    refused_ = true;
    ended_ = true;
    throw ResponseEnd{};
  }
}

void Response::Clear() { body_.clear(); }

void Response::Redirect(std::string_view location) {
  body_.clear();
  status_ = 302;
  SetHeader("Location", location);
  ended_ = true;
  throw ResponseEnd{};
}

void Response::End() {
  ended_ = true;
  throw ResponseEnd{};
}

void Response::SetExpires(int minutes) {
  std::time_t when = std::time(nullptr) + static_cast<std::time_t>(minutes) * 60;
  SetHeader("Expires", host::HttpDate(when));
}

void Response::SetExpiresAbsolute(const DateTime& when) {
  std::tm tm{};
  tm.tm_year = when.year - 1900;
  tm.tm_mon = when.month - 1;
  tm.tm_mday = when.day;
  tm.tm_hour = when.hour;
  tm.tm_min = when.minute;
  tm.tm_sec = when.second;
  tm.tm_isdst = -1;  // the date is the server's local time
  std::time_t t = std::mktime(&tm);
  if (t == static_cast<std::time_t>(-1)) t = 0;
  SetHeader("Expires", host::HttpDate(t));
}

void Response::SetCacheControl(std::string_view value) { SetHeader("Cache-Control", value); }

void Response::AddHeader(std::string_view name, std::string_view value) {
  headers_.emplace_back(host::HeaderSafe(name), host::HeaderSafe(value));
}

void Response::SetHeader(std::string_view name, std::string_view value) {
  std::erase_if(headers_, [name](const auto& h) { return host::EqualsNoCase(h.first, name); });
  AddHeader(name, value);
}

void Response::SetCookie(std::string_view name, std::string_view value, bool http_only) {
  std::string clean_name;
  for (char c : name) {
    if (c != ';' && c != '=' && c != ',' && c != ' ' && c != '\t' && c != '\r' && c != '\n' &&
        c != '\0') {
      clean_name.push_back(c);
    }
  }
  if (clean_name.empty()) return;
  std::string cookie = clean_name + "=" +
                       host::FormUrlEncodeBytes(Utf8ToGbk(value, Unmappable::kCharRef)) +
                       "; path=/";
  if (http_only) cookie += "; HttpOnly";
  // A later value for the same cookie replaces the earlier one, as one page sets it once.
  std::string prefix = clean_name + "=";
  std::erase_if(headers_, [&prefix](const auto& h) {
    return host::EqualsNoCase(h.first, "Set-Cookie") && h.second.starts_with(prefix);
  });
  headers_.emplace_back("Set-Cookie", std::move(cookie));
}

}  // namespace folirex
