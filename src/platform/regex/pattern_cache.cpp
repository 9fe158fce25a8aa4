#include "platform/regex/pattern_cache.h"

#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>

#include "platform/regex/regex_error.h"

namespace folirex {
namespace {

// Enough for every template label pattern, chip pattern and collection rule of a busy site;
// visitors' search words are what push past it.
constexpr size_t kMaxCachedPatterns = 1024;

constexpr uint32_t kCompileOptions =
    // UTF-8. Not PCRE2_MATCH_INVALID_UTF: with it, PCRE2 10.42's JIT stops matching \W \D \S
    // on characters above U+00FF; RegExp cleans the subject of bad bytes instead.
    PCRE2_UTF                    //
    | PCRE2_DOLLAR_ENDONLY       // "$" is the end of the text, not before a final "\n"
    | PCRE2_ALLOW_EMPTY_CLASS    // "[]" and "[^]" as the scripting engine reads them
    | PCRE2_ALT_BSUX             // \uhhhh, \xhh; \U is a plain "U"
    | PCRE2_MATCH_UNSET_BACKREF  // \1 before group 1 has matched matches ""
    | PCRE2_NEVER_BACKSLASH_C;   // \C would split a UTF-8 character

std::string ErrorText(int code) {
  PCRE2_UCHAR buffer[256];
  int rc = pcre2_get_error_message(code, buffer, sizeof(buffer));
  if (rc < 0) return "error " + std::to_string(code);
  return std::string(reinterpret_cast<const char*>(buffer));
}

struct CompileContextDeleter {
  void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};

class Cache {
 public:
  std::shared_ptr<const CompiledPattern> Get(std::string_view pattern, bool ignore_case) {
    std::string key;
    key.reserve(pattern.size() + 1);
    key.push_back(ignore_case ? 'i' : 'c');
    key.append(pattern);
    {
      std::shared_lock lock(mutex_);
      auto it = entries_.find(key);
      if (it != entries_.end()) return it->second;
    }
    // Compiled outside the lock: a slow JIT compile must not stall other pages. Two threads
    // compiling the same new pattern both succeed; the first one stored wins.
    auto compiled = std::make_shared<const CompiledPattern>(pattern, ignore_case);
    std::unique_lock lock(mutex_);
    if (entries_.size() >= kMaxCachedPatterns) entries_.clear();
    auto [it, inserted] = entries_.emplace(std::move(key), std::move(compiled));
    return it->second;
  }

  size_t Size() {
    std::shared_lock lock(mutex_);
    return entries_.size();
  }

 private:
  std::shared_mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<const CompiledPattern>> entries_;
};

Cache& TheCache() {
  static Cache* cache = new Cache();  // never destroyed: pages may still run during exit
  return *cache;
}

}  // namespace

CompiledPattern::CompiledPattern(std::string_view pattern, bool ignore_case) {
  std::unique_ptr<pcre2_compile_context, CompileContextDeleter> context(
      pcre2_compile_context_create(nullptr));
  if (!context) throw RegexError("out of memory compiling a regular expression");
  // "." and the line anchors treat only the line feed as the end of a line.
  pcre2_set_newline(context.get(), PCRE2_NEWLINE_LF);

  int error_code = 0;
  PCRE2_SIZE error_offset = 0;
  code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                        kCompileOptions | (ignore_case ? PCRE2_CASELESS : 0u), &error_code,
                        &error_offset, context.get());
  if (code_ == nullptr) {
    // A pattern built from data can be long: the message quotes its start only.
    constexpr size_t kQuoted = 200;
    std::string quoted(pattern.substr(0, kQuoted));
    if (pattern.size() > kQuoted) quoted += "...";
    throw RegexSyntaxError("invalid regular expression \"" + quoted + "\" at offset " +
                               std::to_string(error_offset) + ": " + ErrorText(error_code),
                           error_offset);
  }
  pcre2_pattern_info(code_, PCRE2_INFO_CAPTURECOUNT, &capture_count_);
  // Without JIT support (or for a pattern the JIT refuses) the interpreter runs the same pattern.
  jit_compiled_ = pcre2_jit_compile(code_, PCRE2_JIT_COMPLETE) == 0;
}

CompiledPattern::~CompiledPattern() { pcre2_code_free(code_); }

std::shared_ptr<const CompiledPattern> GetCompiledPattern(std::string_view pattern,
                                                          bool ignore_case) {
  return TheCache().Get(pattern, ignore_case);
}

size_t CompiledPatternCacheSize() { return TheCache().Size(); }

}  // namespace folirex
