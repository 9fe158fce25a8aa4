#include "core/regex_helpers.h"

#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "platform/regex/regexp.h"

namespace folirex {

bool RegexTest(std::string_view pattern, std::string_view text) {
  if (text.empty()) return false;
  RegExp re(std::string(pattern), /*ignore_case=*/true, /*global=*/true);
  return re.Test(text);
}

std::string RegexReplace(std::string_view text, std::string_view pattern,
                         std::string_view replacement) {
  if (text.empty()) return {};
  RegExp re("(" + std::string(pattern) + ")", /*ignore_case=*/true, /*global=*/true);
  return re.Replace(text, replacement);
}

std::vector<std::string> CollectUniqueMatches(RequestState& state, std::string_view text,
                                              std::string_view pattern) {
  std::vector<std::string> result{std::string(kMatchPlaceholder)};
  state.MatchList.assign(1, std::string(kMatchPlaceholder));
  if (text.empty()) return result;
  RegExp re(std::string(pattern), /*ignore_case=*/true, /*global=*/true);
  // Views into the text, which outlives the scan.
  std::unordered_set<std::string_view> seen;
  re.Scan(text, [&](const RegexMatchRef& match) {
    if (!seen.insert(match.Value()).second) return true;
    result.emplace_back(match.Value());
    std::string_view last_group;
    for (size_t i = 0; i < match.SubMatchCount(); ++i) {
      std::string_view group = match.SubMatch(i);
      if (!group.empty()) last_group = group;
    }
    state.MatchList.emplace_back(last_group);
    return true;
  });
  return result;
}

std::string MultiReplace(std::string_view text, const std::vector<std::string>& keys,
                         const std::vector<std::string>& values) {
  if (values.size() < keys.size()) {
    throw std::invalid_argument("MultiReplace: " + std::to_string(keys.size()) + " keys but " +
                                std::to_string(values.size()) + " values");
  }
  // Each key as typed -> its first index; a repeated key adds nothing to the pattern.
  std::unordered_map<std::string_view, size_t> index_of;
  std::string pattern = "(";
  for (size_t i = 0; i < keys.size(); ++i) {
    if (keys[i].empty() || !index_of.emplace(keys[i], i).second) continue;
    if (pattern.size() > 1) pattern.push_back('|');
    // Every key is escaped, not only "$": a chip tag holding "(", "?" or "+" must still match
    // itself instead of breaking the pattern or never being replaced.
    pattern += RegexEscape(keys[i]);
  }
  pattern.push_back(')');
  if (text.empty() || index_of.empty()) return std::string(text);

  RegExp re(std::move(pattern), /*ignore_case=*/true, /*global=*/true);
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  size_t position = 0;
  re.Scan(text, [&](const RegexMatchRef& match) {
    size_t end = match.ByteIndex() + match.ByteLength();
    auto found = index_of.find(match.Value());
    if (found != index_of.end()) {
      out.append(text.substr(position, match.ByteIndex() - position));
      out.append(values[found->second]);
    } else {
      // The key in another letter case: left as it stands.
      out.append(text.substr(position, end - position));
    }
    position = end;
    return true;
  });
  out.append(text.substr(position));
  return out;
}

}  // namespace folirex
