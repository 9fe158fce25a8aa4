// Draws the search keywords of bench/run.sh's new-keyword rows from a seeded site's own texts
// (bench/seed.cpp): from the titles and from the bodies of one channel's listed articles, a file
// for each kind of keyword, every keyword once, in a shuffled order, percent-encoded in GB2312 as
// the search form sends it, one a line:
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
// --none N sets how many keywords of the kind "none" are written (default 200,000): the other
// kinds hold as many as the texts give.
//
//   folirex-keywords SITE_DB OUT_DIR [--channel C] [--bodies N] [--none N] [--seed S]
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
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/text/codepage.h"
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

// The keywords of one column's texts, each kind a set.
struct Kinds {
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

// The keyword as the search form sends it: its GB2312 bytes, each as %XX.
std::string PercentGb(const std::string& utf8) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : folirex::Utf8ToGbk(utf8, folirex::Unmappable::kQuestion)) {
    out += '%';
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

void Write(const std::filesystem::path& dir, const std::string& name,
           std::vector<std::string> keywords, std::mt19937& rng) {
  std::shuffle(keywords.begin(), keywords.end(), rng);
  std::ofstream out(dir / (name + ".txt"), std::ios::binary);
  for (const std::string& k : keywords) out << PercentGb(k) << '\n';
  if (!out) Die("cannot write " + (dir / (name + ".txt")).string());
  std::printf("%s %zu\n", name.c_str(), keywords.size());
}

std::vector<std::string> List(const std::set<std::string>& s) { return {s.begin(), s.end()}; }

}  // namespace

int main(int argc, char** argv) {
  std::string file, out_dir;
  long channel = 1, bodies = 20000, none = 200000;
  unsigned seed = 7;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> long {
      if (i + 1 >= argc) Die(a + " needs a value");
      return std::strtol(argv[++i], nullptr, 10);
    };
    if (a == "--channel") {
      channel = value();
    } else if (a == "--bodies") {
      bodies = value();
    } else if (a == "--none") {
      none = value();
    } else if (a == "--seed") {
      seed = static_cast<unsigned>(value());
    } else if (!a.empty() && a[0] != '-' && file.empty()) {
      file = a;
    } else if (!a.empty() && a[0] != '-' && out_dir.empty()) {
      out_dir = a;
    } else {
      Die("usage: folirex-keywords SITE_DB OUT_DIR [--channel C] [--bodies N] [--none N] "
          "[--seed S]");
    }
  }
  if (file.empty() || out_dir.empty() || bodies < 1 || none < 0) {
    Die("usage: folirex-keywords SITE_DB OUT_DIR [--channel C] [--bodies N] [--none N] [--seed S]");
  }
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    Die("cannot open " + file);
  }
  sqlite3_busy_timeout(db, 10000);
  const std::string listed = " from Vantrel_Article where d_channelid = " +
                             std::to_string(channel) + " and d_checked = -1 and d_deleted = 0";

  std::unordered_set<std::string> vocabulary, seen;
  for (const char* w : folirex_bench::kWords) {
    vocabulary.insert(w);
    // The vocabulary's characters are never "found nowhere", whatever was read.
    const std::string word = w;
    seen.insert(word.substr(0, 3));
    seen.insert(word.substr(3));
  }
  Kinds titles, contents;
  for (const std::string& t : Column(db, "select d_title" + listed)) {
    titles.Add(t, vocabulary, seen);
  }
  // Many articles share a body: each is read into words once.
  std::unordered_set<std::string> read;
  for (std::string& b :
       Column(db, "select d_content" + listed + " order by d_id limit " + std::to_string(bodies))) {
    if (read.insert(b).second) contents.Add(b, vocabulary, seen);
  }
  sqlite3_close(db);

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
  std::mt19937 rng(seed);
  std::vector<std::string> nowhere;
  const uint64_t pairs = static_cast<uint64_t>(absent.size()) * absent.size();
  if (static_cast<uint64_t>(none) > pairs / 2) Die("--none asks more pairs than there are");
  std::unordered_set<uint64_t> drawn;
  std::uniform_int_distribution<uint64_t> any_pair(0, pairs - 1);
  while (nowhere.size() < static_cast<size_t>(none)) {
    const uint64_t p = any_pair(rng);
    if (!drawn.insert(p).second) continue;
    nowhere.push_back(absent[p / absent.size()] + absent[p % absent.size()]);
  }

  const std::filesystem::path dir(out_dir);
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
  return 0;
}
