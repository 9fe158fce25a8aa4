#include "core/text_helpers.h"

#include <cstdio>
#include <string_view>

#include "platform/regex/regexp.h"
#include "platform/text/codepage.h"
#include "platform/text/vb_text.h"
namespace folirex {
namespace {

std::string TwoDigits(int value) {
  std::string out = std::to_string(value);
  if (value >= 0 && value < 10) out.insert(out.begin(), '0');
  return out;
}

}  // namespace

std::string FormatDate(const Variant& date, const Variant& style) {
  if (!date.IsDate()) return {};
  DateTime d;
  try {
    d = date.CDate();
  } catch (const VariantError&) {
    return {};
  }
  std::string y = std::to_string(d.year);
  std::string m = TwoDigits(d.month);
  std::string day = TwoDigits(d.day);
  std::string h = TwoDigits(d.hour);
  std::string n = TwoDigits(d.minute);
  std::string s = TwoDigits(d.second);
  if (style.Equals(Variant(1))) return y + "-" + m + "-" + day + " " + h + ":" + n + ":" + s;
  if (style.Equals(Variant(2))) return y + "-" + m + "-" + day;
  if (style.Equals(Variant(3))) return h + ":" + n + ":" + s;
  if (style.Equals(Variant(4))) return y + "年" + m + "月" + day + "日";
  if (style.Equals(Variant(5))) return y + "年" + m + "月" + day + "日 " + h + ":" + n + ":" + s;
  if (style.Equals(Variant(6))) return m + "月" + day + "日 ";
  if (style.Equals(Variant(7))) return m + "-" + day;
  if (style.Equals(Variant(10))) return y + m + day + h + n + s;
  if (style.Equals(Variant(11))) return y + m;
  return {};
}

int64_t StrLength(const Variant& text) {
  std::string s = text.ToString();
  int64_t length = 0;
  size_t pos = 0;
  while (pos < s.size()) length += GbkDisplayWidth(NextCodePoint(s, &pos));
  return length;
}

std::string CutStr(const Variant& text, const Variant& width) {
  std::string s = text.ToString();
  int64_t limit = width.ToInt64();
  if (StrLength(s) <= limit) return s;
  // Dropping the last character until the rest fits width - 3 keeps the longest prefix that
  // fits; found in one walk instead of measuring the whole rest after every drop.
  int64_t room = limit - 3;
  int64_t used = 0;
  size_t keep = 0;
  size_t pos = 0;
  while (pos < s.size()) {
    size_t next = pos;
    used += GbkDisplayWidth(NextCodePoint(s, &next));
    if (used > room) break;
    keep = next;
    pos = next;
  }
  return s.substr(0, keep) + "...";
}

std::string HTMLEncode(const Variant& text) {
  return HtmlEscapeText(text.ToString(), LineFeeds::kBreak);
}

bool IsDigits(const Variant& value) {
  if (value.IsNull()) return false;
  std::string s = value.ToString();
  if (Trim(s).empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return !(s[0] == '0' && s.size() > 1);
}

std::string SqlQuote(std::string_view text) { return Replace(text, "'", "''"); }

std::string FilterSql(const Variant& value) {
  std::string s = value.ToString();
  std::string trimmed = Trim(s);
  std::string out;
  out.reserve(trimmed.size());
  for (char c : trimmed) {
    if (c != '\'' && c != '"' && c != ';') out.push_back(c);
  }
  return out;
}

std::string HighlightKeyword(const Variant& text, const Variant& keyword) {
  std::string s = text.ToString();
  std::string word = keyword.ToString();
  if (word.empty()) return s;
  // The search word is matched as typed: a visitor searching for "[" or "a.b" gets that text
  // marked, not a pattern error or other words.
  RegExp re("(" + RegexEscape(word) + ")", /*ignore_case=*/true, /*global=*/true);
  return re.Replace(s, "<font color=red>$1</font>");
}

bool IsValidEmail(const Variant& text) {
  std::string s = text.ToString();
  size_t at = s.find('@');
  if (at == std::string::npos || s.find('@', at + 1) != std::string::npos) return false;
  std::string_view parts[2] = {std::string_view(s).substr(0, at),
                               std::string_view(s).substr(at + 1)};
  for (std::string_view part : parts) {
    if (part.empty()) return false;
    for (char c : part) {
      char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
      bool ok = (lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9') || lower == '_' ||
                lower == '-' || lower == '.';
      if (!ok) return false;
    }
    if (part.front() == '.' || part.back() == '.') return false;
  }
  std::string_view domain = parts[1];
  size_t dot = domain.rfind('.');
  if (dot == std::string_view::npos) return false;
  size_t tail = domain.size() - dot - 1;
  if (tail < 2 || tail > 3) return false;
  return s.find("..") == std::string::npos;
}

std::string CheckMark(const Variant& flag) {
  return flag.Equals(Variant(true)) ? "√" : "<font color=red>×</font>";
}

std::string FileExtName(const Variant& code) {
  if (code.Equals(Variant("0"))) return ".html";
  if (code.Equals(Variant("1"))) return ".htm";
  if (code.Equals(Variant("2"))) return ".shtml";
  if (code.Equals(Variant("3"))) return ".shtm";
  if (code.Equals(Variant("4"))) return ".asp";
  return ".html";
}

std::string LogText(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t start = pos;
    unsigned char byte = static_cast<unsigned char>(text[pos]);
    char32_t c = NextCodePoint(text, &pos);
    bool invalid = c == 0xFFFD && !(text.substr(start, pos - start) == "\xEF\xBF\xBD");
    if (byte < 0x80 && (byte < 0x20 || byte == 0x7F || byte == '\\' || byte == '"')) {
      out += "\\x";
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    } else if (invalid) {
      for (size_t i = start; i < pos; ++i) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        out += "\\x";
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 15]);
      }
    } else if ((c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
               (c >= 0x200E && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
               (c >= 0x2066 && c <= 0x2069)) {
      char code[16];
      std::snprintf(code, sizeof code, "\\u{%x}", static_cast<unsigned>(c));
      out += code;
    } else {
      out.append(text.substr(start, pos - start));
    }
  }
  return out;
}

// One line on the server's log (standard error) for every failed sign-in.

}  // namespace folirex
