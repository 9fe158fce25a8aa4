// Regular-expression helpers shared by the pages: a test, a replacement, a scan for the distinct
// matches of a pattern, and a one-pass replacement of a set of literal keys. The last two carry
// the template engine: it collects the distinct labels of a template once, computes each value
// once, and writes them all with one MultiReplace, so no value is ever scanned again.
//
// The pattern helpers match without regard to case and find every match (the regular-expression
// object with IgnoreCase and Global on; see platform/regex/regexp.h for the dialect). An empty
// text never matches. Pure functions over their arguments: any thread. Failure: a pattern the
// regular-expression object rejects throws RegexSyntaxError, a runaway match RegexLimitError;
// nothing is trapped here.
#ifndef FOLIREX_CORE_REGEX_HELPERS_H_
#define FOLIREX_CORE_REGEX_HELPERS_H_

#include <string>
#include <string_view>
#include <vector>

namespace folirex {

// The placeholder that is element 0 of both arrays of UniqueMatches, so that the real entries
// start at 1.
inline constexpr std::string_view kMatchPlaceholder = "zarnik";

// True when the pattern matches anywhere in the text. The pattern comes first.
bool RegexTest(std::string_view pattern, std::string_view text);

// The text with every match replaced. The pattern is wrapped in "(" and ")", so "$1" in the
// replacement is the whole match and the pattern's own groups start at "$2".
std::string RegexReplace(std::string_view text, std::string_view pattern,
                         std::string_view replacement);

// The distinct matches of a pattern in a text, as two arrays of the same size.
struct UniqueMatches {
  // "zarnik" followed by the distinct match texts, in order of first appearance; distinct means
  // distinct as typed ("{$a}" and "{$A}" are two entries).
  std::vector<std::string> texts;
  // "zarnik" followed by, for the k-th distinct match, the text of its last non-empty group, or ""
  // when it has none.
  std::vector<std::string> groups;
};

UniqueMatches CollectUniqueMatches(std::string_view text, std::string_view pattern);

// One pass over the text: each occurrence of a key is replaced by the value of the same index.
// Keys are matched literally and without regard to the case of ASCII letters, but only an
// occurrence equal to a key as typed is replaced (one in another case stays as it is, and the
// scan goes on after it); at one position the earliest key in the list wins; values go in as
// they are and are never scanned again. An empty key matches nothing. Any number of keys; the
// work grows with the text, not with text x keys. Throws std::invalid_argument when there are
// fewer values than keys.
std::string MultiReplace(std::string_view text, const std::vector<std::string>& keys,
                         const std::vector<std::string>& values);

// MultiReplace in two halves, for a caller that puts different values into the same text many
// times: FindKeys gives the occurrences MultiReplace replaces (position and index of the key, in
// text order), which depend on the text and the keys only; ReplaceKeyHits writes the text with
// each of them replaced by its key's value. The two give what MultiReplace gives.
struct KeyHit {
  size_t pos;
  size_t key;
};
std::vector<KeyHit> FindKeys(std::string_view text, const std::vector<std::string>& keys);
std::string ReplaceKeyHits(std::string_view text, const std::vector<KeyHit>& hits,
                           const std::vector<std::string>& keys,
                           const std::vector<std::string>& values);
// The same with values that the caller keeps elsewhere (a long one is copied once, into the
// result).
std::string ReplaceKeyHits(std::string_view text, const std::vector<KeyHit>& hits,
                           const std::vector<std::string>& keys,
                           const std::vector<std::string_view>& values);

}  // namespace folirex

#endif  // FOLIREX_CORE_REGEX_HELPERS_H_
