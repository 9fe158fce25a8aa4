#include "platform/regex/regexp.h"

#include "platform/regex/pattern_cache.h"
#include "platform/text/codepage.h"

namespace folirex {
namespace {

// PCRE2's own default: far above what any sound pattern needs on a page of text, and reached in
// well under a second by a pattern that backtracks exponentially.
constexpr uint32_t kMatchLimit = 10'000'000;
// Backtracking memory of the interpreter, in KiB.
constexpr uint32_t kHeapLimitKiB = 64 * 1024;
constexpr size_t kJitStackStart = 32 * 1024;
constexpr size_t kJitStackMax = 4 * 1024 * 1024;

std::string ErrorText(int code) {
  PCRE2_UCHAR buffer[256];
  int rc = pcre2_get_error_message(code, buffer, sizeof(buffer));
  if (rc < 0) return "error " + std::to_string(code);
  return std::string(reinterpret_cast<const char*>(buffer));
}

// The match context (limits) and JIT stack of the calling thread, made on first use.
class MatchResources {
 public:
  MatchResources() {
    context_ = pcre2_match_context_create(nullptr);
    if (context_ == nullptr) throw RegexError("out of memory for regular expression matching");
    pcre2_set_match_limit(context_, kMatchLimit);
    pcre2_set_heap_limit(context_, kHeapLimitKiB);
    jit_stack_ = pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr);
    // Without a stack of its own the JIT uses a small one on the machine stack.
    if (jit_stack_ != nullptr) pcre2_jit_stack_assign(context_, nullptr, jit_stack_);
  }
  ~MatchResources() {
    pcre2_match_context_free(context_);
    if (jit_stack_ != nullptr) pcre2_jit_stack_free(jit_stack_);
  }
  MatchResources(const MatchResources&) = delete;
  MatchResources& operator=(const MatchResources&) = delete;

  pcre2_match_context* context() { return context_; }

  static MatchResources& ForThisThread() {
    thread_local MatchResources resources;
    return resources;
  }

 private:
  pcre2_match_context* context_ = nullptr;
  pcre2_jit_stack* jit_stack_ = nullptr;
};

struct MatchDataDeleter {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
using MatchData = std::unique_ptr<pcre2_match_data, MatchDataDeleter>;

MatchData NewMatchData(const CompiledPattern& compiled) {
  MatchData data(pcre2_match_data_create_from_pattern(compiled.code(), nullptr));
  if (!data) throw RegexError("out of memory for regular expression matching");
  return data;
}

// The text as PCRE2 matches it, checked for UTF-8 once instead of on every match call: the text
// itself when it is valid, else a copy in which each byte that starts no valid character is
// U+001A (SUBSTITUTE). The copy keeps every byte offset, so matches are read from the original.
class CleanSubject {
 public:
  explicit CleanSubject(std::string_view text) : view_(text) {
    size_t pos = 0;
    while (pos < text.size()) {
      if (static_cast<unsigned char>(text[pos]) < 0x80) {
        ++pos;
        continue;
      }
      size_t next = pos;
      char32_t cp = NextCodePoint(text, &next);
      if (cp == 0xFFFD && next == pos + 1) {  // a bad byte (a real U+FFFD takes three)
        if (!copied_) {
          copy_.assign(text);
          copied_ = true;
        }
        copy_[pos] = '\x1A';
      }
      pos = next;
    }
    if (copied_) view_ = copy_;
  }
  CleanSubject(const CleanSubject&) = delete;
  CleanSubject& operator=(const CleanSubject&) = delete;

  std::string_view view() const { return view_; }

