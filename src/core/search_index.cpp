#include "core/search_index.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <iterator>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <semaphore>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>

#include "core/article_change_log.h"
#include "core/asked_lists.h"
#include "core/list_structures.h"
#include "core/pg_body_index.h"
#include "core/search_structures.h"
#include "core/text_helpers.h"
#include "platform/cache/lru_cache.h"
#include "platform/db/provider.h"
#include "platform/db/sql_params.h"

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

// The condition on the SQLite table of terms that holds those of `column` that begin with `run`.
// The bodies' table holds one column, and its index keeps no columns (detail='none': col is
// null) unless a database made it before.
// The run is bound, so that the statement of every new keyword is the one compiled already.
ListCondition TermsBeginningWith(const std::string& column, const std::string& run) {
  return {(column == "d_content" ? std::string() : "col = '" + column + "' and ") +
              "term >= ? and term <= ? || char(1114111, 1114111)",
          {Variant(run), Variant(run)},
          ConditionKind::kUnlogged};
}

// The most instances of a short keyword's terms in the bodies for which their index is read: a
// keyword that most bodies hold has many to each body, and reading them all and then each body
// they name costs more than reading the bodies alone.
constexpr int64_t kMostShortBodyTerms = 50000;

// The most instances of a short keyword's terms read to find its matches from the index alone
// (a quarter of a second's reading).
constexpr int64_t kMostShortTermsRead = 1'000'000;

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

// SQLite: the query of the bodies' trigram index (detail='none', no positions) for the texts
// that hold every trigram of every run of three characters or more of `keyword` between like's
// wildcards: a superset of the texts like '%keyword%' finds (the index folds the letter case of
// more characters than like does), and exactly those texts for a keyword of three characters
// without wildcards whose characters the index folds as like does. Found in the index alone,
// without reading a body. "" when no run is that long.
std::string BodyTrigramQuery(const std::string& keyword) {
  std::string query;
  std::vector<std::string> run;  // the current run's characters as UTF-8
  auto close = [&] {
    for (size_t i = 0; i + 3 <= run.size(); ++i) {
      std::string trigram;
      for (size_t k = i; k < i + 3; ++k) {
        for (char c : run[k]) trigram += c == '"' ? std::string("\"\"") : std::string(1, c);
      }
      query += (query.empty() ? "\"" : " AND \"") + trigram + "\"";
    }
    run.clear();
  };
  for (size_t i = 0; i < keyword.size();) {
    const char c = keyword[i];
    if (c == '%' || c == '_') {
      close();
      ++i;
      continue;
    }
    // A character and its continuation bytes (a malformed byte stands for itself).
    size_t j = i + 1;
    if ((static_cast<unsigned char>(c) & 0xC0) == 0xC0) {
      while (j < keyword.size() && (static_cast<unsigned char>(keyword[j]) & 0xC0) == 0x80) ++j;
    }
    run.emplace_back(keyword, i, j - i);
    i = j;
  }
  close();
  return query;
}

// SQLite: the select of the rowids, ascending, whose `column` (of the trigram table that holds it)
// holds `keyword` (no wildcards, three characters or more): its trigrams in a row in the titles'
// index; in the bodies', which keeps no positions, the texts that hold all its trigrams, a
// superset that the caller tests unless the keyword is a single trigram.
// The match expression is bound, so that every keyword's statement is the one compiled already.
ListCondition PhraseRows(const std::string& column, const std::string& keyword) {
  const bool body = column == "d_content";
  const std::string table(body ? kArticleBodyTable : kArticleTextTable);
  std::string match;
  if (body) {
    match = BodyTrigramQuery(keyword);
  } else {
    std::string phrase;
    for (char c : keyword) phrase += c == '"' ? std::string("\"\"") : std::string(1, c);
    match = "{" + column + "} : \"" + phrase + "\"";
  }
  return {"select rowid from " + table + " where " + table + " match ? order by rowid",
          {Variant(match)},
          ConditionKind::kNarrowing};
}

// The select's source of the articles `ids` ("Vantrel_Article where d_id in (?, ...)"), with the
// index hint `hint` after the table, and the ids bound. The places are as many as the next power
// of two (8 at least), the spare ones bound to null, which no id equals: a few statements
// compiled, whatever the count.
ListQuery ArticlesWithIds(const std::vector<int64_t>& ids, const std::string& hint) {
  ListQuery list;
  list.hint = hint;
  if (ids.empty()) return list.And(ConditionKind::kLogged, "1 = 0");
  std::vector<Variant> values(std::bit_ceil(std::max<size_t>(ids.size(), 8)));
  for (size_t i = 0; i < ids.size(); ++i) values[i] = SqlNumber(ids[i]);
  std::string in = "d_id in (" + Placeholders(values.size()) + ")";
  return list.And(ConditionKind::kLogged, std::move(in), std::move(values));
}

// Clears the bits of `named` (bit id % 64 of word id / 64) whose article does not meet
// `condition`, reading just those articles; returns how many stay. The ids go to the statement as
// one bound list of up to kIdsPerRead, so that it is compiled once however many there are.
size_t KeepArticlesWhere(Connection& conn, const ListCondition& condition,
                         std::vector<uint64_t>& named) {
  constexpr size_t kIdsPerRead = 10000;
  ListQuery read;
  read.hint = ArticleHintInIdOrder(conn.engine());
  // The ids come from a table-valued function, which the change log cannot follow; the read is
  // never kept.
  read.And(ConditionKind::kUnlogged, "d_id in (select value from json_each(?))", {Variant("[]")});
  read.And(condition);
  const std::string sql = read.Select("d_id");
  std::unique_ptr<db::Statement> st = conn.session().Prepare(sql);
  std::vector<uint64_t> kept(named.size());
  size_t stay = 0;
  std::string ids;
  size_t listed = 0;
  auto test = [&] {
    if (listed == 0) return;
    conn.CountStatement(sql, *st);
    std::vector<Variant> values = read.Values();
    values.front() = Variant("[" + ids + "]");
    st->Bind(values);
    while (st->Step()) {
      const int64_t id = st->Column(0).ToInt64Or(-1);
      if (id < 0 || static_cast<size_t>(id) / 64 >= kept.size()) continue;
      kept[static_cast<size_t>(id) / 64] |= uint64_t{1} << (id % 64);
      ++stay;
    }
    ids.clear();
    listed = 0;
  };
  for (size_t word = 0; word < named.size(); ++word) {
    for (uint64_t bits = named[word]; bits != 0; bits &= bits - 1) {
      ids += (listed == 0 ? "" : ",") + std::to_string(word * 64 + std::countr_zero(bits));
      if (++listed == kIdsPerRead) test();
    }
  }
  test();
  named = std::move(kept);
  return stay;
}

