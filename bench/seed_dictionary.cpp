#include "seed_dictionary.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <unordered_set>

#include "platform/text/codepage.h"

namespace folirex_bench {

const std::vector<std::string>& Gb2312Han() {
  static const std::vector<std::string> characters = [] {
    std::vector<std::string> out;
    for (int lead = 0xB0; lead <= 0xF7; ++lead) {
      for (int trail = 0xA1; trail <= 0xFE; ++trail) {
        // Row 55 ends at its 89th cell; the rest of it is empty.
        if (lead == 0xD7 && trail > 0xF9) continue;
        const char gb[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        out.push_back(folirex::GbkToUtf8(std::string_view(gb, 2)));
      }
    }
    return out;
  }();
  return characters;
}

std::vector<DictionaryWord> LoadDictionary(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read the word list " + path);
  const std::vector<std::string>& han = Gb2312Han();
  const std::unordered_set<std::string_view> allowed(han.begin(), han.end());
  std::vector<DictionaryWord> words;
  std::string line;
  while (std::getline(in, line)) {
    const size_t space = line.find(' ');
    if (space == 0 || space == std::string::npos) continue;
    const std::string_view text(line.data(), space);
    char* end = nullptr;
    const long long count = std::strtoll(line.c_str() + space + 1, &end, 10);
    if (end == line.c_str() + space + 1 || count < 1) continue;
    // Every character of the site's code page takes three bytes in UTF-8.
    if (text.size() % 3 != 0 || text.size() > 3 * kMostChars) continue;
    bool kept = true;
    for (size_t i = 0; i < text.size() && kept; i += 3) kept = allowed.count(text.substr(i, 3));
    if (!kept) continue;
    words.push_back({std::string(text), count, static_cast<int>(text.size() / 3)});
  }
  if (words.empty()) throw std::runtime_error("no Chinese word of GB2312 in " + path);
  return words;
}

}  // namespace folirex_bench
