// RegExp: the regular-expression object the pages use (Pattern, IgnoreCase, Global, Test,
// Execute, Replace, and per match Value, FirstIndex, Length, SubMatches), over PCRE2.
//
// Dialect (the scripting engine's): "." matches any character but a line feed; "^" and "$" are
// the start and the very end of the text; \s \w \d \b are ASCII only, while the text and pattern
// are UTF-8 and every other construct works on whole characters. Replacement texts understand
// $1..$99, $& (the match), $` (text before it), $' (text after it) and $$ (a "$"); a "$" in any
// other place, or naming a group the pattern does not have, stays as typed.
//
// Positions: FirstIndex and Length count characters (UTF-8 code points), so they go with the
// character-based Mid/Left/Len of page code. A stray byte that is not UTF-8 counts as one
// character and is matched as U+001A would be (by ".", [^...], \W, but by nothing literal).
// ByteIndex and ByteLength give the same span in bytes for C++ callers that slice std::string.
//
// Global off: Execute and Replace stop at the first match. Global on: every match, left to
// right; after an empty match the search resumes one character further on.
//
// Ownership and threading: a RegExp is a small value owned by the code that made it and used
// from one thread at a time; compiled patterns behind it are cached and shared process-wide
// (pattern_cache.h). Failure: an invalid pattern throws RegexSyntaxError when the object is
// first used with it; a match that passes the backtracking limit throws RegexLimitError instead
// of holding the worker.
#ifndef FOLIREX_PLATFORM_REGEX_REGEXP_H_
#define FOLIREX_PLATFORM_REGEX_REGEXP_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/regex/regex_error.h"

namespace folirex {

class CompiledPattern;

// One match, as Execute reports it.
struct RegexMatch {
  std::string Value;
  int64_t FirstIndex = 0;  // characters before the match
  int64_t Length = 0;      // characters in the match
  // Group 1 first; a group that took no part in the match is "".
  std::vector<std::string> SubMatches;
  size_t ByteIndex = 0;
  size_t ByteLength = 0;
};

// A match seen during RegExp::Scan; views into the scanned text, valid during the callback only.
class RegexMatchRef {
 public:
  RegexMatchRef(std::string_view subject, const size_t* ovector, size_t group_count)
      : subject_(subject), ovector_(ovector), group_count_(group_count) {}

  size_t ByteIndex() const { return ovector_[0]; }
  size_t ByteLength() const { return ovector_[1] - ovector_[0]; }
  std::string_view Value() const { return subject_.substr(ByteIndex(), ByteLength()); }
  // Number of groups of the pattern, matched or not.
  size_t SubMatchCount() const { return group_count_; }
  // Group i + 1 (i counts from 0 like SubMatches); "" when it took no part in the match.
  std::string_view SubMatch(size_t i) const;
  bool SubMatchMatched(size_t i) const;

 private:
  std::string_view subject_;
  const size_t* ovector_;
  size_t group_count_;
};

class RegExp {
 public:
  RegExp() = default;
  explicit RegExp(std::string pattern, bool ignore_case = false, bool global = false)
      : Pattern(std::move(pattern)), IgnoreCase(ignore_case), Global(global) {}

  std::string Pattern;
  bool IgnoreCase = false;
  bool Global = false;

  // True when the pattern matches anywhere in the text (Global makes no difference).
  bool Test(std::string_view subject) const;
  // The first match, or every match when Global is set, in order of position.
  std::vector<RegexMatch> Execute(std::string_view subject) const;
  // The text with the first match (every match when Global is set) replaced by the expanded
  // replacement text.
  std::string Replace(std::string_view subject, std::string_view replacement) const;

  // Calls on_match for the first match (every match when Global is set) in order of position;
  // stops early when on_match returns false. For callers that need no copies of the matches.
  void Scan(std::string_view subject,
            const std::function<bool(const RegexMatchRef&)>& on_match) const;

  // Number of capturing groups of the pattern. Throws RegexSyntaxError for an invalid pattern.
  size_t GroupCount() const;

 private:
  const CompiledPattern& Compiled() const;

  // The compiled form of the last Pattern/IgnoreCase used, so a RegExp used in a loop goes to
  // the shared cache once.
  mutable std::shared_ptr<const CompiledPattern> compiled_;
  mutable std::string compiled_pattern_;
  mutable bool compiled_ignore_case_ = false;
};

// The literal text as a pattern that matches exactly that text: every character with a meaning
// in patterns (the backslash and ^ $ . | ? * + ( ) [ ] { }) gets a backslash.
std::string RegexEscape(std::string_view literal);

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_REGEX_REGEXP_H_