// A turn at reading a keyword's rows whole from a search index (SearchCaches::read_turns), held
// while it lives; none without the caches.
class IndexReadTurn {
 public:
  explicit IndexReadTurn(SearchCaches* search)
      : turns_(search == nullptr ? nullptr : &search->read_turns) {
    if (turns_ != nullptr) turns_->acquire();
  }
  ~IndexReadTurn() {
    if (turns_ != nullptr) turns_->release();
  }
  IndexReadTurn(const IndexReadTurn&) = delete;
  IndexReadTurn& operator=(const IndexReadTurn&) = delete;

 private:
  std::counting_semaphore<64>* turns_;
};

// A character that lower() leaves as it is and that no other character lowers to, in any
// locale: ASCII other than letters, CJK, its punctuation and kana, the full-width punctuation
// and digits. A keyword of these alone is within the text exactly where it is within the lowered
// text, wildcards and escapes included, so its like folds no letter case.
bool HasNoLetterCase(uint32_t cp) {
  return FoldsPlainly(cp) && !((cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z'));
}

// Orders a kept row, in the order of ids, before an id.
bool ById(const std::pair<int64_t, int64_t>& row, int64_t id) { return row.second < id; }

using RowIt = std::vector<std::pair<int64_t, int64_t>>::const_iterator;

// The first of the rows [from, end), in the order of ids, whose id is not below `id`: found by
// steps that double from `from` and a binary search within the last, so that ids asked in
// ascending order cost the log of the rows between them, not of the rows left.
RowIt GallopById(RowIt from, RowIt end, int64_t id) {
  size_t step = 1;
  RowIt low = from;
  while (low != end) {
    const auto probe =
        low + static_cast<std::ptrdiff_t>(std::min(step, static_cast<size_t>(end - low)) - 1);
    if (probe->second >= id) return std::lower_bound(low, probe + 1, id, ById);
    low = probe + 1;
    step *= 2;
  }
  return end;
}

// The `column`-th number of an FTS5 index's size of a row (its docsize: a varint of SQLite's form
// for each column); -1 when the size holds fewer.
int64_t SizeOfColumn(std::string_view sizes, size_t column) {
  size_t at = 0;
  for (size_t c = 0;; ++c) {
    uint64_t value = 0;
    size_t i = 0;
    for (;; ++i) {
      if (at + i >= sizes.size()) return -1;
      const auto byte = static_cast<unsigned char>(sizes[at + i]);
      if (i == 8) {
        value = (value << 8) | byte;
        break;
      }
      value = (value << 7) | (byte & 0x7F);
      if ((byte & 0x80) == 0) break;
    }
    at += i + 1;
    if (c == column) return static_cast<int64_t>(value & 0x7FFFFFFFFFFFFFFF);
  }
}

// The characters of each article's title, author, inputer or body as the trigram index's sizes
// of the texts give them (a text goes into the index with two characters after it, so its
// trigrams are as many as its characters; a null has none, as an empty text), by id: kNoText
// where the index has no row, kLongText from that many characters on.
using TextLengths = std::vector<uint16_t>;
constexpr uint16_t kNoText = 0xFFFF;
constexpr uint16_t kLongText = 0xFFFE;

// The most characters a keyword of wildcards alone may ask for to be answered by TextLengths.
constexpr size_t kMostLengthAsked = kLongText;

// SQLite: `column`'s TextLengths of conn's database at `version` (ArticleDataVersion, read
// before), read from the index's sizes once for each version and shared in `search`; nullptr when
// a size cannot be read. Each database keeps its four columns' (two bytes an article each).
std::shared_ptr<const TextLengths> IndexedTextLengths(Connection& conn, SearchCaches* search,
                                                      const std::string& column, int64_t version) {
  const std::string key = conn.session().pool_key() + '\n' + column;
  if (search != nullptr) {
    std::lock_guard<std::mutex> lock(search->lengths_mutex);
    const auto at = search->lengths.find(key);
    if (at != search->lengths.end() && at->second.version == version) return at->second.lengths;
  }
  const bool body = column == "d_content";
  const size_t place = body || column == "d_title" ? 0 : column == "d_author" ? 1 : 2;
  const std::string sql = "select id, sz from " +
                          std::string(body ? kArticleBodyTable : kArticleTextTable) +
                          "_docsize order by id";
  auto lengths = std::make_shared<TextLengths>();
  {
    const IndexReadTurn turn(search);
    std::unique_ptr<db::Statement> st = conn.session().PrepareNative(sql);
    conn.CountStatement(sql, *st);
    st->Bind({});
    while (st->Step()) {
      const int64_t id = st->Column(0).ToInt64Or(-1);
      if (id < 0 || id > std::numeric_limits<int32_t>::max()) continue;
      const Variant sizes = st->Column(1);
      const std::string* text = std::get_if<std::string>(&sizes.raw());
      const int64_t length = text == nullptr ? -1 : SizeOfColumn(*text, place);
      if (length < 0) return nullptr;
      if (static_cast<size_t>(id) >= lengths->size()) {
        lengths->resize(std::max(static_cast<size_t>(id) + 1, lengths->size() * 3 / 2), kNoText);
      }
      (*lengths)[static_cast<size_t>(id)] =
          static_cast<uint16_t>(std::min<int64_t>(length, kLongText));
    }
  }
  if (search == nullptr) return lengths;
  std::lock_guard<std::mutex> lock(search->lengths_mutex);
  SearchCaches::TextLengths& entry = search->lengths[key];
  if (entry.version <= version) entry = {version, lengths};
  return lengths;
}

// SQLite: the listed articles (`listed`, kept in the order of ids) whose `column` holds at least
// `least` (below kMostLengthAsked) characters and is not null, from IndexedTextLengths: no text is
// read, but for `least` 0 those of none, to tell a null from an empty text. nullptr when the
// lengths cannot be read.
std::shared_ptr<const BodyMatches> TextsAtLeast(Connection& conn, SearchCaches* search,
                                                const std::string& column, size_t least,
                                                const BodyMatches& listed, int64_t version) {
  const std::shared_ptr<const TextLengths> lengths =
      IndexedTextLengths(conn, search, column, version);
  if (lengths == nullptr) return nullptr;
  const auto& rows = listed.rows;
  const int64_t top = rows.empty() ? -1 : rows.back().second;
  std::vector<uint64_t> empty(static_cast<size_t>(top + 64) / 64);
  size_t none = 0;
  auto matches = std::make_shared<BodyMatches>();
  for (const auto& row : rows) {
    const int64_t id = row.second;
    const uint16_t length =
        id >= 0 && static_cast<size_t>(id) < lengths->size() ? (*lengths)[id] : kNoText;
    if (length == kNoText) continue;
    if (length > 0 && length >= least) {
      matches->rows.emplace_back(0, id);
    } else if (least == 0) {
      empty[static_cast<size_t>(id) / 64] |= uint64_t{1} << (id % 64);
      ++none;
    }
  }
  if (none > 0 && KeepArticlesWhere(conn, ArticleTextLike(conn.engine(), column, "%"), empty) > 0) {
    for (size_t word = 0; word < empty.size(); ++word) {
      for (uint64_t bits = empty[word]; bits != 0; bits &= bits - 1) {
        matches->rows.emplace_back(
            0, static_cast<int64_t>(word * 64 + static_cast<size_t>(std::countr_zero(bits))));
      }
    }
    std::sort(matches->rows.begin(), matches->rows.end(),
              [](const auto& a, const auto& b) { return a.second < b.second; });
  }
  return matches;
}

// PostgreSQL: the like of a body keyword whose index condition holds exactly where the like does,
// to go beside that condition in its place: a keyword of one or two characters without wildcards
// or escapes whose lowering is plain (ASCII, CJK and full-width punctuation) and that holds no
// mark (which the sequences write as one), which the bodies' sequences hold as its own word or
// the start of one. Only a body the index keeps unsplit (one of a third of a mebibyte or more,
// whose lowered sequences might pass a mebibyte) is read and tested then: every other body the
// index names is a match, and the bodies, most of them stored apart from their rows, are not
// read. nullopt for any other keyword, column or database.
std::optional<ListCondition> LikeBesideExactBodyKey(SqlEngine engine, const std::string& column,
                                                    const std::string& keyword) {
  if (engine != SqlEngine::kPostgres || column != "d_content" ||
      keyword.find_first_of("%_\\\x01") != std::string::npos) {
    return std::nullopt;
  }
  const std::vector<uint32_t> characters = CodePoints(keyword);
  if (characters.empty() || characters.size() > 2 ||
      !std::all_of(characters.begin(), characters.end(), FoldsPlainly) ||
      std::any_of(characters.begin(), characters.end(), IsBodyMark)) {
    return std::nullopt;
  }
  ListCondition like = ArticleTextLike(engine, column, keyword);
  like.sql = PgLikeOnUnsplitBodies(like.sql);
  return like;
}

}  // namespace

bool KeywordHasNoLetterCase(const std::string& keyword) {
  const std::vector<uint32_t> characters = CodePoints(keyword);
  return std::all_of(characters.begin(), characters.end(),
                     [](uint32_t cp) { return HasNoLetterCase(cp); });
}

std::optional<size_t> WildcardsAloneLength(std::string_view keyword) {
  if (keyword.empty() || keyword.find_first_not_of("%_") != std::string_view::npos) {
    return std::nullopt;
  }
  return static_cast<size_t>(std::count(keyword.begin(), keyword.end(), '_'));
}

namespace {

// PostgreSQL: the pattern ArticleTextLike binds for `keyword`, '%' on either side.
std::string PostgresLikePattern(const std::string& keyword) {
  return "%" + (KeywordHasNoLetterCase(keyword) ? CaseSensitiveLikeText(keyword) : keyword) + "%";
}

}  // namespace

std::string CaseSensitiveLikeText(std::string_view text) {
  // ~~ takes a backslash as its escape and has no ESCAPE clause: a doubled backslash stands for
  // itself, as a backslash does in SQLite's like and in the dialect's ILIKE ... ESCAPE ''.
  std::string out;
  out.reserve(text.size());
  for (char c : text) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return out;
}

ListCondition ArticleTextLike(SqlEngine engine, const std::string& column,
                              const std::string& keyword) {
  const ConditionKind kind =
      IsLoggedColumn(column) ? ConditionKind::kLogged : ConditionKind::kUnlogged;
  if (const std::optional<size_t> least = WildcardsAloneLength(keyword)) {
    // Like's wildcards alone: '%' takes any run, every '_' one character, so the like holds for
    // every text of at least as many characters as the keyword has '_', and never for a null.
    // Tested without matching each text against the pattern.
    if (*least == 0) return ListCondition{column + " is not null", {}, kind};
    if (engine != SqlEngine::kPostgres) {
      // substr walks the text only to its n-th character (to the first NUL, as like stops
      // there), where length() counts every character of a long body.
      return ListCondition{
          "substr(" + column + ", ?, 1) <> ''", {Variant(static_cast<long long>(*least))}, kind};
    }
    // octet_length reads a stored text's size without taking it out of its compressed or
    // out-of-line form: a text of four bytes a character (the most any server encoding takes)
    // holds the characters whatever they are, and only the shorter ones are counted.
    const std::string text = "cast(" + column + " as text)";
    return ListCondition{
        "(octet_length(" + text + ") >= ? or char_length(" + text + ") >= ?)",
        {Variant(static_cast<long long>(*least) * 4), Variant(static_cast<long long>(*least))},
        kind};
  }
  const std::vector<uint32_t> characters = CodePoints(keyword);
  const bool caseless = std::all_of(characters.begin(), characters.end(), HasNoLetterCase);
  if (engine != SqlEngine::kPostgres) {
    // A keyword without letter case or wildcards is within a text exactly where its bytes are:
    // folirex_holds (platform/db/sqlite_provider.cpp) finds the rows the like finds, comparing
    // bytes where the like decodes and folds every character (twice its time over a body).
    if (caseless && !characters.empty() && keyword.find_first_of("%_") == std::string::npos) {
      return ListCondition{"folirex_holds(" + column + ", ?)", {Variant(keyword)}, kind};
    }
    // The pattern is made around the bound keyword: SQLite compiles a statement again at every
    // run whose bare "like ?" is bound anew (it plans such a like by its pattern), which cost a
    // repeated search as much again as its rows.
    return ListCondition{column + " like '%'+?+'%'", {Variant(keyword)}, kind};
  }
  // The dialect's like is ILIKE there, which lowers the whole text of every row it tests (three
  // times the cost of the test itself over a body). A keyword without letter case finds the same
  // rows by the case-sensitive like (~~).
  // The dialect writes like as ILIKE ... ESCAPE '', so that a backslash is text there as in
  // SQLite; ~~ is given the pattern with its backslashes doubled (PostgresLikePattern).
  const std::string like = "cast(" + column + " as text) " + (caseless ? "~~" : "like") + " ?";
  std::vector<Variant> pattern{Variant(PostgresLikePattern(keyword))};
  size_t length = 0;
  LongestLiteral(keyword, &length);
  if (length >= 3) return ListCondition{like, std::move(pattern), kind};
  // The planner guesses a pattern's share of the rows from its bytes (a fifth each): a common
  // word of two Chinese characters looks like one row in thousands, and a walk of the list in its
  // order that stops after a page's rows looks dearer than reading and sorting every match.
  // Within coalesce the planner takes it for half the rows; a where clause keeps the same rows
  // (1 = 0, since the dialect writes false as a number).
  return ListCondition{"coalesce(" + like + ", 1 = 0)", std::move(pattern), kind};
}

std::vector<std::string> KeywordBoundTexts(const std::string& keyword) {
  if (keyword.empty() || WildcardsAloneLength(keyword)) return {};
  size_t length = 0;
  return {PostgresLikePattern(keyword), LongestLiteral(keyword, &length)};
}

ListQuery WithKeyword(SqlEngine engine, const ListQuery& listed, const std::string& column,
                      const std::string& keyword) {
  ListQuery matches = listed;
  matches.And(ArticleTextLike(engine, column, keyword));
  return matches;
}

// The search's index condition, narrowing the articles to a superset of those whose column is
// like the pattern (the like condition beside it decides): SQLite's trigram index of the titles
// takes the pattern itself when a run of it has three characters or more, that of the bodies the
// trigrams of those runs, and both find a shorter run among the terms that begin with it;
// PostgreSQL looks for the run's one- or two-character sequences among those of the titles,
// authors or inputers, or of the bodies. nullopt when no index serves the keyword (only
// wildcards, or a short run of other characters).
std::optional<ListCondition> ArticleTextIndexCondition(SqlEngine engine, const std::string& column,
                                                       const std::string& keyword) {
  const bool body = column == "d_content";
  if (!body && column != "d_title" && column != "d_author" && column != "d_inputer") {
    return std::nullopt;
  }
  // SQLite's conditions name the index's rows; PostgreSQL's test the row's own text.
  size_t length = 0;
  std::string run = LongestLiteral(keyword, &length);
  if (engine == SqlEngine::kPostgres) {
    // A backslash escapes the character after it in like's pattern, so a keyword holding one is
    // left to the like alone.
    if (length == 0 || keyword.find('\\') != std::string::npos) return std::nullopt;
    if (body) {
      // The bodies' index of their two-character sequences (folirex_body_pairs, core/
      // pg_body_index.h): it names the bodies that hold the run's sequences that begin with
      // a letter without reading a body, and the like beside it decides.
      if (!PgBodyIndexServes(CodePoints(run))) return std::nullopt;
      return PgBodyIndexCondition(run);
    }
    // The rows whose lowered text holds the lowered run's sequences among its one- and
    // two-character ones (folirex_short_grams, core/list_structures.cpp): the run itself when it
    // is that short, else each two characters of it in a row.
    return ListCondition{
        "folirex_short_grams(cast(" + column + " as text)) @> folirex_short_key(?)",
        {Variant(run)},
        ConditionKind::kLogged};
  }
  if (length >= 3) {
    const std::string table(body ? kArticleBodyTable : kArticleTextTable);
    if (body) {
      // The bodies that hold the trigrams of its runs, found in the index alone: the like beside
      // it then reads only the listed bodies among them (the like on the index's own table reads
      // every body that holds them, of every channel).
      return ListCondition{"d_id in (select rowid from " + table + " where " + table + " match ?)",
                           {Variant(BodyTrigramQuery(keyword))},
                           ConditionKind::kNarrowing};
    }
    if (keyword.find_first_of("%_") == std::string::npos) {
      // No wildcard: the keyword's trigrams in a row, found in the index alone.
      ListCondition rows = PhraseRows(column, keyword);
      rows.sql = "d_id in (" + rows.sql + ")";
      return rows;
    }
    return ListCondition{"d_id in (select rowid from " + table + " where " + column + " like ?)",
                         {Variant("%" + keyword + "%")},
                         ConditionKind::kNarrowing};
  }
  const std::string term = ShortRunTerm(run, length);
  if (term.empty()) return std::nullopt;
  ListCondition terms = TermsBeginningWith(column, term);
  terms.sql = "d_id in (select doc from " +
              std::string(body ? kArticleBodyTerms : kArticleTextTerms) + " where " + terms.sql +
              ")";
  terms.kind = ConditionKind::kNarrowing;
  return terms;
}

std::string ArticleHintNarrowed(Connection& conn, ListCaches* lists, bool narrowed) {
  if (conn.engine() == SqlEngine::kPostgres) return "";
  if (!narrowed) return ArticleHintInTimeOrder(conn, lists);
  return "not indexed";
}

std::string ArticleHintInTimeOrder(Connection& conn, ListCaches* lists) {
  if (conn.engine() == SqlEngine::kPostgres || !ListStructuresReady(conn, lists)) return "";
  return "indexed by " + std::string(kArticleTimeOrderIndex);
}

std::string ArticleHintInIdOrder(SqlEngine engine) {
  return engine == SqlEngine::kPostgres ? "" : "not indexed";
}

bool IndexReadsMatches(SqlEngine engine, const std::string& column, const std::string& keyword) {
  if (engine != SqlEngine::kSqlite || (column != "d_content" && column != "d_title" &&
                                       column != "d_author" && column != "d_inputer")) {
    return false;
  }
  // Wildcards alone: the index's sizes of the texts (TextsAtLeast).
  if (WildcardsAloneLength(keyword)) return true;
  if (keyword.find_first_of("%_") != std::string::npos) return false;
  // U+0001 pads the indexed texts: a keyword that holds it would meet the padding.
  const std::vector<uint32_t> characters = CodePoints(keyword);
  return !characters.empty() && std::all_of(characters.begin(), characters.end(),
                                            [](uint32_t c) { return FoldsPlainly(c) && c != 1; });
}

namespace {

// SQLite: those of `listed_ids` (kept in the order of ids) whose `column` the trigram index names
// for `keyword` (ListedIndexMatches, which has checked that the index reads it), of `characters`
// characters; nullptr when a short one begins too many terms.
std::shared_ptr<const BodyMatches> IndexNamedMatches(Connection& conn, SearchCaches* search,
                                                     const std::string& column,
                                                     const std::string& keyword, size_t characters,
                                                     const BodyMatches& listed_ids) {
  const bool body = column == "d_content";
  const bool phrase = characters >= 3;
  // The texts that hold a short keyword are those with a trigram that begins with it.
  const ListCondition terms = phrase
                                  ? PhraseRows(column, keyword)
                                  : TermsBeginningWith(column, ShortRunTerm(keyword, characters));
  const std::string sql =
      phrase ? terms.sql
             : "select doc from " + std::string(body ? kArticleBodyTerms : kArticleTextTerms) +
                   " where " + terms.sql + " limit " + std::to_string(kMostShortTermsRead + 1);
  // The listed articles the index names, each once, marked a bit each: the texts' ids are
  // not held, however many the index reads. Each is looked for among the listed ids by a
  // test of their bit where they are dense enough to keep bits (IdBits), else by steps
  // from the last one found.
  const auto& rows = listed_ids.rows;
  const std::vector<uint64_t>& listed_bits = listed_ids.IdBits();
  const int64_t top = rows.empty() ? -1 : rows.back().second;
  std::vector<uint64_t> named(static_cast<size_t>(top + 64) / 64);
  size_t found = 0;
  {
    const IndexReadTurn turn(search);
    std::unique_ptr<db::Statement> st = conn.session().PrepareNative(sql);
    conn.CountStatement(sql, *st);
    st->Bind(terms.values);
    size_t read = 0;
    int64_t previous = 0;
    auto at = rows.begin();
    while (st->Step()) {
      if (!phrase && ++read > static_cast<size_t>(kMostShortTermsRead)) return nullptr;
      const int64_t id = st->Column(0).ToInt64Or(-1);
      if (id < 0 || id > top) continue;
      const size_t word = static_cast<size_t>(id) / 64;
      const uint64_t bit = uint64_t{1} << (id % 64);
      if ((named[word] & bit) != 0) continue;
      if (!listed_bits.empty()) {
        if ((listed_bits[word] & bit) == 0) continue;
      } else {
        // Each term's ids come in order; the next term's begin again.
        if (id < previous) at = rows.begin();
        previous = id;
        at = GallopById(at, rows.end(), id);
        if (at == rows.end() || at->second != id) continue;
      }
      named[word] |= bit;
      ++found;
    }
    // The bodies' index names the listed bodies that hold every trigram of a longer
    // keyword: those are read and tested.
    if (body && phrase && characters > 3) {
      found = KeepArticlesWhere(conn, ArticleTextLike(conn.engine(), column, keyword), named);
    }
  }
  auto matches = std::make_shared<BodyMatches>();
  matches->rows.reserve(found);
  for (size_t word = 0; word < named.size(); ++word) {
    for (uint64_t bits = named[word]; bits != 0; bits &= bits - 1) {
      matches->rows.emplace_back(
          0, static_cast<int64_t>(word * 64 + static_cast<size_t>(std::countr_zero(bits))));
    }
  }
  return matches;
}

}  // namespace

std::shared_ptr<const BodyMatches> ListedIndexMatches(Connection& conn, ListCaches* lists,
                                                      SearchCaches* search, AskedLists* asked,
                                                      const std::string& column,
                                                      const std::string& keyword,
                                                      const ListQuery& listed, int64_t version) {
  if (!IndexReadsMatches(conn.engine(), column, keyword)) return nullptr;
  const std::vector<uint32_t> characters = CodePoints(keyword);
  EnsureListStructures(conn, lists);
  if (!SearchIndexReady(conn, SearchReadyOf(lists))) return nullptr;
  const ListQuery matches = WithKeyword(conn.engine(), listed, column, keyword);
  const bool keep = AskedBefore(asked, conn, "index", matches);
  // The listed ids, kept in memory and brought forward through the change log after a change;
  // read whole from the time index, which holds what the list's conditions test.
  auto listed_ids_of = [&] {
    return KeptBodyMatches(
        conn, search, listed,
        [&] {
          ListQuery in_time = listed;
          in_time.hint = ArticleHintInTimeOrder(conn, lists);
          return in_time;
        },
        /*by_time=*/false, version);
  };
  if (const std::optional<size_t> least = WildcardsAloneLength(keyword)) {
    if (*least >= kMostLengthAsked) return nullptr;
    return KeptMatches(
        conn, search, matches, /*by_time=*/false, version,
        [&]() -> std::shared_ptr<const BodyMatches> {
          const std::shared_ptr<const BodyMatches> ids = listed_ids_of();
          return ids == nullptr ? nullptr
                                : TextsAtLeast(conn, search, column, *least, *ids, version);
        },
        keep);
  }
  return KeptMatches(
      conn, search, matches, /*by_time=*/false, version,
      [&]() -> std::shared_ptr<const BodyMatches> {
        const std::shared_ptr<const BodyMatches> listed_ids = listed_ids_of();
        return listed_ids == nullptr ? nullptr
                                     : IndexNamedMatches(conn, search, column, keyword,
                                                         characters.size(), *listed_ids);
      },
      keep);
}

const std::vector<uint64_t>& BodyMatches::IdBits() const {
  std::call_once(bits_made_, [this] {
    // Kept in the order of ids, the last is the largest. Bits that would take more room than the
    // rows themselves (16 bytes each) are not made.
    const int64_t top = rows.empty() ? -1 : rows.back().second;
    if (top < 0 || static_cast<uint64_t>(top) / 128 >= rows.size()) return;
    bits_.assign(static_cast<size_t>(top + 64) / 64, 0);
    for (const auto& row : rows) {
      if (row.second >= 0) {
        bits_[static_cast<size_t>(row.second) / 64] |= uint64_t{1} << (row.second % 64);
      }
    }
  });
  return bits_;
}

double ListRowsPassed(int64_t matches, int64_t list, int64_t page, int64_t page_size) {
  return static_cast<double>(page) * static_cast<double>(page_size) * static_cast<double>(list) /
         static_cast<double>(matches > 0 ? matches : 1);
}

bool KeywordReadsListInOrder(SqlEngine engine, int64_t matches, int64_t list, int64_t page,
                             int64_t page_size) {
  const double scanned = ListRowsPassed(matches, list, page, page_size);
  if (engine == SqlEngine::kPostgres && matches <= kMostMatchesReadByIdsFirst &&
      scanned > 4.0 * static_cast<double>(page_size)) {
    return false;
  }
  return scanned < static_cast<double>(matches);
}

bool FirstKeywordReadsListInOrder(SqlEngine engine, int64_t matches, int64_t list, int64_t page,
                                  int64_t page_size) {
  if (engine != SqlEngine::kPostgres || matches <= 0) return false;
  return ListRowsPassed(matches, list, page, page_size) < static_cast<double>(matches);
}

KeywordMatches CountKeywordMatches(Connection& conn, ListCaches* lists, SearchCaches* search,
                                   const std::string& column, const std::string& keyword,
                                   const ListQuery& listed, int64_t requested_page,
                                   int64_t page_size, BodyMatchOrder body_order,
                                   std::optional<int64_t> counted) {
  EnsureListStructures(conn, lists);
  const ListQuery where = WithKeyword(conn.engine(), listed, column, keyword);
  // Until the search's indexes are built, the like alone finds the same rows.
  const bool indexed = SearchIndexReady(conn, SearchReadyOf(lists));
  // The matches narrowed by the index condition, found only when they are counted or read whole.
  auto narrowed = [&] {
    std::optional<ListCondition> index_condition =
        indexed ? ArticleTextIndexCondition(conn.engine(), column, keyword) : std::nullopt;
    size_t length = 0;
    const std::string run = LongestLiteral(keyword, &length);
    if (conn.engine() == SqlEngine::kSqlite && column == "d_content" && length < 3 &&
        index_condition) {
      // A short keyword that most bodies hold is looked for in the bodies alone.
      ListQuery instances;
      instances.table = std::string(kArticleBodyTerms);
      instances.id_column = "doc";
      instances.first_rows = kMostShortBodyTerms;
      instances.And(TermsBeginningWith(column, ShortRunTerm(run, length)));
      if (CachedCount(conn, lists, instances) >= kMostShortBodyTerms) index_condition.reset();
    }
    if (conn.engine() == SqlEngine::kPostgres && column == "d_content" && length == 1 &&
        index_condition && counted && *counted * 4 > CachedCount(conn, lists, listed)) {
      // A character that most bodies hold: PostgreSQL does not take the bodies' index for it and
      // computes each listed body's sequences instead (a third of a millisecond a body); the like
      // alone reads them some twenty times faster.
      index_condition.reset();
    }
    const std::optional<ListCondition> exact =
        index_condition ? LikeBesideExactBodyKey(conn.engine(), column, keyword) : std::nullopt;
    ListQuery narrowed = exact ? listed : where;
    if (exact) narrowed.And(*exact);
    narrowed.hint = ArticleHintNarrowed(conn, lists, index_condition.has_value());
    if (index_condition) narrowed.And(std::move(*index_condition));
    return narrowed;
  };
  KeywordMatches found;
  if (body_order != BodyMatchOrder::kNone) {
    found.body = KeptBodyMatches(
        conn, search, where,
        [&] {
          ListQuery source = narrowed();
          // Without the index, the table is read in its own order rather than through an index.
          if (source.conditions.size() == where.conditions.size()) {
            source.hint = ArticleHintInIdOrder(conn.engine());
          }
          return source;
        },
        body_order == BodyMatchOrder::kTime, ArticleDataVersion(conn, lists));
  }
  if (found.body) {
    found.matches = static_cast<int64_t>(found.body->rows.size());
  } else {
    found.narrowed = narrowed();
    found.matches = CachedCount(conn, lists, found.narrowed);
    found.list = CachedCount(conn, lists, listed);
  }
  found.page = std::min<int64_t>(std::max<int64_t>(requested_page, 1),
                                 (found.matches + page_size - 1) / page_size);
  return found;
}

namespace {

// "yyyy-mm-dd hh:mm:ss" as the number yyyymmddhhmmss, which orders as the text does; nullopt for
// any other text.
std::optional<int64_t> PlainTimeText(std::string_view text) {
  constexpr std::string_view kForm = "0000-00-00 00:00:00";
  if (text.size() != kForm.size()) return std::nullopt;
  int64_t number = 0;
  for (size_t i = 0; i < kForm.size(); ++i) {
    if (kForm[i] == '0') {
      if (text[i] < '0' || text[i] > '9') return std::nullopt;
      number = number * 10 + (text[i] - '0');
    } else if (text[i] != kForm[i]) {
      return std::nullopt;
    }
  }
  return number;
}
std::optional<int64_t> PlainTime(const Variant& value) {
  if (value.IsNull()) return std::nullopt;
  return PlainTimeText(value.ToString());
}

using MatchRows = std::vector<std::pair<int64_t, int64_t>>;

// `sql` with each "?" outside quoted text that binds a whole number written in its place, and the
// values left to bind.
std::pair<std::string, std::vector<Variant>> NumbersWritten(const std::string& sql,
                                                            const std::vector<Variant>& values) {
  std::vector<Variant> bound;
  std::string text = ReplacePlaceholders(sql, [&](size_t i) -> std::string {
    if (i < values.size() && values[i].type() == Variant::Type::kInteger) {
      return std::to_string(values[i].ToInt64Or(0));
    }
    if (i < values.size()) bound.push_back(values[i]);
    return "?";
  });
  return {std::move(text), std::move(bound)};
}

// The rows of `select` (d_id, then the time as text when `by_time`), sorted; nullopt when there
// are more than `most` or a time is not plain.
std::optional<MatchRows> ReadMatchRows(Connection& conn, const std::string& select,
                                       const std::vector<Variant>& values, bool by_time,
                                       size_t most) {
  MatchRows rows;
  if (conn.engine() == SqlEngine::kPostgres) {
    // Joined into one text by the server, which spares the backend a message and the host a
    // result row per match (a few hundred microseconds a request for a keyword of a thousand).
    // Each row "id time", the time as the select's own text (none for a null, which is not
    // plain).
    // The keyword bound, and the ids (the channel's, the class's) written in the text: one
    // statement for each list, kept prepared under its general plan, which reads the keyword's
    // index whatever the keyword (the session's plans for the search's keyword are set aside).
    // Planned for each keyword, a rare one's matches took longer to plan than to read.
    auto [list, bound] = NumbersWritten(select, values);
    const std::string joined =
        "select string_agg(cast(d_id as text)" +
        std::string(by_time ? " || ' ' || coalesce(cast(d_addtime as text), '')" : "") +
        ", ',') from (" + list + ") folirex_matches";
    const PlannedForValues general(conn, {});
    std::unique_ptr<db::Statement> st = conn.session().Prepare(joined);
    conn.CountStatement(joined, *st);
    st->Bind(bound);
    // The text is read where the value holds it, and the driver's result let go before the rows
    // are made, sized once: at a common keyword's hundreds of thousands of matches each copy is
    // megabytes, and sixteen readers at once held them all.
    const Variant joined_value = st->Step() ? st->Column(0) : Variant::Null();
    st.reset();
    const std::string* held = std::get_if<std::string>(&joined_value.raw());
    const std::string_view text = held != nullptr ? std::string_view(*held) : std::string_view();
    if (!text.empty()) {
      const size_t count = static_cast<size_t>(std::count(text.begin(), text.end(), ',')) + 1;
      if (count > most) return std::nullopt;
      rows.reserve(count);
    }
    for (size_t at = 0; at < text.size();) {
      const size_t end = std::min(text.find(',', at), text.size());
      const std::string_view row(text.data() + at, end - at);
      at = end + 1;
      const size_t space = by_time ? row.find(' ') : row.size();
      if (space == std::string_view::npos) return std::nullopt;
      int64_t id = 0;
      std::from_chars(row.data(), row.data() + space, id);
      int64_t time = 0;
      if (by_time) {
        const std::optional<int64_t> plain = PlainTimeText(row.substr(space + 1));
        if (!plain) return std::nullopt;
        time = *plain;
      }
      rows.emplace_back(time, id);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  std::unique_ptr<db::Statement> st = conn.session().Prepare(select);
  conn.CountStatement(select, *st);
  st->Bind(values);
  while (st->Step()) {
    if (rows.size() >= most) return std::nullopt;
    int64_t time = 0;
    if (by_time) {
      const std::optional<int64_t> plain = PlainTime(st->Column(1));
      if (!plain) return std::nullopt;
      time = *plain;
    }
    rows.emplace_back(time, st->Column(0).ToInt64Or(0));
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

// The most changed articles tested again to bring kept matches forward; more read them whole.
constexpr size_t kMostArticlesRetested = 2000;

// `kept` brought forward from `from` to `*now`, the version it reads: of the articles changed
// since, those that `matches` no longer holds dropped and those it now holds put in their
// places. `kept` itself when none of them moves; nullptr when the change log cannot name the
// changes, or when an article changed again while they were read.
std::shared_ptr<const BodyMatches> BringForward(Connection& conn,
                                                const std::shared_ptr<const BodyMatches>& kept,
                                                int64_t from, const ListQuery& matches,
                                                bool by_time, int64_t* now) {
  if (matches.table != "Vantrel_Article" || matches.first_rows > 0) return nullptr;
  // Ids alone: what each changed article is now is read below, with the matches' own condition.
  // Every version since must show a logged row: the matches are read again rather than trusted
  // across a version the log says nothing of.
  const std::optional<LogReplay> replay = ReplaySince(
      conn, from, nullptr,
      ReplayBounds{.most_articles = kMostArticlesRetested, .every_version_logged = true});
  if (!replay) return nullptr;
  *now = replay->version;
  // When an article's time moved, its kept row (under its old time) is found by its id.
  const bool moved = replay->moved;
  std::vector<int64_t> changed;
  changed.reserve(replay->articles.size());
  for (const ChangedArticle& a : replay->articles) changed.push_back(a.id);
  if (changed.empty()) return kept;
  // Each changed article's time and whether it is selected now, with the version in the same
  // reading.
  const std::string condition = matches.conditions.empty() ? "1 = 1" : matches.Condition();
  const ListQuery changed_rows = ArticlesWithIds(changed, ArticleHintInIdOrder(conn.engine()));
  const std::string sql =
      "select d_id, cast(d_addtime as text), case when " + condition +
      " then 1 else 0 end, (select d_version from Vantrel_ArticleVersion where d_id = 1) from " +
      changed_rows.Source();
  std::vector<Variant> values = matches.Values();
  const std::vector<Variant> ids = changed_rows.Values();
  values.insert(values.end(), ids.begin(), ids.end());
  std::unique_ptr<db::Statement> st = conn.session().Prepare(sql);
  conn.CountStatement(sql, *st);
  st->Bind(values);
  MatchRows dropped, added;
  std::vector<int64_t> present;  // the changed articles still there
  std::vector<int64_t> rekeyed;  // those whose kept row, if any, goes by its id
  while (st->Step()) {
    if (st->Column(3).ToInt64Or(-1) != *now) return nullptr;
    const int64_t id = st->Column(0).ToInt64Or(0);
    const bool selected = st->Column(2).ToInt64Or(0) != 0;
    present.push_back(id);
    const std::optional<int64_t> time = PlainTime(st->Column(1));
    if (by_time && !time) {
      // Every kept time is plain: such an article is not kept, and cannot be.
      if (selected) return nullptr;
      if (moved) rekeyed.push_back(id);
      continue;
    }
    const std::pair<int64_t, int64_t> key(by_time ? *time : 0, id);
    const bool held = std::binary_search(kept->rows.begin(), kept->rows.end(), key);
    if (moved) {
      // Held under its time now and selected: as it was. Otherwise any row of its id goes.
      if (held && selected) continue;
      rekeyed.push_back(id);
      if (selected) added.push_back(key);
      continue;
    }
    if (held && !selected) dropped.push_back(key);
    if (!held && selected) added.push_back(key);
  }
  std::sort(present.begin(), present.end());
  std::vector<int64_t> gone;  // deleted since: their times are not known, so looked for by id
  std::set_difference(changed.begin(), changed.end(), present.begin(), present.end(),
                      std::back_inserter(gone));
  gone.insert(gone.end(), rekeyed.begin(), rekeyed.end());
  std::sort(gone.begin(), gone.end());
  if (dropped.empty() && added.empty() && gone.empty()) return kept;
  std::sort(dropped.begin(), dropped.end());
  std::sort(added.begin(), added.end());
  MatchRows staying;
  staying.reserve(kept->rows.size());
  for (const auto& row : kept->rows) {
    if (!std::binary_search(dropped.begin(), dropped.end(), row) &&
        !std::binary_search(gone.begin(), gone.end(), row.second)) {
      staying.push_back(row);
    }
  }
  auto next = std::make_shared<BodyMatches>();
  next->rows.reserve(staying.size() + added.size());
  std::merge(staying.begin(), staying.end(), added.begin(), added.end(),
             std::back_inserter(next->rows));
  return next;
}

}  // namespace

SearchCaches::SearchCaches()
    : read_turns(std::clamp<std::ptrdiff_t>(std::thread::hardware_concurrency(), 2, 64)) {}

std::vector<int64_t> KeptMatchesPageIds(const BodyMatches& body, bool descending, int64_t offset,
                                        int64_t count) {
  const int64_t size = static_cast<int64_t>(body.rows.size());
  std::vector<int64_t> ids;
  for (int64_t i = std::max<int64_t>(offset, 0); i < std::min(offset + count, size); ++i) {
    ids.push_back(body.rows[static_cast<size_t>(descending ? size - 1 - i : i)].second);
  }
  return ids;
}

std::shared_ptr<const BodyMatches> MatchesInTimeOrder(Connection& conn, const BodyMatches& by_id) {
  const auto& ids = by_id.rows;
  auto matches = std::make_shared<BodyMatches>();
  matches->rows.reserve(ids.size());
  if (ids.empty()) return matches;
  // One statement of kIdsPerRead bound ids for every read, the last read's spare places bound to
  // null (which no id equals): compiled once, not once for each few hundred matches.
  constexpr size_t kIdsPerRead = 500;
  ListQuery read;
  read.hint = ArticleHintInIdOrder(conn.engine());
  read.And(ConditionKind::kLogged, "d_id in (" + Placeholders(kIdsPerRead) + ")",
           std::vector<Variant>(kIdsPerRead));
  const std::string sql = read.Select("d_id, cast(d_addtime as text)");
  std::unique_ptr<db::Statement> st = conn.session().Prepare(sql);
  std::vector<Variant> some(kIdsPerRead);
  for (size_t from = 0; from < ids.size(); from += kIdsPerRead) {
    for (size_t i = 0; i < kIdsPerRead; ++i) {
      some[i] = from + i < ids.size() ? Variant(static_cast<long long>(ids[from + i].second))
                                      : Variant::Null();
    }
    conn.CountStatement(sql, *st);
    st->Bind(some);
    while (st->Step()) {
      const std::optional<int64_t> time = PlainTime(st->Column(1));
      if (!time) return nullptr;
      matches->rows.emplace_back(*time, st->Column(0).ToInt64Or(0));
    }
  }
  std::sort(matches->rows.begin(), matches->rows.end());
  return matches;
}

std::vector<int64_t> ListPageIds(Connection& conn, const ListQuery& list, const BodyMatches* among,
                                 int64_t offset, int64_t count) {
  // Without a set to test against, the list's own condition finds the rows: the database stops
  // after the page's last.
  ListQuery walk = list;
  if (among == nullptr) walk.first_rows = offset + count;
  const std::string select = walk.Select("d_id");
  // A walk of the list in its order whatever the keyword its like tests: planned once.
  const PlannedForValues general(conn, {});
  std::unique_ptr<db::Statement> st = conn.session().Prepare(select);
  conn.CountStatement(select, *st);
  st->Bind(walk.Values());
  std::vector<int64_t> ids;
  int64_t seen = 0;
  while (seen < offset + count && st->Step()) {
    const int64_t id = st->Column(0).ToInt64Or(0);
    if (among != nullptr) {
      const auto at = std::lower_bound(among->rows.begin(), among->rows.end(), id, ById);
      if (at == among->rows.end() || at->second != id) continue;
    }
    if (seen++ >= offset) ids.push_back(id);
  }
  return ids;
}

std::shared_ptr<const BodyMatches> KeptBodyMatches(Connection& conn, SearchCaches* search,
                                                   const ListQuery& matches,
                                                   const std::function<ListQuery()>& source,
                                                   bool by_time, int64_t version) {
  return KeptMatches(
      conn, search, matches, by_time, version, [&]() -> std::shared_ptr<const BodyMatches> {
        ListQuery read = source();
        read.order.clear();
        std::optional<MatchRows> rows =
            ReadMatchRows(conn, read.Select(by_time ? "d_id, cast(d_addtime as text)" : "d_id"),
                          read.Values(), by_time, kMostBodyMatchesKept);
        if (!rows) return nullptr;
        auto whole = std::make_shared<BodyMatches>();
        whole->rows = std::move(*rows);
        return whole;
      });
}

std::shared_ptr<const BodyMatches> KeptMatches(
    Connection& conn, SearchCaches* search, const ListQuery& matches, bool by_time, int64_t version,
    const std::function<std::shared_ptr<const BodyMatches>()>& read_whole, bool keep) {
  const std::string key =
      conn.session().pool_key() + '\n' + (by_time ? "time" : "id") + '\n' + matches.Key();
  std::shared_ptr<SearchCaches::MatchSlot> slot;
  if (search != nullptr) {
    std::lock_guard<std::mutex> lock(search->matches_mutex);
    if (std::shared_ptr<SearchCaches::MatchSlot>* held = search->matches.Find(key)) {
      slot = *held;
    } else if (keep) {
      slot = std::make_shared<SearchCaches::MatchSlot>();
      search->matches.Insert(key, slot, 0);
    }
  }
  // Otherwise read for this request alone.
  if (slot == nullptr) {
    std::shared_ptr<const BodyMatches> whole = read_whole();
    return whole != nullptr && whole->rows.size() <= kMostBodyMatchesKept ? whole : nullptr;
  }
  std::lock_guard<std::mutex> slot_lock(slot->mutex);
  // Matches made at a later version than the caller read are as exact for it.
  if (slot->version == version) return slot->matches;
  // Brought forward (from a later version than the caller read too, as a reader that read the
  // version before a change can come after one that read it after) to the version it reads, or
  // read whole at the caller's.
  std::shared_ptr<const BodyMatches> next;
  int64_t made_at = version;
  if (slot->matches != nullptr) {
    next = BringForward(conn, slot->matches, slot->version, matches, by_time, &made_at);
    if (next == nullptr) made_at = version;
  }
  if (next == nullptr) {
    next = read_whole();
    if (next != nullptr && next->rows.size() > kMostBodyMatchesKept) next = nullptr;
  }
  slot->version = made_at;
  slot->matches = next;
  const size_t held = next == nullptr ? 0 : next->rows.size();
  std::lock_guard<std::mutex> lock(search->matches_mutex);
  // The least recently used go first; the slot just made stays while it fits alone.
  std::shared_ptr<SearchCaches::MatchSlot>* kept = search->matches.Peek(key);
  if (kept != nullptr && *kept == slot) search->matches.Recharge(key, held);
  return next;
}

}  // namespace folirex
