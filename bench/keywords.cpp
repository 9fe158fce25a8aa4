// Draws the search keywords of bench/run.sh's new-keyword rows from a seeded site's own texts
// (bench/seed.cpp): from the titles and from the bodies of one channel's listed articles, a file
// for each kind of keyword, every keyword once, in a shuffled order, percent-encoded in GB2312 as
// the search form sends it, one a line.
// A site of real text (--dict DICT, the seed's frequency word list) gets these kinds:
//   common    a word of the list of two to four characters that the texts hold, of a count of
//             1,000 or more (the list's 5,000 commonest such words)
//   middling  the same, of a count of 50 to 999
//   rare      the same, of a count under 50
//   cut12     one or two characters cut from the texts where a reader's eye might fall: at a
//             character drawn at random, as many characters as drawn, within a run of Chinese
//   cut36     the same, three to six characters
//   pair      two common words of the texts together, as readers pair them ("经济发展"), each
//             drawn by its count: a pair the texts may hold or not
//   none      two characters found nowhere: one of them outside the word list, and so in no
//             text, and outside every text read; the other any character of GB2312
// A site of the forty words (no --dict) gets these:
//   char    one character the texts hold
//   word    two characters: a word of the texts
//   across  two characters across two words: the last of a word and the first of the word that
//           follows it in the texts
//   words2  four characters: two words as they follow each other in the texts
//   chars6  six characters: three words as they follow each other in the texts
//   none    two characters found nowhere: both outside every text read
// The texts are read back into the seeder's vocabulary (seed_words.h): a run of Chinese
// characters is a row of its words from its first character on, up to the first two characters
// that are no word ("的新进展" after a title's words, "续" of a continued page).
// All the channel's listed titles are read, and the bodies of its first --bodies listed articles
// (default 20,000: the seeder draws the bodies from a pool of 512, so these hold them all).
// --none N sets how many keywords of the kinds "none" and "pair" are written (default 200,000,
// or as many as there are, if fewer, which is said on stderr), and about the most of a kind of
// cut: the other kinds hold as many as the texts give.
//
//   folirex-keywords SITE_DB OUT_DIR [--channel C] [--bodies N] [--none N] [--seed S]
//                    [--dict DICT]
// Writes OUT_DIR/title-KIND.txt and OUT_DIR/body-KIND.txt and prints each one's name and count,
// one a line ("title-char 78").
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/text/codepage.h"
#include "seed_dictionary.h"
#include "seed_words.h"

namespace {

[[noreturn]] void Die(const std::string& message) {
  std::fprintf(stderr, "folirex-keywords: %s\n", message.c_str());
  std::exit(1);
}

// The first column of every row of sql, as text.
std::vector<std::string> Column(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    Die(std::string(sqlite3_errmsg(db)) + " in: " + sql);
  }
  std::vector<std::string> out;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    out.emplace_back(text ? text : "");
  }
  if (rc != SQLITE_DONE) Die(std::string(sqlite3_errmsg(db)) + " in: " + sql);
  sqlite3_finalize(stmt);
  return out;
}

bool IsHan(char32_t c) { return c >= 0x4E00 && c <= 0x9FFF; }

// The UTF-8 of each character of text, the runs of Chinese characters apart.
std::vector<std::vector<std::string>> HanRuns(std::string_view text) {
  std::vector<std::vector<std::string>> runs(1);
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t start = pos;
    const char32_t c = folirex::NextCodePoint(text, &pos);
    if (IsHan(c)) {
      runs.back().emplace_back(text.substr(start, pos - start));
    } else if (!runs.back().empty()) {
      runs.emplace_back();
    }
  }
  if (runs.back().empty()) runs.pop_back();
  return runs;
}

