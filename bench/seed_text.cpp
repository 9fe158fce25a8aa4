#include "seed_text.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <numeric>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "seed_words.h"

namespace folirex_bench {
namespace {

// A body is paragraphs added until it holds this many bytes: about 1.7 KB on average, two
// articles to a database page.
constexpr size_t kBodyBytes = 1600;
// The characters of an article's summary taken from the start of its body.
constexpr size_t kSummaryChars = 30;

// xoshiro256**, seeded by splitmix64: the 400 million words of 1,000,000 articles need a
// generator faster than mt19937, and one draw of 64 bits serves both halves of a table lookup.
class Rng {
 public:
  explicit Rng(uint64_t seed) {
    for (uint64_t& s : s_) {
      seed += 0x9E3779B97F4A7C15ull;
      uint64_t z = seed;
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
      s = z ^ (z >> 31);
    }
  }
  uint64_t Next() {
    const uint64_t result = Rotl(s_[1] * 5, 7) * 9;
    const uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = Rotl(s_[3], 45);
    return result;
  }
  // A number in [0, n), n below 2^32.
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(((Next() >> 32) * n) >> 32); }

 private:
  static uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  uint64_t s_[4];
};

// Draws one of a set of weighted items in constant time (Walker's alias method, built by Vose's
// procedure): slot i is its item with probability threshold / 2^32, else its alias. A slot is
// 12 bytes, and the item is the caller's own number, so that a draw reads one slot.
class AliasTable {
 public:
  // `items` are the numbers drawn, `weights` their weights (positive), of the same size.
  AliasTable(const std::vector<uint32_t>& items, const std::vector<double>& weights)
      : slots_(items.size()) {
    const size_t n = items.size();
    double sum = 0;
    for (double w : weights) sum += w;
    std::vector<double> scaled(n);
    std::vector<uint32_t> small, large;
    for (size_t i = 0; i < n; ++i) {
      // Until paired, a slot keeps its own item always.
      slots_[i] = {0, items[i], items[i]};
      scaled[i] = weights[i] * static_cast<double>(n) / sum;
      (scaled[i] < 1 ? small : large).push_back(static_cast<uint32_t>(i));
    }
    while (!small.empty() && !large.empty()) {
      const uint32_t s = small.back(), l = large.back();
      small.pop_back();
      slots_[s].threshold = static_cast<uint32_t>(scaled[s] * 4294967296.0);
      slots_[s].alias = items[l];
      scaled[l] -= 1 - scaled[s];
      if (scaled[l] < 1) {
        large.pop_back();
        small.push_back(l);
      }
    }
  }
  uint32_t Draw(Rng& rng) const {
    const uint64_t r = rng.Next();
    const Slot& slot = slots_[((r >> 32) * slots_.size()) >> 32];
    return static_cast<uint32_t>(r) < slot.threshold ? slot.item : slot.alias;
  }

 private:
  struct Slot {
    uint32_t threshold, item, alias;
  };
  std::vector<Slot> slots_;
};

// Draws words by their weights, each as where its UTF-8 lies in a buffer of the caller's: the
// commonest words, which most draws give, from a table small enough to stay in the processor's
// cache, the others (a fifth of the draws) from a second table through an entry of the first.
class WordDraw {
 public:
  // `spans[i]` is word i's place (Span), `weights[i]` its weight; the words in falling weight.
  WordDraw(const std::vector<uint32_t>& spans, const std::vector<double>& weights)
      : head_(Head(spans, weights)), tail_(Tail(spans, weights)) {}
  uint32_t Draw(Rng& rng) const {
    const uint32_t w = head_.Draw(rng);
    return w == kTail ? tail_.Draw(rng) : w;
  }

 private:
  static constexpr size_t kHeadWords = 8192;
  static constexpr uint32_t kTail = 0xFFFFFFFF;  // no word's place
  static AliasTable Head(const std::vector<uint32_t>& spans, const std::vector<double>& weights) {
    const size_t n = std::min(kHeadWords, spans.size());
    std::vector<uint32_t> items(spans.begin(), spans.begin() + n);
    std::vector<double> head(weights.begin(), weights.begin() + n);
    if (n < spans.size()) {
      items.push_back(kTail);
      head.push_back(std::accumulate(weights.begin() + n, weights.end(), 0.0));
    }
    return AliasTable(items, head);
  }
  static AliasTable Tail(const std::vector<uint32_t>& spans, const std::vector<double>& weights) {
    if (spans.size() <= kHeadWords) return AliasTable({kTail}, {1});  // never drawn
    return AliasTable({spans.begin() + kHeadWords, spans.end()},
                      {weights.begin() + kHeadWords, weights.end()});
  }
  AliasTable head_, tail_;
};

// The plain text at the start of `content` (its tags left out), up to `chars` characters.
std::string PlainStart(std::string_view content, size_t chars) {
  std::string out;
  bool in_tag = false;
  for (size_t i = 0; i < content.size() && chars > 0; ++i) {
    const unsigned char b = static_cast<unsigned char>(content[i]);
    if (in_tag) {
      in_tag = b != '>';
    } else if (b == '<') {
      in_tag = true;
    } else {
      // A character ends before the next byte that does not continue it.
      out += content[i];
      const bool next_continues =
          i + 1 < content.size() && (static_cast<unsigned char>(content[i + 1]) & 0xC0) == 0x80;
      if (!next_continues) --chars;
    }
  }
  return out;
}

class RealText : public SeedText {
 public:
  RealText(const std::vector<DictionaryWord>& words, uint64_t seed)
      : rng_(seed), all_(MakeDraw(words, 1)), long_(MakeDraw(words, 2)) {}

