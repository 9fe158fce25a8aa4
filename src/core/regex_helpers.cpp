#include "core/regex_helpers.h"

#include <algorithm>
#include <cstdint>
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

UniqueMatches CollectUniqueMatches(std::string_view text, std::string_view pattern) {
  UniqueMatches result;
  result.texts.emplace_back(kMatchPlaceholder);
  result.groups.emplace_back(kMatchPlaceholder);
  if (text.empty()) return result;
  RegExp re(std::string(pattern), /*ignore_case=*/true, /*global=*/true);
  // Views into the text, which outlives the scan.
  std::unordered_set<std::string_view> seen;
  re.Scan(text, [&](const RegexMatchRef& match) {
    if (!seen.insert(match.Value()).second) return true;
    result.texts.emplace_back(match.Value());
    std::string_view last_group;
    for (size_t i = 0; i < match.SubMatchCount(); ++i) {
      std::string_view group = match.SubMatch(i);
      if (!group.empty()) last_group = group;
    }
    result.groups.emplace_back(last_group);
    return true;
  });
  return result;
}

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The keys of one MultiReplace as a trie over their bytes, ASCII letters folded to lower case.
// Walking it from a position of the text finds every key that matches there without regard to
// case; the one earliest in the key list is the match, as with an alternation of the keys.
class KeyTrie {
 public:
  explicit KeyTrie(const std::vector<std::string>& keys) {
    nodes_.push_back(Node{});
    for (size_t i = 0; i < keys.size(); ++i) {
      const std::string& key = keys[i];
      if (key.empty()) continue;
      starts_[static_cast<unsigned char>(FoldAscii(key[0]))] = true;
      uint32_t node = 0;
      for (char c : key) {
        uint64_t edge = EdgeKey(node, FoldAscii(c));
        auto found = edges_.find(edge);
        if (found == edges_.end()) {
          nodes_.push_back(Node{});
          found = edges_.emplace(edge, static_cast<uint32_t>(nodes_.size() - 1)).first;
        }
        node = found->second;
      }
      if (nodes_[node].first_key == kNone) nodes_[node].first_key = i;
    }
  }

  bool empty() const { return nodes_.size() == 1; }
  bool MayStartAt(char c) const { return starts_[static_cast<unsigned char>(c)]; }

  // The index of the earliest key in the list that matches at text[pos...], or kNone.
  size_t Match(std::string_view text, size_t pos) const {
    size_t best = kNone;
    uint32_t node = 0;
    for (size_t i = pos; i < text.size(); ++i) {
      auto found = edges_.find(EdgeKey(node, FoldAscii(text[i])));
      if (found == edges_.end()) break;
      node = found->second;
      best = std::min(best, nodes_[node].first_key);
    }
    return best;
  }

  static constexpr size_t kNone = static_cast<size_t>(-1);

 private:
  struct Node {
    size_t first_key = kNone;  // earliest key ending here
  };
  static uint64_t EdgeKey(uint32_t node, char c) {
    return (static_cast<uint64_t>(node) << 8) | static_cast<unsigned char>(c);
  }

  std::vector<Node> nodes_;
  std::unordered_map<uint64_t, uint32_t> edges_;
  bool starts_[256] = {};
};

}  // namespace

std::vector<KeyHit> FindKeys(std::string_view text, const std::vector<std::string>& keys) {
  std::vector<KeyHit> hits;
  // Keys are taken literally (a chip tag holding "(", "?" or "+" still matches itself), so the
  // scan needs no pattern at all: one walk over the text, whatever the number of keys, with no
  // limit on how many there are.
  KeyTrie trie(keys);
  if (text.empty() || trie.empty()) return hits;
  // Each key as typed -> its first index; the replacement needs an exact match.
  std::unordered_map<std::string_view, size_t> index_of;
  for (size_t i = 0; i < keys.size(); ++i) index_of.emplace(keys[i], i);

  size_t pos = 0;
  while (pos < text.size()) {
    if (!trie.MayStartAt(FoldAscii(text[pos]))) {
      ++pos;
      continue;
    }
    size_t key = trie.Match(text, pos);
    if (key == KeyTrie::kNone) {
      ++pos;
      continue;
    }
    size_t end = pos + keys[key].size();
    auto exact = index_of.find(text.substr(pos, end - pos));
    if (exact != index_of.end()) hits.push_back(KeyHit{pos, exact->second});
    // Else the key in another letter case: it stays as it stands, and the scan goes on after it.
    pos = end;
  }
  return hits;
}

std::string ReplaceKeyHits(std::string_view text, const std::vector<KeyHit>& hits,
                           const std::vector<std::string>& keys,
                           const std::vector<std::string>& values) {
  return ReplaceKeyHits(text, hits, keys,
                        std::vector<std::string_view>(values.begin(), values.end()));
}

std::string ReplaceKeyHits(std::string_view text, const std::vector<KeyHit>& hits,
                           const std::vector<std::string>& keys,
                           const std::vector<std::string_view>& values) {
  size_t size = text.size();
  for (const KeyHit& hit : hits) size += values[hit.key].size() - keys[hit.key].size();
  std::string out;
  out.reserve(size);
  size_t copied = 0;
  for (const KeyHit& hit : hits) {
    out.append(text.substr(copied, hit.pos - copied));
    out.append(values[hit.key]);
    copied = hit.pos + keys[hit.key].size();
  }
  out.append(text.substr(copied));
  return out;
}

std::string MultiReplace(std::string_view text, const std::vector<std::string>& keys,
                         const std::vector<std::string>& values) {
  if (values.size() < keys.size()) {
    throw std::invalid_argument("MultiReplace: " + std::to_string(keys.size()) + " keys but " +
                                std::to_string(values.size()) + " values");
  }
  return ReplaceKeyHits(text, FindKeys(text, keys), keys, values);
}

}  // namespace folirex