// The runs of Chinese characters of text, each as its UTF-8 (three bytes a character).
std::vector<std::string_view> HanRanges(std::string_view text) {
  std::vector<std::string_view> runs;
  size_t pos = 0, start = std::string_view::npos;
  while (pos < text.size()) {
    const size_t at = pos;
    const bool han = IsHan(folirex::NextCodePoint(text, &pos));
    if (han && start == std::string_view::npos) start = at;
    if (!han && start != std::string_view::npos) {
      runs.push_back(text.substr(start, at - start));
      start = std::string_view::npos;
    }
  }
  if (start != std::string_view::npos) runs.push_back(text.substr(start));
  return runs;
}

// The keywords of one column's texts of the forty words, each kind a set.
struct FortyKinds {
  std::set<std::string> chars, words, across, words2, chars6;
  void Add(std::string_view text, const std::unordered_set<std::string>& vocabulary,
           std::unordered_set<std::string>& seen) {
    for (const auto& run : HanRuns(text)) {
      for (const std::string& c : run) {
        chars.insert(c);
        seen.insert(c);
      }
      // The run's words from its start, as long as two characters make a word.
      std::vector<std::string> row;
      for (size_t i = 0; i + 1 < run.size(); i += 2) {
        std::string w = run[i] + run[i + 1];
        if (vocabulary.count(w) == 0) break;
        row.push_back(std::move(w));
      }
      for (size_t i = 0; i < row.size(); ++i) {
        words.insert(row[i]);
        if (i + 1 < row.size()) {
          // The word's last character and the next one's first (each word is two characters of
          // three bytes); one that is a word itself belongs to the words.
          std::string pair = row[i].substr(3) + row[i + 1].substr(0, 3);
          if (vocabulary.count(pair) == 0) across.insert(pair);
          words2.insert(row[i] + row[i + 1]);
        }
        if (i + 2 < row.size()) chars6.insert(row[i] + row[i + 1] + row[i + 2]);
      }
    }
  }
};

// A word list's words of two to four characters, by their UTF-8, with their counts.
using WordCounts = std::unordered_map<std::string_view, int64_t>;

// The bounds of the kinds of words of a real-text site, by their counts in the word list.
constexpr int64_t kCommonCount = 1000;
constexpr int64_t kRareCount = 50;
// Cuts drawn from each text read, of each of the two kinds of cut (each kind up to --none).
constexpr int kCutsPerTitle = 4;
constexpr int kCutsPerBody = 25;

// The code point of a character of GB2312 as UTF-8 (three bytes).
char32_t CodeOf(std::string_view c) {
  size_t pos = 0;
  return folirex::NextCodePoint(c, &pos);
}

// The keywords of one column's texts of real text.
struct RealKinds {
  std::unordered_set<std::string_view> words;  // the list's words the texts hold
  std::set<std::string> cut12, cut36;
  // Reads `text`: the list's words it holds, `cuts` cuts of each kind while a kind has fewer than
  // `most`, and its characters into `seen` (by code point).
  void Add(std::string_view text, const WordCounts& list, int cuts, size_t most,
           std::vector<bool>& seen, std::mt19937& rng) {
    const std::vector<std::string_view> runs = HanRanges(text);
    size_t chars = 0;
    for (std::string_view run : runs) {
      const size_t n = run.size() / 3;
      chars += n;
      for (size_t i = 0; i < n; ++i) {
        seen[CodeOf(run.substr(3 * i, 3))] = true;
        for (size_t length = 2; length <= 4 && i + length <= n; ++length) {
          const auto found = list.find(run.substr(3 * i, 3 * length));
          if (found != list.end()) words.insert(found->first);
        }
      }
    }
    if (chars == 0) return;
    if (cut12.size() < most) Cut(runs, chars, 1, 2, cuts, rng, cut12);
    if (cut36.size() < most) Cut(runs, chars, 3, 6, cuts, rng, cut36);
  }

