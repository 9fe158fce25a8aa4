// What keeps the public lists and the search flat however many articles a site holds: the
// article data version, a number that the database itself moves on every change to
// Vantrel_Article that can change a list's count (a row added or removed; its channel, class,
// subject, flags, approval or recycle state, title, author, inputer or body changed; each such
// change also written to the change log of core/article_change_log.h), and the search indexes of
// the titles, authors and inputers and of the bodies (SQLite: FTS5 trigram indexes; PostgreSQL:
// pg_trgm GIN indexes). Triggers on Vantrel_Article keep both, so every writer, present or
// future, on any host, keeps them exact without knowing of them.
//
// The structures are derived from the articles: EnsureListStructures creates them when a
// database lacks them (a site made before them, or a new site on its first use) and builds them
// from the rows already there, once per database and process. Safe from several threads and
// several processes or hosts at once (the database's write lock or an advisory lock serialises
// the creation). Failures throw DbError.
//
// CachedCount answers a pager's count from a process-wide cache re-checked against the data
// version: exact on every host. A count kept at an older version is brought forward by the
// changes logged since, and taken again only when the log cannot (a count it cannot read, one
// further behind than the log reaches).
#ifndef FOLIREX_CORE_LIST_STRUCTURES_H_
#define FOLIREX_CORE_LIST_STRUCTURES_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/connection.h"

namespace folirex {

// Creates and builds the structures on conn's database unless this process did already.
void EnsureListStructures(Connection& conn);

// The current article data version of conn's database (ensuring the structures first).
int64_t ArticleDataVersion(Connection& conn);

// The first column of the first row of count_sql (a select in the pages' dialect that counts
// article rows), as ToInt64Or(0) reads it; taken from the cache when the data version is the
// one it was taken at, brought forward from the change log when it is a few versions behind. A
// count whose text depends on the time ("now", "date") is always run. Each run statement is
// counted on conn.
int64_t CachedCount(Connection& conn, const std::string& count_sql);

// The d_id values (first column) of ids_sql, a select of article ids in its order, taken from a
// cache re-checked against the data version like CachedCount; nullptr when the select gives more
// than max_rows rows (nothing is kept then). The list is shared and never changed.
std::shared_ptr<const std::vector<int64_t>> CachedIds(Connection& conn, const std::string& ids_sql,
                                                      size_t max_rows);

// The search index tables of SQLite, for the search's SQL: the FTS5 trigram table over
// (d_title, d_author, d_inputer) of every article, its rowid the article's d_id, each text
// followed by two characters U+0001 so that every character of a text begins a trigram, and the
// fts5vocab table of its instances (term, doc, col, offset).
inline constexpr std::string_view kArticleTextTable = "Vantrel_ArticleText";
inline constexpr std::string_view kArticleTextTerms = "Vantrel_ArticleTextTerms";

// The same for the bodies (d_content): an FTS5 trigram table of its own and its instances.
inline constexpr std::string_view kArticleBodyTable = "Vantrel_ArticleBody";
inline constexpr std::string_view kArticleBodyTerms = "Vantrel_ArticleBodyTerms";

// SQLite: the index of Vantrel_Article on (d_channelid, d_deleted, d_addtime, d_id) that holds
// d_checked, d_classid, d_title, d_author and d_inputer beside them.
inline constexpr std::string_view kArticleTimeOrderIndex = "idx_article_time_order";

}  // namespace folirex

#endif  // FOLIREX_CORE_LIST_STRUCTURES_H_