  std::string Name() override { return Word(long_); }
  std::string Title() override {
    // Three to seven words; one title in five has a colon after one of its first words.
    const uint32_t n = 3 + rng_.Below(5);
    const uint32_t colon = rng_.Below(5) == 0 ? rng_.Below(n - 2) : n;
    std::string title;
    for (uint32_t i = 0; i < n; ++i) {
      AppendWord(long_, title);
      if (i == colon) title += "：";
    }
    return title;
  }
  std::string Keywords() override { return "|" + Word(long_) + "|" + Word(long_) + "|"; }
  void AppendBody(std::string& out) override {
    const size_t start = out.size();
    while (out.size() - start < kBodyBytes) {
      out += "<p>";
      for (uint32_t sentences = 2 + rng_.Below(4); sentences > 0; --sentences) {
        for (uint32_t clauses = 1 + rng_.Below(3); clauses > 0; --clauses) {
          const bool quoted = rng_.Below(25) == 0;
          if (quoted) out += "“";
          for (uint32_t n = 2 + rng_.Below(7); n > 0; --n) AppendWord(all_, out);
          if (quoted) out += "”";
          if (clauses > 1) {
            const uint32_t r = rng_.Below(20);
            out += r == 0 ? "；" : r < 3 ? "、" : "，";
          }
        }
        const uint32_t r = rng_.Below(20);
        out += r == 0 ? "！" : r == 1 ? "？" : "。";
      }
      out += "</p>";
    }
  }
  void AppendContinuedBody(const std::string&, std::string& out) override { AppendBody(out); }
  std::string Summary(const std::string& content) override {
    return PlainStart(content, kSummaryChars);
  }
  std::string Comment() override { return Word(long_) + Word(long_) + "，写得很好。"; }

 private:
  // A word's place in chars_: its first byte's offset times 256 plus its size in bytes.
  static constexpr size_t kMostChars = size_t{1} << 24;

  // The draw of the words of `least_chars` characters or more, each weighted by its count; their
  // UTF-8 kept back to back in chars_ (added on the first call), the commonest first, so that
  // the words most drawn share the cache's lines.
  WordDraw MakeDraw(const std::vector<DictionaryWord>& words, int least_chars) {
    if (order_.empty()) {
      for (uint32_t i = 0; i < words.size(); ++i) order_.push_back(i);
      std::stable_sort(order_.begin(), order_.end(), [&words](uint32_t a, uint32_t b) {
        return words[a].count > words[b].count;
      });
      for (uint32_t i : order_) {
        span_.push_back(static_cast<uint32_t>(chars_.size() << 8 | words[i].text.size()));
        chars_ += words[i].text;
      }
      if (chars_.size() >= kMostChars) throw std::runtime_error("the word list is too large");
    }
    std::vector<uint32_t> spans;
    std::vector<double> weights;
    for (size_t k = 0; k < order_.size(); ++k) {
      const DictionaryWord& w = words[order_[k]];
      if (w.chars < least_chars) continue;
      spans.push_back(span_[k]);
      weights.push_back(static_cast<double>(w.count));
    }
    if (spans.empty()) throw std::runtime_error("the word list has no word of two characters");
    return WordDraw(spans, weights);
  }
  void AppendWord(const WordDraw& draw, std::string& out) {
    const uint32_t span = draw.Draw(rng_);
    out.append(chars_, span >> 8, span & 0xFF);
  }
  std::string Word(const WordDraw& draw) {
    std::string out;
    AppendWord(draw, out);
    return out;
  }

  Rng rng_;
  std::vector<uint32_t> order_;  // the words' indexes, commonest first
  std::vector<uint32_t> span_;   // their places, in that order
  std::string chars_;
  WordDraw all_;   // every word
  WordDraw long_;  // the words of two characters or more: names, titles, keyword fields
};

class FortyWordText : public SeedText {
 public:
  explicit FortyWordText(std::mt19937& rng) : rng_(rng) {}

  std::string Name() override { return Word(); }
  void BeforeArticles() override {
    for (std::string& body : bodies_) {
      while (body.size() < kBodyBytes) {
        body += "<p>";
        for (int k = 0; k < 20; ++k) body += Word();
        body += "。</p>";
      }
    }
  }
  std::string Title() override {
    return Word() + Word() + Word() + "：" + Word() + Word() + "的新进展";
  }
  std::string Keywords() override { return "|" + Word() + "|" + Word() + "|"; }
  void AppendBody(std::string& out) override { out += bodies_[rng_() % bodies_.size()]; }
  void AppendContinuedBody(const std::string& first, std::string& out) override { out += first; }
  std::string Summary(const std::string& content) override { return content.substr(3, 90); }
  std::string Comment() override { return Word() + Word() + "，写得很好。"; }

 private:
  std::string Word() { return std::string(kWords[rng_() % kWordCount]); }

  std::mt19937& rng_;
  // Bodies drawn from a pool: making a fresh one for every article would cost more than
  // storing it.
  std::array<std::string, 512> bodies_;
};

}  // namespace

std::unique_ptr<SeedText> MakeRealText(const std::vector<DictionaryWord>& words, uint64_t seed) {
  return std::make_unique<RealText>(words, seed);
}

std::unique_ptr<SeedText> MakeFortyWordText(std::mt19937& rng) {
  return std::make_unique<FortyWordText>(rng);
}

}  // namespace folirex_bench