 private:
  // `count` times: a character of the texts' `chars` drawn at random and from it `least` to
  // `most` characters (as many drawn), kept when its run holds them.
  static void Cut(const std::vector<std::string_view>& runs, size_t chars, size_t least,
                  size_t most, int count, std::mt19937& rng, std::set<std::string>& out) {
    std::uniform_int_distribution<size_t> at(0, chars - 1), length(least, most);
    for (int k = 0; k < count; ++k) {
      size_t i = at(rng);
      const size_t n = length(rng);
      for (std::string_view run : runs) {
        if (i < run.size() / 3) {
          if (i + n <= run.size() / 3) out.emplace(run.substr(3 * i, 3 * n));
          break;
        }
        i -= run.size() / 3;
      }
    }
  }
};

// The keyword as the search form sends it: its GB2312 bytes, each as %XX.
std::string PercentGb(std::string_view utf8) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : folirex::Utf8ToGbk(utf8, folirex::Unmappable::kQuestion)) {
    out += '%';
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

template <typename Text>
void Write(const std::filesystem::path& dir, const std::string& name, std::vector<Text> keywords,
           std::mt19937& rng) {
  std::shuffle(keywords.begin(), keywords.end(), rng);
  std::ofstream out(dir / (name + ".txt"), std::ios::binary);
  for (const auto& k : keywords) out << PercentGb(k) << '\n';
  if (!out) Die("cannot write " + (dir / (name + ".txt")).string());
  std::printf("%s %zu\n", name.c_str(), keywords.size());
}

std::vector<std::string> List(const std::set<std::string>& s) { return {s.begin(), s.end()}; }

// At most `wanted` of `possible` keywords, drawn at random without repeats: up to half of them,
// so that the draws rarely repeat; fewer than wanted is said on stderr.
size_t Drawable(size_t wanted, uint64_t possible, const char* kind) {
  if (wanted <= possible / 2) return wanted;
  std::fprintf(stderr, "folirex-keywords: %zu keywords of the kind %s asked, %llu written\n",
               wanted, kind, static_cast<unsigned long long>(possible / 2));
  return static_cast<size_t>(possible / 2);
}

// Pairs of two different common words of `words`, each drawn by its count in the list.
std::vector<std::string> CommonPairs(const std::unordered_set<std::string_view>& words,
                                     const WordCounts& list, size_t wanted, std::mt19937& rng) {
  std::vector<std::string_view> common;
  for (std::string_view w : words) {
    if (list.at(w) >= kCommonCount) common.push_back(w);
  }
  std::sort(common.begin(), common.end());
  std::vector<double> weights;
  for (std::string_view w : common) weights.push_back(static_cast<double>(list.at(w)));
  const uint64_t n = common.size();
  std::vector<std::string> out;
  if (n < 2) return out;
  wanted = Drawable(wanted, n * (n - 1), "pair");
  std::discrete_distribution<size_t> pick(weights.begin(), weights.end());
  std::unordered_set<uint64_t> drawn;
  while (out.size() < wanted) {
    const size_t a = pick(rng), b = pick(rng);
    if (a == b || !drawn.insert(a * n + b).second) continue;
    out.push_back(std::string(common[a]) + std::string(common[b]));
  }
  return out;
}

struct Options {
  std::string file, out_dir, dictionary;
  long channel = 1, bodies = 20000, none = 200000;
  unsigned seed = 7;
};

// The kinds of the forty-word seed.
void WriteFortyKinds(sqlite3* db, const std::string& listed, const Options& o) {
  std::unordered_set<std::string> vocabulary, seen;
  for (const char* w : folirex_bench::kWords) {
    vocabulary.insert(w);
    // The vocabulary's characters are never "found nowhere", whatever was read.
    const std::string word = w;
    seen.insert(word.substr(0, 3));
    seen.insert(word.substr(3));
  }
  FortyKinds titles, contents;
  for (const std::string& t : Column(db, "select d_title" + listed)) {
    titles.Add(t, vocabulary, seen);
  }
  // Many articles share a body: each is read into words once.
  std::unordered_set<std::string> read;
  for (std::string& b : Column(
           db, "select d_content" + listed + " order by d_id limit " + std::to_string(o.bodies))) {
    if (read.insert(b).second) contents.Add(b, vocabulary, seen);
  }

  // The GB2312 characters of the first level (16-55 of the code table) outside every text read.
  std::vector<std::string> absent;
  for (int lead = 0xB0; lead <= 0xD7; ++lead) {
    for (int trail = 0xA1; trail <= (lead == 0xD7 ? 0xF9 : 0xFE); ++trail) {
      const char gb[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      std::string c = folirex::GbkToUtf8(std::string_view(gb, 2));
      size_t pos = 0;
      if (!IsHan(folirex::NextCodePoint(c, &pos)) || seen.count(c)) continue;
      absent.push_back(std::move(c));
    }
  }
  std::mt19937 rng(o.seed);
  std::vector<std::string> nowhere;
  const uint64_t pairs = static_cast<uint64_t>(absent.size()) * absent.size();
  const size_t none = Drawable(static_cast<size_t>(o.none), pairs, "none");
  std::unordered_set<uint64_t> drawn;
  std::uniform_int_distribution<uint64_t> any_pair(0, pairs - 1);
  while (nowhere.size() < none) {
    const uint64_t p = any_pair(rng);
    if (!drawn.insert(p).second) continue;
    nowhere.push_back(absent[p / absent.size()] + absent[p % absent.size()]);
  }

  const std::filesystem::path dir(o.out_dir);
  std::filesystem::create_directories(dir);
  for (auto [column, kinds] : {std::pair{"title", &titles}, std::pair{"body", &contents}}) {
    const std::string c = column;
    Write(dir, c + "-char", List(kinds->chars), rng);
    Write(dir, c + "-word", List(kinds->words), rng);
    Write(dir, c + "-across", List(kinds->across), rng);
    Write(dir, c + "-words2", List(kinds->words2), rng);
    Write(dir, c + "-chars6", List(kinds->chars6), rng);
    // The same pairs for both columns, each in its own order: a title search and a body search of
    // one keyword are kept apart by the server.
    Write(dir, c + "-none", nowhere, rng);
  }
}

// The kinds of the real-text seed, whose words come from the list at o.dictionary.
void WriteRealKinds(sqlite3* db, const std::string& listed, const Options& o) {
  std::vector<folirex_bench::DictionaryWord> dictionary;
  try {
    dictionary = folirex_bench::LoadDictionary(o.dictionary);
  } catch (const std::exception& e) {
    Die(e.what());
  }
  WordCounts list;
  std::vector<bool> in_list(0x10000), seen(0x10000);
  for (const folirex_bench::DictionaryWord& w : dictionary) {
    for (size_t i = 0; i < w.text.size(); i += 3) in_list[CodeOf(w.text.substr(i, 3))] = true;
    if (w.chars < 2 || w.chars > 4) continue;
    // A word listed twice (with two tags) counts as the commoner.
    auto [at, added] = list.emplace(w.text, w.count);
    if (!added) at->second = std::max(at->second, w.count);
  }
  std::mt19937 rng(o.seed);
  RealKinds titles, contents;
  for (const std::string& t : Column(db, "select d_title" + listed)) {
    titles.Add(t, list, kCutsPerTitle, static_cast<size_t>(o.none), seen, rng);
  }
  for (const std::string& b : Column(
           db, "select d_content" + listed + " order by d_id limit " + std::to_string(o.bodies))) {
    contents.Add(b, list, kCutsPerBody, static_cast<size_t>(o.none), seen, rng);
  }

  // Characters of GB2312 that no text can hold (outside the list) and no text read holds.
  std::vector<std::string> absent;
  for (const std::string& c : folirex_bench::Gb2312Han()) {
    if (!in_list[CodeOf(c)] && !seen[CodeOf(c)]) absent.push_back(c);
  }
  // One absent character (index a) first or last, and any character x of GB2312 beside it:
  // (side, a, x) numbered together; a pair of two absent characters is kept on one side only.
  const std::vector<std::string>& any = folirex_bench::Gb2312Han();
  std::vector<bool> is_absent(any.size());
  for (size_t x = 0; x < any.size(); ++x)
    is_absent[x] = !in_list[CodeOf(any[x])] && !seen[CodeOf(any[x])];
  const uint64_t one_side = static_cast<uint64_t>(absent.size()) * any.size();
  std::vector<std::string> nowhere;
  if (one_side > 0) {
    const size_t none = Drawable(static_cast<size_t>(o.none), 2 * one_side, "none");
    std::unordered_set<uint64_t> drawn;
    std::uniform_int_distribution<uint64_t> any_pair(0, 2 * one_side - 1);
    while (nowhere.size() < none) {
      const uint64_t p = any_pair(rng);
      const bool last = p >= one_side;
      const size_t a = (p % one_side) / any.size(), x = p % any.size();
      if ((last && is_absent[x]) || !drawn.insert(p).second) continue;
      nowhere.push_back(last ? any[x] + absent[a] : absent[a] + any[x]);
    }
  }

  const std::filesystem::path dir(o.out_dir);
  std::filesystem::create_directories(dir);
  for (auto [column, kinds] : {std::pair{"title", &titles}, std::pair{"body", &contents}}) {
    const std::string c = column;
    std::vector<std::string_view> common, middling, rare;
    for (std::string_view w : kinds->words) {
      const int64_t count = list.at(w);
      (count >= kCommonCount ? common : count >= kRareCount ? middling : rare).push_back(w);
    }
    // Sorted first, so that the shuffle alone orders them, the same for a given seed.
    for (auto* words : {&common, &middling, &rare}) std::sort(words->begin(), words->end());
    Write(dir, c + "-common", common, rng);
    Write(dir, c + "-middling", middling, rng);
    Write(dir, c + "-rare", rare, rng);
    Write(dir, c + "-cut12", List(kinds->cut12), rng);
    Write(dir, c + "-cut36", List(kinds->cut36), rng);
    Write(dir, c + "-pair", CommonPairs(kinds->words, list, static_cast<size_t>(o.none), rng), rng);
    Write(dir, c + "-none", nowhere, rng);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  const char* const usage =
      "usage: folirex-keywords SITE_DB OUT_DIR [--channel C] [--bodies N] [--none N] [--seed S] "
      "[--dict DICT]";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto argument = [&]() -> std::string {
      if (i + 1 >= argc) Die(a + " needs a value");
      return argv[++i];
    };
    auto value = [&]() -> long { return std::strtol(argument().c_str(), nullptr, 10); };
    if (a == "--channel") {
      o.channel = value();
    } else if (a == "--bodies") {
      o.bodies = value();
    } else if (a == "--none") {
      o.none = value();
    } else if (a == "--seed") {
      o.seed = static_cast<unsigned>(value());
    } else if (a == "--dict") {
      o.dictionary = argument();
    } else if (!a.empty() && a[0] != '-' && o.file.empty()) {
      o.file = a;
    } else if (!a.empty() && a[0] != '-' && o.out_dir.empty()) {
      o.out_dir = a;
    } else {
      Die(usage);
    }
  }
  if (o.file.empty() || o.out_dir.empty() || o.bodies < 1 || o.none < 0) Die(usage);
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(o.file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    Die("cannot open " + o.file);
  }
  sqlite3_busy_timeout(db, 10000);
  const std::string listed =
      " from Vantrel_Article where d_channelid = " + std::to_string(o.channel) +
      " and d_checked = -1 and d_deleted = 0";
  if (o.dictionary.empty()) {
    WriteFortyKinds(db, listed, o);
  } else {
    WriteRealKinds(db, listed, o);
  }
  sqlite3_close(db);
  return 0;
}
