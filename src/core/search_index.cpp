#include "core/search_index.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/list_structures.h"
#include "core/text_helpers.h"

namespace folirex {
namespace {

// The code points of UTF-8 text (a malformed byte stands for itself).
std::vector<uint32_t> CodePoints(const std::string& text) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    size_t j = i + 1;
    for (int k = 0; k < extra && j < text.size(); ++k, ++j) {
      cp = (cp << 6) | (static_cast<unsigned char>(text[j]) & 0x3F);
    }
    out.push_back(cp);
    i = j;
  }
  return out;
}

// The longest run of the keyword between like's wildcards, as UTF-8 and in characters.
std::string LongestLiteral(const std::string& keyword, size_t* length) {
  std::string best, run;
  size_t best_len = 0, run_len = 0;
  auto close = [&] {
    if (run_len > best_len) best = run, best_len = run_len;
    run.clear();
    run_len = 0;
  };
  for (size_t i = 0; i < keyword.size(); ++i) {
    const char c = keyword[i];
    if (c == '%' || c == '_') {
      close();
      continue;
    }
    run += c;
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++run_len;
  }
  close();
  *length = best_len;
  return best;
}

// The terms of `column` in the SQLite table `terms` that begin with `run`.
std::string TermsBeginningWith(std::string_view terms, const std::string& column,
                               const std::string& run) {
  const std::string prefix = "'" + SqlQuote(run) + "'";
  return std::string(terms) + " where col = '" + column + "' and term >= " + prefix +
         " and term <= " + prefix + " || char(1114111, 1114111)";
}

// The most instances of a short keyword's terms in the bodies for which their index is read: a
// keyword that most bodies hold has many to each body, and reading them all and then each body
// they name costs more than reading the bodies alone.
constexpr int64_t kMostShortBodyTerms = 50000;

// A character whose index term is itself (ASCII, lowered below) or that has no letter case:
// CJK, its punctuation and the full-width punctuation.
bool FoldsPlainly(uint32_t cp) {
  return cp < 0x80 || (cp >= 0x3000 && cp <= 0x9FFF) || (cp >= 0xFF01 && cp <= 0xFF20);
}

// A short run as the terms hold it (ASCII letters lowered); "" when the terms cannot serve it
// (no run, or a character with letter case beyond ASCII).
std::string ShortRunTerm(std::string run, size_t length) {
  if (length == 0) return "";
  for (uint32_t cp : CodePoints(run)) {
    if (!FoldsPlainly(cp)) return "";
  }
  for (char& c : run) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return run;
}

}  // namespace

std::string ArticleTextLike(SqlEngine engine, const std::string& column,
                            const std::string& keyword) {
  const std::string compared =
      engine == SqlEngine::kPostgres ? "cast(" + column + " as text)" : column;
  return compared + " like '%" + SqlQuote(keyword) + "%'";
}

