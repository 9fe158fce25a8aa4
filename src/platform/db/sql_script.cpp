#include "platform/db/sql_script.h"

namespace folirex {

namespace {

bool IsTagStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsTagChar(char c) { return IsTagStart(c) || (c >= '0' && c <= '9'); }
bool IsNameChar(char c) {
  return IsTagChar(c) || c == '$' || static_cast<unsigned char>(c) >= 0x80;
}
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

std::string Trimmed(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// At s[i] == '$': the length of a dollar-quote opener ("$$" or "$tag$"), or 0 when it is not one
// (a "$1" placeholder, a "$" inside a name).
size_t DollarTag(std::string_view s, size_t i) {
  if (i > 0 && IsNameChar(s[i - 1])) return 0;
  size_t j = i + 1;
  if (j < s.size() && IsTagStart(s[j])) {
    while (j < s.size() && IsTagChar(s[j])) ++j;
  }
  if (j < s.size() && s[j] == '$') return j - i + 1;
  return 0;
}

}  // namespace

std::vector<std::string> SplitSqlScript(std::string_view script) {
  std::vector<std::string> statements;
  std::string current;
  size_t line = 1;
  auto fail = [&line](const char* what) {
    throw DbError(std::string("SQL script: unterminated ") + what + " starting on line " +
                  std::to_string(line));
  };
  auto count_lines = [&line](std::string_view part) {
    for (char c : part) line += c == '\n';
  };
  size_t i = 0;
  while (i < script.size()) {
    const char c = script[i];
    if (c == '\'' || c == '"') {
      // A literal or a quoted name; a doubled quote stands for one.
      size_t j = i + 1;
      for (;;) {
        if (j >= script.size()) fail(c == '\'' ? "string literal" : "quoted name");
        if (script[j] == c) {
          if (j + 1 < script.size() && script[j + 1] == c) {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      current.append(script.substr(i, j + 1 - i));
      count_lines(script.substr(i, j + 1 - i));
      i = j + 1;
    } else if (c == '-' && i + 1 < script.size() && script[i + 1] == '-') {
      size_t end = script.find('\n', i);
      i = end == std::string_view::npos ? script.size() : end;
      current.push_back(' ');
    } else if (c == '/' && i + 1 < script.size() && script[i + 1] == '*') {
      size_t end = script.find("*/", i + 2);
      if (end == std::string_view::npos) fail("comment");
      count_lines(script.substr(i, end + 2 - i));
      i = end + 2;
      current.push_back(' ');
    } else if (c == '$' && DollarTag(script, i) > 0) {
      const size_t tag_length = DollarTag(script, i);
      const std::string_view tag = script.substr(i, tag_length);
      size_t end = script.find(tag, i + tag_length);
      if (end == std::string_view::npos) fail("dollar-quoted body");
      current.append(script.substr(i, end + tag_length - i));
      count_lines(script.substr(i, end + tag_length - i));
      i = end + tag_length;
    } else if (c == ';') {
      std::string statement = Trimmed(current);
      if (!statement.empty()) statements.push_back(std::move(statement));
      current.clear();
      ++i;
    } else {
      line += c == '\n';
      current.push_back(c);
      ++i;
    }
  }
  std::string statement = Trimmed(current);
  if (!statement.empty()) statements.push_back(std::move(statement));
  return statements;
}

}  // namespace folirex
