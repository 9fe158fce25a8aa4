#include "platform/host/host_text.h"

#include <cstdio>
#include <cstring>

#include "platform/text/codepage.h"
#include "platform/text/header_date.h"

namespace folirex::host {

namespace {

char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerChar(c);
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerChar(a[i]) != LowerChar(b[i])) return false;
  }
  return true;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string PercentDecode(std::string_view text, bool plus_as_space) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%' && i + 2 < text.size()) {
      int hi = HexValue(text[i + 1]);
      int lo = HexValue(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        continue;
      }
    }
    if (c == '+' && plus_as_space) {
      out.push_back(' ');
    } else {
      out.push_back(c);
    }
  }
  return out;
}

size_t CountUrlEncoded(std::string_view text, size_t limit) {
  size_t count = 0;
  size_t start = 0;
  while (start < text.size() && count <= limit) {
    const void* amp = std::memchr(text.data() + start, '&', text.size() - start);
    size_t end = amp == nullptr ? text.size() : static_cast<const char*>(amp) - text.data();
    if (end > start) ++count;
    start = end + 1;
  }
  return count;
}

namespace {

std::string_view MediaType(std::string_view content_type) {
  size_t begin = content_type.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  content_type.remove_prefix(begin);
  return content_type.substr(0, content_type.find_first_of(";, \t"));
}

}  // namespace

bool IsFormContentType(std::string_view content_type) {
  return EqualsNoCase(MediaType(content_type), "application/x-www-form-urlencoded");
}

bool IsMultipartContentType(std::string_view content_type) {
  return StartsWithNoCase(MediaType(content_type), "multipart/");
}

std::string FormUrlEncodeBytes(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char ch : bytes) {
    unsigned char c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_' || c == '.' || c == '*') {
      out.push_back(ch);
    } else if (c == ' ') {
      out.push_back('+');
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

std::string PathBytesToUtf8(std::string_view bytes) {
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t before = pos;
    char32_t cp = NextCodePoint(bytes, &pos);
    // U+FFFD spelled out in the input is valid; a decoding failure advances by one byte only.
    if (cp == 0xFFFD && pos == before + 1) return GbkToUtf8(bytes);
  }
  return std::string(bytes);
}

std::string HeaderSafe(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    if (c != '\r' && c != '\n' && c != '\0') out.push_back(c);
  }
  return out;
}

std::string HttpDate(std::time_t when) { return UtcHeaderDate(when, "GMT"); }

bool ParseHttpDate(std::string_view text, std::time_t* out) {
  char weekday[4] = {};
  char month[4] = {};
  int day = 0, year = 0, hour = 0, minute = 0, second = 0;
  std::string copy(text);
  if (std::sscanf(copy.c_str(), "%3s, %d %3s %d %d:%d:%d GMT", weekday, &day, month, &year, &hour,
                  &minute, &second) != 7) {
    return false;
  }
  const int month_index = MonthOfAbbreviation(month);
  if (month_index < 0 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
    return false;
  }
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month_index;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  *out = timegm(&tm);
  return true;
}

}  // namespace folirex::host