// The search's index condition, narrowing the articles to a superset of those whose column is
// like the pattern (the like condition beside it decides): SQLite's trigram index takes the
// pattern itself when a run of it has three characters or more, and finds a shorter run among the
// terms that begin with it; PostgreSQL's trigram index serves the same like over the text, and
// its index of one- and two-character sequences a shorter run. ""
// when no index serves the keyword (only wildcards, or a short run of other characters).
std::string ArticleTextIndexCondition(SqlEngine engine, const std::string& column,
                                      const std::string& keyword) {
  const bool body = column == "d_content";
  if (!body && column != "d_title" && column != "d_author" && column != "d_inputer") return "";
  size_t length = 0;
  std::string run = LongestLiteral(keyword, &length);
  const std::string pattern = "'%" + SqlQuote(keyword) + "%'";
  if (engine == SqlEngine::kPostgres) {
    // The trigram index serves ArticleTextLike itself.
    if (length >= 3) return "";
    // A shorter run: the rows whose lowered text holds the lowered run's sequences among its one-
    // and two-character ones (folirex_short_grams, core/list_structures.cpp). A backslash
    // escapes the character after it in like's pattern, so a keyword holding one is left to the
    // like alone.
    if (length == 0 || keyword.find('\\') != std::string::npos) return "";
    // Not for the bodies: the index of their sequences is checked again row by row, and each
    // check computes a whole body's sequences, so a short keyword that many bodies hold took
    // seconds to count where the like alone over the bodies takes a tenth of one.
    if (body) return "";
    return " and folirex_short_grams(cast(" + column + " as text)) @> folirex_short_key('" +
           SqlQuote(run) + "')";
  }
  if (length >= 3) {
    const std::string table(body ? kArticleBodyTable : kArticleTextTable);
    if (keyword.find_first_of("%_") == std::string::npos) {
      // No wildcard: the keyword's trigrams in a row, found in the index alone.
      std::string phrase;
      for (char c : keyword) phrase += c == '"' ? std::string("\"\"") : std::string(1, c);
      return " and d_id in (select rowid from " + table + " where " + table + " match '{" + column +
             "} : \"" + SqlQuote(phrase) + "\"')";
    }
    return " and d_id in (select rowid from " + table + " where " + column + " like " + pattern +
           ")";
  }
  const std::string term = ShortRunTerm(run, length);
  if (term.empty()) return "";
  return " and d_id in (select doc from " +
         TermsBeginningWith(body ? kArticleBodyTerms : kArticleTextTerms, column, term) + ")";
}

std::string ArticleSourceNarrowed(SqlEngine engine, const std::string& index_condition) {
  if (engine == SqlEngine::kPostgres) return "Vantrel_Article";
  if (index_condition.empty()) return ArticleSourceInTimeOrder(engine);
  return "Vantrel_Article not indexed";
}

std::string ArticleSourceInTimeOrder(SqlEngine engine) {
  if (engine == SqlEngine::kPostgres) return "Vantrel_Article";
  return "Vantrel_Article indexed by " + std::string(kArticleTimeOrderIndex);
}

std::string ArticleSourceInIdOrder(SqlEngine engine) {
  return engine == SqlEngine::kPostgres ? "Vantrel_Article" : "Vantrel_Article not indexed";
}

bool KeywordReadsListInOrder(SqlEngine engine, int64_t matches, int64_t list, int64_t page,
                             int64_t page_size) {
  const double scanned = static_cast<double>(page) * static_cast<double>(page_size) *
                         static_cast<double>(list) / static_cast<double>(matches > 0 ? matches : 1);
  if (engine == SqlEngine::kPostgres && matches <= kMostMatchesReadByIdsFirst &&
      scanned > 4.0 * static_cast<double>(page_size)) {
    return false;
  }
  return scanned < static_cast<double>(matches);
}

KeywordMatches CountKeywordMatches(Connection& conn, const std::string& column,
                                   const std::string& keyword, const std::string& where,
                                   const std::string& listed, int64_t requested_page,
                                   int64_t page_size) {
  EnsureListStructures(conn);
  std::string index_condition = ArticleTextIndexCondition(conn.engine(), column, keyword);
  size_t length = 0;
  const std::string run = LongestLiteral(keyword, &length);
  if (conn.engine() == SqlEngine::kSqlite && column == "d_content" && length < 3 &&
      !index_condition.empty()) {
    // A short keyword that most bodies hold is looked for in the bodies alone.
    const int64_t instances = CachedCount(
        conn, "select count(*) from (select top " + std::to_string(kMostShortBodyTerms) +
                  " doc from " +
                  TermsBeginningWith(kArticleBodyTerms, column, ShortRunTerm(run, length)) + ")");
    if (instances >= kMostShortBodyTerms) index_condition.clear();
  }
  KeywordMatches found;
  found.narrowed = ArticleSourceNarrowed(conn.engine(), index_condition) + where + index_condition;
  found.matches = CachedCount(conn, "select count(*) from " + found.narrowed);
  found.list = CachedCount(conn, "select count(*) from Vantrel_Article " + listed);
  found.page = std::min<int64_t>(std::max<int64_t>(requested_page, 1),
                                 (found.matches + page_size - 1) / page_size);
  return found;
}

}  // namespace folirex
