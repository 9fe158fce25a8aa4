// The frequency word list that the real-text seed (bench/seed.cpp) draws its words from, and that
// bench/keywords.cpp reads to know which words and characters the seeded texts can hold: a
// Chinese segmentation dictionary of lines "word count [tag]" (Debian's python3-jieba ships one,
// jieba/dict.txt; bench/lib.sh finds it). Only the words made wholly of Chinese characters of
// GB2312 are kept, so that every seeded text is written in the site's own code page and holds
// no Latin letters, digits or marks beyond the seeder's punctuation, and of kMostChars
// characters at most.
#ifndef FOLIREX_BENCH_SEED_DICTIONARY_H_
#define FOLIREX_BENCH_SEED_DICTIONARY_H_

#include <cstdint>
#include <string>
#include <vector>

namespace folirex_bench {

inline constexpr int kMostChars = 32;

struct DictionaryWord {
  std::string text;   // UTF-8
  int64_t count = 0;  // how often the word was met in the dictionary's corpus, 1 or more
  int chars = 0;      // its characters
};

// The kept words of the list at `path`, in its order. Throws std::runtime_error when the file
// cannot be read or keeps no word; a line that is not "word count ..." is passed over.
std::vector<DictionaryWord> LoadDictionary(const std::string& path);

// The 6,763 Chinese characters of GB2312 (rows 16 to 87), UTF-8, in the code table's order.
const std::vector<std::string>& Gb2312Han();

}  // namespace folirex_bench

#endif  // FOLIREX_BENCH_SEED_DICTIONARY_H_