 private:
  std::string_view view_;
  std::string copy_;
  bool copied_ = false;
};

// One pcre2_match call over a cleaned subject. Returns false for no match; throws for every
// failure.
bool MatchAt(const CompiledPattern& compiled, std::string_view subject, size_t start,
             pcre2_match_data* data) {
  int rc =
      pcre2_match(compiled.code(), reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(),
                  start, PCRE2_NO_UTF_CHECK, data, MatchResources::ForThisThread().context());
  if (rc >= 0) return true;
  if (rc == PCRE2_ERROR_NOMATCH) return false;
  if (rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT || rc == PCRE2_ERROR_HEAPLIMIT ||
      rc == PCRE2_ERROR_JIT_STACKLIMIT || rc == PCRE2_ERROR_NOMEMORY) {
    throw RegexLimitError("regular expression gave up: " + ErrorText(rc));
  }
  throw RegexError("regular expression failed: " + ErrorText(rc));
}

size_t CharBytes(std::string_view text, size_t pos) {
  size_t next = pos;
  NextCodePoint(text, &next);
  return next - pos;
}

int64_t CountChars(std::string_view text) {
  int64_t count = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    NextCodePoint(text, &pos);
    ++count;
  }
  return count;
}

// A replacement text taken apart once, so that each match only copies pieces.
class ReplacementTemplate {
 public:
  ReplacementTemplate(std::string_view text, size_t group_count) {
    std::string literal;
    auto flush = [&] {
      if (!literal.empty()) parts_.push_back({Kind::kLiteral, 0, std::move(literal)});
      literal.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
      char c = text[i];
      if (c != '$' || i + 1 >= text.size()) {
        literal.push_back(c);
        continue;
      }
      char next = text[i + 1];
      if (next == '$') {
        literal.push_back('$');
        ++i;
      } else if (next == '&' || next == '`' || next == '\'') {
        flush();
        parts_.push_back({next == '&'   ? Kind::kMatch
                          : next == '`' ? Kind::kBefore
                                        : Kind::kAfter,
                          0,
                          {}});
        ++i;
      } else if (next >= '0' && next <= '9') {
        // Two digits when they name an existing group, else one digit when it does, else the
        // "$" stays as typed.
        size_t one = static_cast<size_t>(next - '0');
        size_t two = 0;
        bool has_two = i + 2 < text.size() && text[i + 2] >= '0' && text[i + 2] <= '9';
        if (has_two) two = one * 10 + static_cast<size_t>(text[i + 2] - '0');
        if (has_two && two >= 1 && two <= group_count) {
          flush();
          parts_.push_back({Kind::kGroup, two, {}});
          i += 2;
        } else if (one >= 1 && one <= group_count) {
          flush();
          parts_.push_back({Kind::kGroup, one, {}});
          i += 1;
        } else {
          literal.push_back('$');
        }
      } else {
        literal.push_back('$');
      }
    }
    flush();
  }

  void AppendTo(const RegexMatchRef& match, std::string_view subject, std::string* out) const {
    for (const Part& part : parts_) {
      switch (part.kind) {
        case Kind::kLiteral:
          out->append(part.literal);
          break;
        case Kind::kGroup:
          out->append(match.SubMatch(part.group - 1));
          break;
        case Kind::kMatch:
          out->append(match.Value());
          break;
        case Kind::kBefore:
          out->append(subject.substr(0, match.ByteIndex()));
          break;
        case Kind::kAfter:
          out->append(subject.substr(match.ByteIndex() + match.ByteLength()));
          break;
      }
    }
  }

 private:
  enum class Kind { kLiteral, kGroup, kMatch, kBefore, kAfter };
  struct Part {
    Kind kind;
    size_t group;
    std::string literal;
  };
  std::vector<Part> parts_;
};

}  // namespace

std::string RegexEscape(std::string_view literal) {
  std::string out;
  out.reserve(literal.size() + 8);
  for (char c : literal) {
    switch (c) {
      case '\\':
      case '^':
      case '$':
      case '.':
      case '|':
      case '?':
      case '*':
      case '+':
      case '(':
      case ')':
      case '[':
      case ']':
      case '{':
      case '}':
        out.push_back('\\');
        break;
      default:
        break;
    }
    out.push_back(c);
  }
  return out;
}

