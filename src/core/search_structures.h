// The search structures of a site's database, built apart from the list structures (core/
// list_structures.h) because on a large site they take minutes: SQLite's FTS5 trigram indexes of
// the titles, authors and inputers and of the bodies (the bodies' with detail='none', which keeps
// which bodies hold a trigram but not where), with the triggers that keep them; PostgreSQL's
// trigram and short-sequence GIN indexes; on both the counts of short sequences (core/
// article_grams.h). Until they are ready a search reads the articles with the plain like and
// gives the same rows.
//
// The state of the build is kept in the database (Vantrel_SearchIndex), so that every process and
// host on it knows how far it is. On SQLite the indexes are filled in batches of articles in the
// order of d_id, each batch in a short write transaction that also moves the row's watermark; the
// triggers index a written article only when it is at or below the watermark, so a writer waits
// for one batch at most, and the article is indexed exactly once either way; once the build is
// ready, BuildSearchStructures goes on to merge each index's segments down to about one a level,
// in short write transactions too (started again, it finishes the merges a stopped build left).
// On PostgreSQL the indexes are made with CREATE INDEX
// CONCURRENTLY under a session advisory lock (one host builds, the others wait for it or find it
// done), which lets writers go on.
//
// Every function may throw DbError. Safe from several threads and processes at once.
#ifndef FOLIREX_CORE_SEARCH_STRUCTURES_H_
#define FOLIREX_CORE_SEARCH_STRUCTURES_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/database_set.h"
#include "platform/db/connection.h"

namespace folirex {

inline constexpr std::string_view kSearchIndexTable = "Vantrel_SearchIndex";

// A site with no more articles than this has its search structures built on its first use,
// within the request that finds them missing (well under a second); a larger one waits for a
// build (BuildSearchStructures: the server's background thread, or a command that needs them).
inline constexpr int64_t kArticlesIndexedAtOnce = 2000;

// How far a database's build is.
struct SearchIndexProgress {
  bool ready = false;
  // When not ready: the share of the work done, 0 to 100 (SQLite: of the articles by id, the
  // counts of short sequences taken as the last percent; PostgreSQL: of the indexes).
  int percent = 0;
};

// Makes the state row when the database has none, inside the caller's write transaction (the
// list structures' creation): ready at once when every search structure is there already (a
// database made by an earlier version, whose body index may keep detail='full': it is used as it
// is).
void EnsureSearchIndexState(Connection& conn);
// Builds the search structures when they are not ready and the site has no more than
// kArticlesIndexedAtOnce articles; nothing inside a transaction. Called by EnsureListStructures.
// `ready` as for SearchIndexReady.
void BuildSmallSearchIndex(Connection& conn, DatabaseSet* ready);

// Whether conn's database's search structures are ready: read from the database until it says
// so, then remembered in `ready`, a server's databases whose structures it has seen ready (a
// build never goes back); without it (null) read each time.
bool SearchIndexReady(Connection& conn, DatabaseSet* ready);
// Forgets what SearchIndexReady remembered of conn's database (made again at the same place).
void ForgetSearchIndexReady(Connection& conn, DatabaseSet* ready);

// How far the build is, read from the database.
SearchIndexProgress ReadSearchIndexProgress(Connection& conn);

// PostgreSQL: the index being made in conn's database by any session (another host's build
// too), as pg_stat_progress_create_index shows it: its table, the phase, and the blocks done of
// the blocks in all of the phase that counts them (0 of 0 in the others). `running` false when
// none is being made, and on SQLite.
struct IndexBuildProgress {
  bool running = false;
  std::string table;
  std::string phase;
  int64_t blocks_done = 0;
  int64_t blocks_total = 0;
};
IndexBuildProgress ReadIndexBuildProgress(Connection& conn);

struct SearchBuildOptions {
  // SQLite: the articles of the first batch; later batches are sized to take about batch_time.
  int64_t first_batch = 500;
  std::chrono::milliseconds batch_time{100};
  // PostgreSQL: CREATE INDEX CONCURRENTLY, outside any transaction; false for a build inside
  // the caller's transaction (a small site).
  bool concurrently = true;
  // SQLite: the page cache of conn while it builds, in KiB (restored after).
  int64_t page_cache_kib = 64 * 1024;
  // Called after each batch or index, outside any transaction.
  std::function<void(const SearchIndexProgress&)> on_progress;
  // Stops the build between two batches (or indexes) when set; the next build goes on from there.
  const std::atomic<bool>* stop = nullptr;
  // Where the database is remembered once ready (SearchIndexReady's `ready`); null: nowhere.
  DatabaseSet* ready = nullptr;
};

// Builds what is missing of the search structures and marks them ready; true when ready, false
// when stopped. Several builders on one database share the work (SQLite) or wait for each other
// (PostgreSQL). conn must not be inside a transaction unless options.concurrently is false.
bool BuildSearchStructures(Connection& conn, const SearchBuildOptions& options = {});

}  // namespace folirex

#endif  // FOLIREX_CORE_SEARCH_STRUCTURES_H_
