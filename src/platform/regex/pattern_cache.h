// Compiled regular expressions, shared process-wide. The template engine and the list renderers
// run the same few patterns over every page, so each pattern (with its ignore-case flag) is
// compiled once, JIT-compiled where the platform allows it, and kept.
//
// Compilation follows the scripting engine's dialect: the subject and pattern are UTF-8; "."
// does not match a line feed; "$" matches only at the very end; \s \w \d \b are ASCII only;
// "[]" is an empty class and "[^]" any character; \uhhhh and \xhh escapes; a back reference to a
// group that has not matched matches the empty text.
//
// Thread safety: GetCompiledPattern may be called from any thread. A CompiledPattern is
// immutable after construction and may be matched from several threads at once; the cache hands
// out shared ownership, so a pattern dropped from the cache lives on while someone holds it.
// Failure: an invalid pattern throws RegexSyntaxError (and is not cached).
#ifndef FOLIREX_PLATFORM_REGEX_PATTERN_CACHE_H_
#define FOLIREX_PLATFORM_REGEX_PATTERN_CACHE_H_

#ifndef PCRE2_CODE_UNIT_WIDTH
#define PCRE2_CODE_UNIT_WIDTH 8
#endif
#include <pcre2.h>

#include <cstdint>
#include <memory>
#include <string_view>

namespace folirex {

class CompiledPattern {
 public:
  // Compiles the pattern; throws RegexSyntaxError when it is not valid.
  CompiledPattern(std::string_view pattern, bool ignore_case);
  ~CompiledPattern();
  CompiledPattern(const CompiledPattern&) = delete;
  CompiledPattern& operator=(const CompiledPattern&) = delete;

  const pcre2_code* code() const { return code_; }
  // Number of capturing groups in the pattern.
  uint32_t capture_count() const { return capture_count_; }
  // Whether the JIT compiler accepted the pattern (matching works either way).
  bool jit_compiled() const { return jit_compiled_; }

 private:
  pcre2_code* code_ = nullptr;
  uint32_t capture_count_ = 0;
  bool jit_compiled_ = false;
};

// The compiled form of (pattern, ignore_case), from the cache or compiled now. The cache holds a
// bounded number of patterns (pages build some patterns from visitors' search words); when full
// it starts afresh.
std::shared_ptr<const CompiledPattern> GetCompiledPattern(std::string_view pattern,
                                                          bool ignore_case);

// Number of patterns held by the cache now (for tests and diagnostics).
size_t CompiledPatternCacheSize();

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_REGEX_PATTERN_CACHE_H_
