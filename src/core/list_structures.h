// What keeps the public lists flat however many articles a site holds: the article data version,
// a number that the database itself moves on every change to Vantrel_Article that can change a
// list's count (a row added or removed; its channel, class, subject, flags, approval or recycle
// state, title, author, inputer or body changed; each such change also written to the change log
// of core/article_change_log.h), and the indexes the lists read (SQLite: the channel's texts in the
// order of time; PostgreSQL: recommended and pictured articles, the order of clicks). Triggers on
// Vantrel_Article keep them, so every writer, present or future, on any host, keeps them exact
// without knowing of them. The search's indexes are built apart (core/search_structures.h).
//
// The structures are derived from the articles: EnsureListStructures creates them when a
// database lacks them (a site made before them, or a new site on its first use), in moments,
// once per database and server (ListCaches), with the state of the search's build (and the search's
// structures themselves on a site of few articles); what takes long on a large site, the
// indexes and the order of clicks filled from the rows already there, BuildListStructures builds
// after the server listens. Safe from several threads and several
// processes or hosts at once (the database's write lock or an advisory lock serialises the
// creation). Failures throw DbError.
//
// CachedCount answers a pager's count from the server's kept counts (ListCaches) re-checked
// against the data version: exact on every host. A count kept at an older version is brought
// forward by the changes logged since, and taken again only when the log cannot (a count it cannot
// read, one further behind than the log reaches).
#ifndef FOLIREX_CORE_LIST_STRUCTURES_H_
#define FOLIREX_CORE_LIST_STRUCTURES_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/database_set.h"
#include "core/list_query.h"
#include "platform/db/connection.h"
#include "platform/db/variant.h"

namespace folirex {

// What a site server keeps of the lists between requests (core/site_caches.h): the databases it
// has made sure of and found built, and the kept counts, heads and ids with the readers at them.
// Every function below that takes one keeps nothing when given none (null): it makes sure of the
// database, and counts and reads its lists, each time. Thread-safe.
struct ListCaches {
  ListCaches();
  ~ListCaches();
  ListCaches(const ListCaches&) = delete;
  ListCaches& operator=(const ListCaches&) = delete;

