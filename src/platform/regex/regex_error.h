// Errors of the regular-expression object. A page that hands the object a pattern it cannot
// compile, or a pattern/text pair that would backtrack without end, gets one of these instead of
// a wrong answer or a hung worker; the page decides whether to trap it (most do not, and the
// request then ends with the host's error page).
#ifndef FOLIREX_PLATFORM_REGEX_REGEX_ERROR_H_
#define FOLIREX_PLATFORM_REGEX_REGEX_ERROR_H_

#include <cstddef>
#include <stdexcept>
#include <string>

namespace folirex {

// Base of every failure of the regular-expression object.
class RegexError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The pattern is not a valid regular expression. offset() is the byte offset in the pattern
// where the compiler gave up.
class RegexSyntaxError : public RegexError {
 public:
  RegexSyntaxError(const std::string& message, size_t offset)
      : RegexError(message), offset_(offset) {}
  size_t offset() const { return offset_; }

 private:
  size_t offset_;
};

// Matching was abandoned because it passed the match limit (catastrophic backtracking) or ran
// out of the memory set aside for it.
class RegexLimitError : public RegexError {
 public:
  using RegexError::RegexError;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_REGEX_REGEX_ERROR_H_
