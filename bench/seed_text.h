// The texts of the seeded site (bench/seed.cpp): names of channels, classes and subjects, and the
// articles' titles, keyword fields, bodies, summaries and comments, all UTF-8 as the site's
// SQLite file keeps them. Two sources:
//   - real text: words of a frequency word list (seed_dictionary.h) drawn by their counts, so
//     that common words are common and most words rare, as in what readers meet; every article
//     gets a body of its own, of paragraphs of sentences of words with Chinese punctuation;
//   - forty words: the forty two-character words of seed_words.h drawn uniformly, the bodies
//     from a pool of 512 shared by all articles (the seed as it was first made, kept so that
//     figures of that seed can be measured again; it draws from the caller's generator in the
//     same order as it always did, so a --seed gives the same site as before).
// Both are deterministic for a given seed and order of calls. A source is used from one thread.
#ifndef FOLIREX_BENCH_SEED_TEXT_H_
#define FOLIREX_BENCH_SEED_TEXT_H_

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "seed_dictionary.h"

namespace folirex_bench {

class SeedText {
 public:
  virtual ~SeedText() = default;

  // A word, for the name of a channel, a class or a subject.
  virtual std::string Name() = 0;
  // Called once, after the names and before the first article.
  virtual void BeforeArticles() {}
  // An article's title, of a few words.
  virtual std::string Title() = 0;
  // An article's keyword field, "|word|word|".
  virtual std::string Keywords() = 0;
  // Appends an article's body: paragraphs "<p>...</p>" of about 1.7 KB in all.
  virtual void AppendBody(std::string& out) = 0;
  // Appends the body of a continued article's second page; `first` is its first page's body.
  virtual void AppendContinuedBody(const std::string& first, std::string& out) = 0;
  // The summary of an article whose content (its pages) is `content`.
  virtual std::string Summary(const std::string& content) = 0;
  // A reader's comment.
  virtual std::string Comment() = 0;
};

// Words of `words` drawn by their counts, from a generator of its own seeded by `seed`.
std::unique_ptr<SeedText> MakeRealText(const std::vector<DictionaryWord>& words, uint64_t seed);

// The forty words, drawn from `rng`, which must outlive the source.
std::unique_ptr<SeedText> MakeFortyWordText(std::mt19937& rng);

}  // namespace folirex_bench

#endif  // FOLIREX_BENCH_SEED_TEXT_H_