  // The databases made sure of (EnsureListStructures), and those whose long structures were
  // found built (a build never goes back).
  DatabaseSet made;
  DatabaseSet built;
  // The databases whose search structures were found ready (core/search_structures.h), which
  // the lists' making sure of builds on a small site.
  DatabaseSet search_ready;
  // The counts, heads and ids (list_structures.cpp).
  struct Kept;
  std::unique_ptr<Kept> kept;
};

// lists->search_ready, or null.
inline DatabaseSet* SearchReadyOf(ListCaches* lists) {
  return lists == nullptr ? nullptr : &lists->search_ready;
}

// A version row's first number: random, so that a database made again at the same place never
// meets what this process kept for the one before.
std::string RandomStartingVersion();

// Creates the structures on conn's database unless `lists` says they were made sure of: the
// version, the change log and their triggers, the order of clicks' table and triggers (PostgreSQL),
// at once; the indexes the lists read and the related-articles index (idx_article_related), and the
// order of clicks' rows, which take seconds to minutes on a large site, only on a site of no more
// than kArticlesIndexedAtOnce articles: a larger one is marked for BuildListStructures.
void EnsureListStructures(Connection& conn, ListCaches* lists);

// Whether the lists' indexes and the order of clicks of conn's database are built: read from the
// database until it says so, then remembered in `lists` (a build never goes back). Until
// then the lists read the articles without them (SQLite names no index; PostgreSQL reads the
// most clicked from the articles), slower, with the same rows.
bool ListStructuresReady(Connection& conn, ListCaches* lists);

// How far the build of the lists' indexes and the order of clicks is, read from the database:
// ready, or the share done (0 to 100) of the indexes and of the articles whose clicks are in
// order.
struct ListStructuresProgress {
  bool ready = false;
  int percent = 0;
};
ListStructuresProgress ReadListStructuresProgress(Connection& conn);

struct ListBuildOptions {
  // PostgreSQL: the articles (by id) whose rows the order of clicks is given in one transaction.
  int64_t fill_step = 10000;
  // PostgreSQL: CREATE INDEX CONCURRENTLY, which lets writers go on; false on a small site.
  bool concurrently = true;
  // Called after each index and each step, outside any transaction.
  std::function<void(const ListStructuresProgress&)> on_progress;
  // Stops the build between two steps when set; the next build goes on from there.
  const std::atomic<bool>* stop = nullptr;
};

// Builds what EnsureListStructures left to build, each index and each step of the order of
// clicks committed apart, and marks the structures ready; true when ready, false when stopped.
// Several builders on one database wait for each other (PostgreSQL) or find each index made
// (SQLite). conn must not be inside a transaction. Failures throw DbError.
bool BuildListStructures(Connection& conn, ListCaches* lists, const ListBuildOptions& options = {});

// The select of the article data version (row 1 of Vantrel_ArticleVersion).
inline constexpr std::string_view kArticleDataVersionSql =
    "select d_version from Vantrel_ArticleVersion where d_id = 1";

// The article data version of conn's database (ensuring the structures first), read once for the
// connection until it writes (Connection::ReadUntilWrite).
int64_t ArticleDataVersion(Connection& conn, ListCaches* lists);

// The number of rows of `list` (of article rows, or of another table kept against the article
// data version); taken from the cache when the data version is the one it was taken at, brought
// forward from the change log when it is a few versions behind and the list's conditions are
// all logged (ListQuery::Logged). A list that reads the clock is always counted. A count of a
// list's first N rows is kept as the count of all its rows when the log can bring that forward,
// and answered as the lesser of the two. Each run statement is counted on conn.
int64_t CachedCount(Connection& conn, ListCaches* lists, const ListQuery& list);
// The same at `version`, a data version the caller read before (ArticleDataVersion), so that a
// page that also takes its rows from a cache reads the version once.
int64_t CachedCount(Connection& conn, ListCaches* lists, const ListQuery& list, int64_t version);
// What CachedCount answers at `version` when it answers from the kept count alone, with no
// statement; nullopt when it would count or bring a count forward.
std::optional<int64_t> KeptCountAt(Connection& conn, ListCaches* lists, const ListQuery& list,
                                   int64_t version);

// The head of a paged list of articles: the first column (d_id) of its first rows, in the
// list's own order, as the list's select gave them; `whole` when they are all its rows. A pager
// that keeps a list's head serves any page inside it by reading just that page's rows by id.
struct ListHead {
  std::vector<int64_t> ids;
  bool whole = false;
};

// The kept head of `list` read at `version`, when it holds at least `rows` rows or is whole;
// nullptr otherwise. Shared and never changed.
std::shared_ptr<const ListHead> FindListHead(Connection& conn, ListCaches* lists,
                                             const ListQuery& list, int64_t version, int64_t rows);
// Keeps a head read at `version` (a version read before the rows were). The heads held
// together are bounded (kMostListHeadIds ids in all; the least recently used go first); a head
// larger than that is not kept.
void KeepListHead(Connection& conn, ListCaches* lists, const ListQuery& list, int64_t version,
                  std::shared_ptr<const ListHead> head);
inline constexpr size_t kMostListHeadIds = 2'000'000;

// Reads a head of `list` at `version` through `read` and keeps it, unless a reader of the same
// list and length is already at it: then waits for that one's head instead of reading the list
// again (after an article change every reader of a deep page misses at once). nullptr when the
// read gave nullptr.
std::shared_ptr<const ListHead> ReadListHeadOnce(
    Connection& conn, ListCaches* lists, const ListQuery& list, int64_t version, int64_t rows,
    const std::function<std::shared_ptr<const ListHead>()>& read);

// The kept head of `list` brought to `version` through the change log (core/
// article_change_log.h) from an earlier version the log still reaches, and kept: the list's
// logged conditions tell which changed articles it held and holds, and its order (d_topflag,
// d_addtime and d_id, each either way) where they go. A change that leaves what an article meets
// and its pinning and time as they were leaves the head as it is; otherwise the changed articles
// are taken out and those that now belong put at their place by the order's keys, read from the
// articles. nullptr when no head can be brought forward exactly (none kept, a changed article
// tied with a row of the head on every key, more than kMostHeadChanges of them, a condition the
// log cannot test or another order, or another change meanwhile): the caller reads it again.
std::shared_ptr<const ListHead> ListHeadBroughtForward(Connection& conn, ListCaches* lists,
                                                       const ListQuery& list, int64_t version);
inline constexpr size_t kMostHeadChanges = 64;

// The ids (list.id_column) of `list` in its order, taken from a cache re-checked against the
// data version like CachedCount and brought forward like a whole head; nullptr when the list has
// more than max_rows rows (nothing is kept then). The list is shared and never changed.
std::shared_ptr<const std::vector<int64_t>> CachedIds(Connection& conn, ListCaches* lists,
                                                      const ListQuery& list, size_t max_rows);

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