bool RegexMatchRef::SubMatchMatched(size_t i) const {
  return i < group_count_ && ovector_[2 * (i + 1)] != PCRE2_UNSET;
}

std::string_view RegexMatchRef::SubMatch(size_t i) const {
  if (!SubMatchMatched(i)) return {};
  size_t begin = ovector_[2 * (i + 1)];
  size_t end = ovector_[2 * (i + 1) + 1];
  if (end < begin) return {};
  return subject_.substr(begin, end - begin);
}

const CompiledPattern& RegExp::Compiled() const {
  if (!compiled_ || compiled_ignore_case_ != IgnoreCase || compiled_pattern_ != Pattern) {
    compiled_ = GetCompiledPattern(Pattern, IgnoreCase);
    compiled_pattern_ = Pattern;
    compiled_ignore_case_ = IgnoreCase;
  }
  return *compiled_;
}

size_t RegExp::GroupCount() const { return Compiled().capture_count(); }

bool RegExp::Test(std::string_view subject) const {
  const CompiledPattern& compiled = Compiled();
  MatchData data = NewMatchData(compiled);
  CleanSubject clean(subject);
  return MatchAt(compiled, clean.view(), 0, data.get());
}

void RegExp::Scan(std::string_view subject,
                  const std::function<bool(const RegexMatchRef&)>& on_match) const {
  const CompiledPattern& compiled = Compiled();
  MatchData data = NewMatchData(compiled);
  size_t group_count = compiled.capture_count();
  CleanSubject clean(subject);
  size_t start = 0;
  while (start <= subject.size()) {
    if (!MatchAt(compiled, clean.view(), start, data.get())) break;
    const size_t* ovector = pcre2_get_ovector_pointer(data.get());
    size_t begin = ovector[0];
    size_t end = ovector[1];
    if (!on_match(RegexMatchRef(subject, ovector, group_count))) break;
    if (!Global) break;
    if (end > begin) {
      start = end;
    } else {
      // An empty match: the next search starts one character on, as the scripting engine does.
      if (end >= subject.size()) break;
      start = end + CharBytes(subject, end);
    }
  }
}

std::vector<RegexMatch> RegExp::Execute(std::string_view subject) const {
  std::vector<RegexMatch> matches;
  size_t counted_bytes = 0;  // characters are counted incrementally: matches come in order
  int64_t counted_chars = 0;
  Scan(subject, [&](const RegexMatchRef& ref) {
    RegexMatch match;
    match.ByteIndex = ref.ByteIndex();
    match.ByteLength = ref.ByteLength();
    match.Value = std::string(ref.Value());
    if (match.ByteIndex >= counted_bytes) {
      counted_chars += CountChars(subject.substr(counted_bytes, match.ByteIndex - counted_bytes));
    } else {
      counted_chars = CountChars(subject.substr(0, match.ByteIndex));
    }
    counted_bytes = match.ByteIndex;
    match.FirstIndex = counted_chars;
    match.Length = CountChars(match.Value);
    match.SubMatches.reserve(ref.SubMatchCount());
    for (size_t i = 0; i < ref.SubMatchCount(); ++i) {
      match.SubMatches.emplace_back(ref.SubMatch(i));
    }
    matches.push_back(std::move(match));
    return true;
  });
  return matches;
}

std::string RegExp::Replace(std::string_view subject, std::string_view replacement) const {
  ReplacementTemplate expansion(replacement, GroupCount());
  std::string out;
  out.reserve(subject.size());
  size_t copied = 0;
  Scan(subject, [&](const RegexMatchRef& match) {
    out.append(subject.substr(copied, match.ByteIndex() - copied));
    expansion.AppendTo(match, subject, &out);
    copied = match.ByteIndex() + match.ByteLength();
    return true;
  });
  out.append(subject.substr(copied));
  return out;
}

}  // namespace folirex
