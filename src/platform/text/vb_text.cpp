#include "platform/text/vb_text.h"

#include "platform/text/codepage.h"

namespace folirex {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Byte offset of the character_index-th character (0-based), or text.size().
size_t ByteOffset(std::string_view text, size_t character_index) {
  size_t pos = 0;
  for (size_t i = 0; i < character_index && pos < text.size(); ++i) NextCodePoint(text, &pos);
  return pos;
}

}  // namespace

std::string LTrim(std::string_view text) {
  size_t b = text.find_first_not_of(' ');
  return b == std::string_view::npos ? "" : std::string(text.substr(b));
}

std::string RTrim(std::string_view text) {
  size_t e = text.find_last_not_of(' ');
  return e == std::string_view::npos ? "" : std::string(text.substr(0, e + 1));
}

std::string Trim(std::string_view text) { return LTrim(RTrim(text)); }

std::string LCase(std::string_view text) {
  std::string s(text);
  for (char& c : s) c = Lower(c);
  return s;
}

std::string UCase(std::string_view text) {
  std::string s(text);
  for (char& c : s) c = Upper(c);
  return s;
}

size_t Len(std::string_view text) {
  size_t n = 0;
  for (size_t pos = 0; pos < text.size(); ++n) NextCodePoint(text, &pos);
  return n;
}

std::string Left(std::string_view text, size_t count) {
  return std::string(text.substr(0, ByteOffset(text, count)));
}

std::string Mid(std::string_view text, size_t start, size_t count) {
  if (start < 1) start = 1;
  size_t b = ByteOffset(text, start - 1);
  std::string_view rest = text.substr(b);
  if (count == std::string_view::npos) return std::string(rest);
  return std::string(rest.substr(0, ByteOffset(rest, count)));
}

std::string Replace(std::string_view text, std::string_view find, std::string_view with) {
  if (find.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t start = 0;
  for (size_t at; (at = text.find(find, start)) != std::string_view::npos;
       start = at + find.size()) {
    out.append(text.substr(start, at - start));
    out.append(with);
  }
  out.append(text.substr(start));
  return out;
}

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string> parts;
  if (separator.empty()) {
    parts.emplace_back(text);
    return parts;
  }
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string_view::npos;
       start = at + separator.size()) {
    parts.emplace_back(text.substr(start, at - start));
  }
  parts.emplace_back(text.substr(start));
  return parts;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

}  // namespace folirex
