// The index of the articles' own keyword lists that an article page's related-articles block
// reads, so that the block costs a few index reads however rare its keywords are: the table
// Vantrel_ArticleKeyword holds one row (keyword, channel, add time, article) for each distinct
// entry between two "|" of the d_keyword of every approved article outside the recycle bin.
// Triggers on Vantrel_Article keep it (SQLite: pure SQL over json_each; PostgreSQL: a PL/pgSQL
// function), so every writer, present or future, on any host, the database's own shell among
// them, keeps it exact without knowing of it. An entry is kept as the article holds it and
// compared with the column's own letter-case folding (SQLite NOCASE, PostgreSQL citext), as the
// block's "d_keyword like '%|' + keyword + '|%'" compares it.
//
// EnsureArticleKeywordIndex creates the table and its triggers when the database lacks them and
// fills it from the rows already there, once per database and server (KeywordIndexMarks); several
// processes or hosts at once create it one after the other (the database's write lock or an
// advisory lock). Failures throw DbError.
#ifndef FOLIREX_CORE_ARTICLE_KEYWORDS_H_
#define FOLIREX_CORE_ARTICLE_KEYWORDS_H_

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/database_set.h"
#include "platform/cache/lru_cache.h"
#include "platform/db/connection.h"
#include "platform/db/variant.h"

namespace folirex {

inline constexpr std::string_view kArticleKeywordTable = "Vantrel_ArticleKeyword";

// The databases whose index the site server has made sure of, and those it is building in the
// background (the server's, core/site_caches.h; its build thread marks them too). Pending is
// apart from ready, whose lock a page's own build holds for as long as it takes.
struct KeywordIndexMarks {
  DatabaseSet ready;
  DatabaseSet pending;
};

// `again`: looks at the database even when the server made sure of it before (a database made
// again at the same place since). Returns at once, without the index, while the server builds it
// in the background (ArticleKeywordIndexBuild). Without `marks` it does nothing: the pages read
// the channel instead (KeywordArticlesSql).
void EnsureArticleKeywordIndex(Connection& conn, KeywordIndexMarks* marks, bool again = false);

// The build of the index after the server listens, so that a large site lacking it answers at
// once: from the object's making until Run has ended, EnsureArticleKeywordIndex with the same
// marks neither builds the index nor waits for it, and KeywordArticlesSql answers nullopt, so that
// the related-articles block reads the channel meanwhile (slower, the same rows). Run creates and
// fills the index, unless the database has it, as EnsureArticleKeywordIndex does (PostgreSQL: in
// one transaction; SQLite: in short steps, so that writers are not kept waiting past their busy
// timeout); failures throw DbError and leave the pages to make sure of it as before.
class ArticleKeywordIndexBuild {
 public:
  // `marks` must outlive the object.
  ArticleKeywordIndexBuild(Connection& conn, KeywordIndexMarks& marks);
  ~ArticleKeywordIndexBuild();
  ArticleKeywordIndexBuild(const ArticleKeywordIndexBuild&) = delete;
  ArticleKeywordIndexBuild& operator=(const ArticleKeywordIndexBuild&) = delete;

  // Whether the database lacks the index (or part of it).
  bool Needed();
  // True when the index had to be made (false: the database had it).
  bool Run();

 private:
  Connection& conn_;
  KeywordIndexMarks& marks_;
  std::string key_;
};

// What the related-articles block looks for: the approved articles of `channel_id` outside the
// recycle bin, other than `except_id`, whose keyword list holds one of `keywords` (trimmed, not
// empty), newest first, the first `rows` of them.
struct KeywordArticlesQuery {
  std::vector<std::string> keywords;
  int64_t channel_id = 0;
  int64_t except_id = 0;
  int64_t rows = 0;
};

// Where the index stands for the server (its marks), for the console's server page: being built
// in the background, made sure of, or neither yet (the first article page that needs it makes
// it). Without marks: neither yet.
enum class KeywordIndexState { kBuilding, kReady, kNotYet };
KeywordIndexState ArticleKeywordIndexState(Connection& conn, KeywordIndexMarks* marks);

// A select of one column, d_articleid, over the index (ensured by the caller), with its values
// appended to `params`: a set of article ids, each once, that holds the first `rows` articles
// the query lists whatever order ties in add time take (for each keyword its newest `rows`
// entries and every other one of the add time of the last of them). The caller reads the
// articles themselves by these ids to test and order them. nullopt when the index cannot answer
// and the caller reads the channel instead: `rows` is 0 (every match), a keyword holds a
// character that like reads as a wildcard or an escape (% _ \), there are more than
// kMostIndexedKeywords keywords, or the keywords are so common in the channel that reading it
// newest first meets the rows within a few hundred articles (by counts of the index's entries
// and the channel's articles kept for the process, taken again now and then: they choose between
// two reads of the same rows), or the index is not made sure of in `marks` yet (it is being
// built; without marks it never is). Counts run on conn.
//
// `counts` keeps the counts between requests (the site server's, core/site_caches.h); without it
// every call counts again.
struct KeywordCounts;
std::optional<std::string> KeywordArticlesSql(Connection& conn, const KeywordArticlesQuery& query,
                                              std::vector<Variant>* params,
                                              KeywordIndexMarks* marks,
                                              KeywordCounts* counts = nullptr);

// Counts by database and what they count, taken again every kRecountUses-th use: a count only
// chooses between two reads that give the same rows, so one a little behind costs time, never
// a wrong row. Used from several workers at once, under its mutex.
struct KeywordCounts {
  struct Entry {
    int64_t count = 0;
    int64_t uses = 0;
  };
  static constexpr size_t kMostEntries = 65536;
  static constexpr int64_t kRecountUses = 1024;
  std::mutex mutex;
  LruCache<std::string, Entry> entries{kMostEntries};  // a charge of 1 each
};
inline constexpr size_t kMostIndexedKeywords = 64;

}  // namespace folirex

#endif  // FOLIREX_CORE_ARTICLE_KEYWORDS_H_
