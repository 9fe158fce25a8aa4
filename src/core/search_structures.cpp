#include "core/search_structures.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <limits>
#include <mutex>
#include <thread>
#include <utility>

#include "core/advisory_locks.h"
#include "core/article_grams.h"
#include "core/database_set.h"
#include "core/list_structures.h"
#include "core/pg_body_index.h"
#include "platform/db/provider.h"
#include "platform/db/scoped_transaction.h"
#include "platform/db/variant.h"

namespace folirex {
namespace {

// The watermark of a finished SQLite build: past every id.
constexpr int64_t kPastEveryId = std::numeric_limits<int64_t>::max();

// The share of the progress the texts' indexes take; the counts of short sequences the rest.
constexpr int kTextIndexPercent = 90;

void RunNative(Connection& conn, const std::string& sql) { conn.session().ExecuteNative(sql); }

int64_t NativeNumber(Connection& conn, const std::string& sql, int64_t if_null,
                     const std::vector<Variant>& params = {}) {
  return conn.session().NativeNumber(sql, if_null, params);
}

bool HasSqliteObject(Connection& conn, const char* type, std::string_view name) {
  return NativeNumber(conn, "select count(*) from sqlite_schema where type = ? and name = ?", 0,
                      {Variant(type), Variant(std::string(name))}) > 0;
}

// How far the build is, as the triggers read it.
std::string IndexedMark() {
  return "(SELECT d_indexed FROM " + std::string(kSearchIndexTable) + " WHERE d_id = 1)";
}

// How an FTS5 index merges its segments: `automerge` of a level at a time after a write, all of
// them at once when a level holds `crisismerge`, and a level of `usermerge` or more on a merge
// command.
struct FtsMerging {
  int automerge;
  int crisismerge;
  int usermerge;
};

// SQLite: a trigram index of `columns` of every article: `table` over the view `table`Source, its
// fts5vocab instance table `terms`, and triggers named trg_`name`_insert, _delete and _update
// that keep the articles at or below the build's watermark (the build adds the others). The texts
// go into the index with two U+0001 after them, so that every character of a text, the last ones
// included, begins a trigram: a keyword of one or two characters is then found among the terms
// that begin with it. The same expression feeds the index and its deletions.
struct SqliteTextIndex {
  std::string table, terms, name;
  std::vector<std::string> columns;
  bool positions;  // detail='full'; else 'none'

  std::string Values(const char* row) const {
    std::string out;
    for (const std::string& c : columns) {
      out += std::string(out.empty() ? "" : ", ") + row + "." + c + " || char(1, 1)";
    }
    return out;
  }
  std::string List() const {
    std::string list;
    for (const std::string& c : columns) list += ", " + c;
    return list;
  }
  std::vector<std::string> Create() const {
    std::string view, changed;
    for (const std::string& c : columns) {
      view += ", " + c + " || char(1, 1) AS " + c;
      changed += " OR old." + c + " IS NOT new." + c;
    }
    const std::string list = List();
    const std::string add = "INSERT INTO " + table + " (rowid" + list + ") SELECT new.d_id, " +
                            Values("new") + " WHERE new.d_id <= " + IndexedMark() + ";";
    const std::string drop = "INSERT INTO " + table + " (" + table + ", rowid" + list +
                             ") SELECT 'delete', old.d_id, " + Values("old") +
                             " WHERE old.d_id <= " + IndexedMark() + ";";
    return {
        "CREATE VIEW " + table + "Source AS SELECT d_id" + view + " FROM Vantrel_Article",
        "CREATE VIRTUAL TABLE " + table + " USING fts5(" + list.substr(2) + ", content='" + table +
            "Source', content_rowid='d_id', tokenize='trigram'" +
            (positions ? "" : ", detail='none'") + ")",
        "CREATE VIRTUAL TABLE " + terms + " USING fts5vocab(" + table + ", instance)",
        "CREATE TRIGGER trg_" + name + "_insert AFTER INSERT ON Vantrel_Article BEGIN " + add +
            " END",
        "CREATE TRIGGER trg_" + name + "_delete AFTER DELETE ON Vantrel_Article BEGIN " + drop +
            " END",
        "CREATE TRIGGER trg_" + name + "_update AFTER UPDATE OF d_id" + list +
            " ON Vantrel_Article WHEN old.d_id IS NOT new.d_id" + changed + " BEGIN " + drop + add +
            " END",
    };
  }
  std::vector<std::string> Drop() const {
    return {"DROP TRIGGER IF EXISTS trg_" + name + "_insert",
            "DROP TRIGGER IF EXISTS trg_" + name + "_delete",
            "DROP TRIGGER IF EXISTS trg_" + name + "_update",
            "DROP TABLE IF EXISTS " + terms,
            "DROP TABLE IF EXISTS " + table,
            "DROP VIEW IF EXISTS " + table + "Source"};
  }
  // The statements that set how the index merges its segments.
  std::vector<std::string> Merging(const FtsMerging& merging) const {
    const std::string set = "INSERT INTO " + table + " (" + table + ", rank) VALUES ";
    return {set + "('automerge', " + std::to_string(merging.automerge) + ")",
            set + "('crisismerge', " + std::to_string(merging.crisismerge) + ")",
            set + "('usermerge', " + std::to_string(merging.usermerge) + ")"};
  }
  // Goes on merging the index's segments, writing about `pages` pages. (A negative count, which
  // puts every segment on one level first, started the merge over at each step: the segments
  // grew in number.)
  std::string Merge(int pages) const {
    return "INSERT INTO " + table + " (" + table + ", rank) VALUES ('merge', " +
           std::to_string(pages) + ")";
  }
  // Indexes the articles with ids in (after, upto].
  std::string Fill(int64_t after, int64_t upto) const {
    return "INSERT INTO " + table + " (rowid" + List() + ") SELECT d_id" + List() + " FROM " +
           table + "Source WHERE d_id > " + std::to_string(after) +
           (upto == kPastEveryId ? "" : " AND d_id <= " + std::to_string(upto));
  }
};

// The titles, authors and inputers; and the bodies apart, so that a search of the titles never
// walks the bodies' entries. The bodies' index keeps no positions: it takes two thirds of the
// room, and a keyword's trigrams found together are tested with the like anyway.
std::vector<SqliteTextIndex> SqliteIndexes() {
  return {
      {std::string(kArticleTextTable),
       std::string(kArticleTextTerms),
       "article_text",
       {"d_title", "d_author", "d_inputer"},
       true},
      {std::string(kArticleBodyTable),
       std::string(kArticleBodyTerms),
       "article_body",
       {"d_content"},
       false},
  };
}

// PostgreSQL: the indexes by name and how each is made. GIN indexes over folirex_short_grams(text)
// (core/list_structures.cpp) of the titles, authors and inputers, which serve runs of any length
// (a longer one by its two-character sequences), and of the bodies' two-character sequences;
// they replace the indexes of trigrams databases were made with before. The bodies' index holds
// no channel: a general plan, made for any bound channel (platform/db/pg_provider.cpp keeps one
// for a statement run again), took a fifth of the articles for it and so joined the channel's
// whole list from that index to a search of the titles (a hundred thousand rows read for a dozen
// matches); a body's matches are read from the table anyway, which tests the channel there, and
// the index is a tenth smaller.
std::vector<std::pair<std::string, std::string>> PostgresIndexes() {
  std::vector<std::pair<std::string, std::string>> indexes;
  for (const char* column : {"title", "author", "inputer"}) {
    const std::string c = column;
    indexes.emplace_back(
        "idx_article_" + c + "_grams",
        "ON Vantrel_Article USING gin (folirex_short_grams(cast(d_" + c + " AS text)))");
  }
  indexes.push_back(PgBodyIndex());
  return indexes;
}

// "'a', 'b', ..." of index names (ours, which hold no quote).
std::string QuotedNames(const std::vector<std::string>& names) {
  std::string in;
  for (const std::string& n : names) in += (in.empty() ? "'" : ", '") + n + "'";
  return in;
}

// PostgreSQL: how many of `names` are valid indexes (an interrupted concurrent build leaves an
// invalid one).
int64_t ValidPostgresIndexes(Connection& conn, const std::vector<std::string>& names) {
  const std::string in = QuotedNames(names);
  return NativeNumber(conn,
                      "select count(*) from pg_index i join pg_class c on c.oid = i.indexrelid "
                      "join pg_namespace n on n.oid = c.relnamespace where n.nspname = "
                      "current_schema() and i.indisvalid and c.relname in (" +
                          in + ")",
                      0);
}

// PostgreSQL: the search's indexes that databases were made with before, which the build drops:
// of the bodies' trigrams, alone and under the channel, of the bodies' sequences under the
// channel and of all of them (marks' too, folirex_body_grams), and of the trigrams of the titles,
// authors and inputers, whose sequences serve every keyword now.
std::vector<std::string> OldPostgresIndexes() {
  return {"idx_article_content_channel_trgm",
          "idx_article_content_trgm",
          std::string(kArticleBodyPairsUnderChannelIndex),
          std::string(kArticleBodyGramsIndex),
          "idx_article_title_trgm",
          "idx_article_author_trgm",
          "idx_article_inputer_trgm"};
}

// Every index there and valid, the counts built, and none of the old indexes left (the build
// drops them).
bool HasPostgresSearchStructures(Connection& conn) {
  std::vector<std::string> names;
  for (const auto& [name, how] : PostgresIndexes()) names.push_back(name);
  return ValidPostgresIndexes(conn, names) == static_cast<int64_t>(names.size()) &&
         NativeNumber(conn,
                      "select count(*) from pg_class c join pg_namespace n on n.oid = "
                      "c.relnamespace where n.nspname = current_schema() and c.relname in (" +
                          QuotedNames(OldPostgresIndexes()) + ")",
                      0) == 0 &&
         ArticleGramsBuilt(conn);
}

// The counts of short sequences: built from a snapshot of the articles in short transactions of
// their own (none may be open here); at once when they are built. Given up when `stop` is set.
void BuildGramCounts(Connection& conn, const std::atomic<bool>* stop = nullptr) {
  GramBuildOptions counts;
  counts.stop = stop;
  BuildArticleGrams(conn, counts);
}

// Notes conn's database in `ready` (a server's databases whose structures it has seen ready).
void RememberReady(Connection& conn, DatabaseSet* ready) {
  if (ready == nullptr) return;
  std::lock_guard<std::mutex> lock(ready->mutex);
  ready->keys.insert(conn.session().pool_key());
}

void MarkReady(Connection& conn, DatabaseSet* ready) {
  RunNative(conn, "UPDATE " + std::string(kSearchIndexTable) + " SET d_ready = 1 WHERE d_id = 1");
  RememberReady(conn, ready);
}

// The state row: (d_indexed, d_ready); (0, 0) when missing.
std::pair<int64_t, bool> ReadState(Connection& conn) {
  std::unique_ptr<db::Statement> st = conn.session().PrepareNative(
      "select d_indexed, d_ready from " + std::string(kSearchIndexTable) + " where d_id = 1");
  st->Bind({});
  if (!st->Step()) return {0, false};
  return {st->Column(0).ToInt64Or(0), st->Column(1).ToInt64Or(0) != 0};
}

// SQLite: the share of the articles by id at or below `indexed`.
int SqlitePercent(Connection& conn, int64_t indexed) {
  if (indexed == kPastEveryId) return kTextIndexPercent;
  // Apart, each read from an end of the table: together they would read every row.
  std::unique_ptr<db::Statement> st = conn.session().PrepareNative(
      "select (select min(d_id) from Vantrel_Article), (select max(d_id) from Vantrel_Article)");
  st->Bind({});
  if (!st->Step() || st->Column(0).IsNull()) return 0;
  const int64_t low = st->Column(0).ToInt64Or(0), high = st->Column(1).ToInt64Or(0);
  if (indexed < low) return 0;
  const double share =
      static_cast<double>(std::min(indexed, high) - low + 1) / static_cast<double>(high - low + 1);
  return std::clamp(static_cast<int>(share * kTextIndexPercent), 0, kTextIndexPercent - 1);
}

// Keeps conn's page cache at `kib` while it lives, then gives the connection's own back.
class PageCache {
 public:
  PageCache(Connection& conn, int64_t kib) : conn_(conn) {
    before_ = NativeNumber(conn, "PRAGMA cache_size", -1024);
    RunNative(conn, "PRAGMA cache_size = -" + std::to_string(kib));
  }
  ~PageCache() {
    try {
      RunNative(conn_, "PRAGMA cache_size = " + std::to_string(before_));
    } catch (...) {
    }
  }
  PageCache(const PageCache&) = delete;
  PageCache& operator=(const PageCache&) = delete;

 private:
  Connection& conn_;
  int64_t before_;
};

bool Stopped(const SearchBuildOptions& options) {
  return options.stop != nullptr && options.stop->load();
}

void Report(const SearchBuildOptions& options, SearchIndexProgress progress) {
  if (options.on_progress) options.on_progress(progress);
}

// FTS5 merges a level's segments into one of the next level once it holds `automerge` of them
// (4 unless told), so that a build flushing a segment every few dozen articles writes each entry
// again some log4(segments) times. While the batches go on the indexes merge 64 segments at a
// time, which writes them about half as often (the merges are still done a little after each
// batch). Once the build is ready every level of two segments or more is merged in short steps,
// which leaves about a segment a level, and the indexes then merge as FTS5's own settings say (a
// build stopped in those merges goes on with them when it is started again).
constexpr FtsMerging kBuildMerging{64, 128, 2};
constexpr FtsMerging kOwnMerging{4, 16, 4};
// The pages a step of the last merges writes: about a tenth of a second.
constexpr int kMergePages = 500;

// After each of its write transactions the build lets go for this long: a writer of this process
// waiting for its turn (a click, a comment) takes it, where the build's next transaction, begun at
// once, would win the turn again and again.
constexpr std::chrono::milliseconds kWritersTurn{2};

// Merges each index's levels of two segments or more, a short write transaction a step; false
// when stopped.
bool MergeSegments(Connection& conn, const SearchBuildOptions& options) {
  for (const SqliteTextIndex& index : SqliteIndexes()) {
    for (;;) {
      if (Stopped(options)) return false;
      SessionTransaction transaction(conn);
      const int64_t before = NativeNumber(conn, "select total_changes()", 0);
      RunNative(conn, index.Merge(kMergePages));
      const int64_t after = NativeNumber(conn, "select total_changes()", 0);
      transaction.Commit();
      std::this_thread::sleep_for(kWritersTurn);
      // A step that merged nothing changes no more than one row.
      if (after - before < 2) break;
    }
  }
  return true;
}

// Whether an index still merges as the build has it merge: a build stopped in its last merges.
bool MergesAsBuilt(Connection& conn) {
  for (const SqliteTextIndex& index : SqliteIndexes()) {
    if (!HasSqliteObject(conn, "table", index.table + "_config")) continue;
    if (NativeNumber(conn, "select v from " + index.table + "_config where k = 'automerge'",
                     kOwnMerging.automerge) == kBuildMerging.automerge) {
      return true;
    }
  }
  return false;
}

// The last merges of a build that is ready, then FTS5's own merge settings back (a stopped build
// leaves both to its next start; the index is ready either way).
void FinishMerges(Connection& conn, const SearchBuildOptions& options) {
  if (!MergeSegments(conn, options)) return;
  SessionTransaction transaction(conn);
  for (const SqliteTextIndex& index : SqliteIndexes()) {
    for (const std::string& sql : index.Merging(kOwnMerging)) {
      RunNative(conn, sql);
    }
  }
  transaction.Commit();
}

bool BuildSqlite(Connection& conn, const SearchBuildOptions& options) {
  const PageCache cache(conn, options.page_cache_kib);
  {
    // The tables and their triggers, unless a build that stopped made them: then it goes on
    // from its watermark. A body index without the titles' (a database made before the titles'
    // was given the log of changes) is made again whole, both.
    SessionTransaction transaction(conn);
    const auto [indexed, ready] = ReadState(conn);
    if (ready) {
      const bool merging = MergesAsBuilt(conn);
      transaction.Commit();
      RememberReady(conn, options.ready);
      if (merging) FinishMerges(conn, options);
      return true;
    }
    bool both = true;
    for (const SqliteTextIndex& index : SqliteIndexes()) {
      both = both && HasSqliteObject(conn, "table", index.table);
    }
    if (!both) {
      for (const SqliteTextIndex& index : SqliteIndexes()) {
        for (const std::string& sql : index.Drop()) RunNative(conn, sql);
      }
      for (const SqliteTextIndex& index : SqliteIndexes()) {
        for (const std::string& sql : index.Create()) RunNative(conn, sql);
      }
      RunNative(conn,
                "UPDATE " + std::string(kSearchIndexTable) + " SET d_indexed = 0 WHERE d_id = 1");
    }
    for (const SqliteTextIndex& index : SqliteIndexes()) {
      for (const std::string& sql : index.Merging(kBuildMerging)) {
        RunNative(conn, sql);
      }
    }
    transaction.Commit();
  }
  int64_t batch = std::max<int64_t>(options.first_batch, 1);
  for (;;) {
    if (Stopped(options)) return false;
    const auto began = std::chrono::steady_clock::now();
    int64_t upto;
    {
      SessionTransaction transaction(conn);
      const int64_t after = ReadState(conn).first;
      if (after == kPastEveryId) {
        transaction.Commit();
        break;
      }
      // The batch ends at its last article's id; past every id when the articles end within it,
      // so that one written meanwhile is indexed by the triggers.
      upto = NativeNumber(
          conn,
          "select d_id from Vantrel_Article where d_id > ? order by d_id limit 1 "
          "offset ?",
          kPastEveryId,
          {Variant(static_cast<long long>(after)), Variant(static_cast<long long>(batch - 1))});
      for (const SqliteTextIndex& index : SqliteIndexes()) RunNative(conn, index.Fill(after, upto));
      conn.session().ExecuteNative("UPDATE " + std::string(kSearchIndexTable) +
                                   " SET d_indexed = " + std::to_string(upto) + " WHERE d_id = 1");
      transaction.Commit();
    }
    std::this_thread::sleep_for(kWritersTurn);
    const auto took = std::chrono::steady_clock::now() - began;
    if (took < options.batch_time / 2) {
      batch = std::min<int64_t>(batch * 2, 100'000);
    } else if (took > options.batch_time * 2) {
      batch = std::max<int64_t>(batch / 2, 16);
    }
    Report(options, {.ready = false, .percent = SqlitePercent(conn, upto)});
  }
  if (Stopped(options)) return false;
  BuildGramCounts(conn, options.stop);
  if (Stopped(options)) return false;
  MarkReady(conn, options.ready);
  Report(options, {.ready = true, .percent = 100});
  // The searches read the indexes from here on, while their segments are merged (a search
  // reads each segment, so the fewer the quicker).
  FinishMerges(conn, options);
  return true;
}

// PostgreSQL: holds the build's session lock while it lives; waits for it, giving up when the
// build is stopped.
class PostgresBuildLock {
 public:
  PostgresBuildLock(Connection& conn, const SearchBuildOptions& options) : conn_(conn) {
    while (!(held_ = NativeNumber(conn,
                                  "select cast(pg_try_advisory_lock(" +
                                      std::to_string(kSearchBuildLock) + ") as integer)",
                                  0) != 0)) {
      if (Stopped(options)) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  }
  ~PostgresBuildLock() {
    if (!held_) return;
    try {
      NativeNumber(
          conn_,
          "select cast(pg_advisory_unlock(" + std::to_string(kSearchBuildLock) + ") as integer)",
          0);
    } catch (...) {
    }
  }
  PostgresBuildLock(const PostgresBuildLock&) = delete;
  PostgresBuildLock& operator=(const PostgresBuildLock&) = delete;
  bool held() const { return held_; }

 private:
  Connection& conn_;
  bool held_ = false;
};

bool BuildPostgres(Connection& conn, const SearchBuildOptions& options) {
  const PostgresBuildLock lock(conn, options);
  if (!lock.held()) return false;
  if (ReadState(conn).second) {
    RememberReady(conn, options.ready);
    return true;
  }
  const std::string how = options.concurrently ? "CONCURRENTLY " : "";
  // The indexes are built from the rows already there, with at least PostgreSQL's default of 64
  // MB (or the server's own setting when larger). A GIN build keeps its keys in memory up to that
  // and writes them into the index whenever it is full; more memory made the bodies' index no
  // quicker, its tree of keys outgrowing the processor's caches: at 1,000,000 bodies of real text
  // a gibibyte took 31.1 min and 2,569 MB, 256 MB 27.9 min and 2,546 MB, 64 MB 26.8 min and
  // 2,532 MB (the three side by side); at 200,000 (alone) 259, 208 and 210 s. Measured again at
  // 100,000 real-text articles (the database's default raised for the build's session): 64 MB
  // 313 s, 512 MB 334 s, 1 GB 325 s.
  RunNative(conn,
            "SELECT set_config('maintenance_work_mem', CASE WHEN "
            "pg_size_bytes(current_setting('maintenance_work_mem')) < 67108864 THEN '64MB' ELSE "
            "current_setting('maintenance_work_mem') END, false)");
  struct ResetMemory {
    Connection& conn;
    ~ResetMemory() {
      try {
        RunNative(conn, "RESET maintenance_work_mem");
      } catch (...) {
      }
    }
  } reset_memory{conn};
  for (const std::string& old : OldPostgresIndexes()) {
    RunNative(conn, "DROP INDEX " + how + "IF EXISTS " + old);
  }
  const auto indexes = PostgresIndexes();
  const int steps = static_cast<int>(indexes.size());
  for (int i = 0; i < steps; ++i) {
    if (Stopped(options)) return false;
    const auto& [name, made] = indexes[static_cast<size_t>(i)];
    // One an interrupted concurrent build left behind is invalid: made again.
    if (ValidPostgresIndexes(conn, {name}) == 0) {
      RunNative(conn, "DROP INDEX " + how + "IF EXISTS " + name);
      RunNative(conn, "CREATE INDEX " + how + name + " " + made);
    }
    RunNative(conn, "UPDATE " + std::string(kSearchIndexTable) +
                        " SET d_indexed = " + std::to_string(i + 1) + " WHERE d_id = 1");
    Report(options, {.ready = false, .percent = (i + 1) * kTextIndexPercent / steps});
  }
  if (Stopped(options)) return false;
  BuildGramCounts(conn);
  // The counts' key, filled out of its order while they were written (two thirds full), written
  // again in order: a quarter smaller. One an interrupted concurrent rewrite left is dropped.
  const std::string key = std::string(kArticleGramTable) + "_pkey";
  RunNative(conn, "DROP INDEX " + how + "IF EXISTS " + key + "_ccnew");
  RunNative(conn, "REINDEX INDEX " + how + key);
  // The planner learns how common each sequence is only from the statistics of the new
  // indexes' expressions: without them it takes a one-character keyword for a rare one.
  RunNative(conn, "ANALYZE Vantrel_Article");
  MarkReady(conn, options.ready);
  Report(options, {.ready = true, .percent = 100});
  return true;
}

}  // namespace

IndexBuildProgress ReadIndexBuildProgress(Connection& conn) {
  IndexBuildProgress progress;
  if (conn.engine() != SqlEngine::kPostgres) return progress;
  std::unique_ptr<db::Statement> st = conn.session().PrepareNative(
      "select cast(p.relid::regclass as text), p.phase, p.blocks_done, p.blocks_total from "
      "pg_stat_progress_create_index p where p.datname = current_database() order by p.pid "
      "limit 1");
  st->Bind({});
  if (!st->Step()) return progress;
  progress.running = true;
  progress.table = st->Column(0).ToString();
  progress.phase = st->Column(1).ToString();
  progress.blocks_done = st->Column(2).ToInt64Or(0);
  progress.blocks_total = st->Column(3).ToInt64Or(0);
  return progress;
}

void EnsureSearchIndexState(Connection& conn) {
  const std::string table(kSearchIndexTable);
  if (conn.engine() == SqlEngine::kPostgres) {
    RunNative(conn, "CREATE TABLE IF NOT EXISTS " + table +
                        " (d_id integer PRIMARY KEY, d_indexed bigint NOT NULL, d_ready integer "
                        "NOT NULL)");
    const bool complete = HasPostgresSearchStructures(conn);
    // Said ready over structures that are not all there (some taken away since): built again.
    RunNative(conn, "INSERT INTO " + table + " (d_id, d_indexed, d_ready) VALUES (1, 0, " +
                        (complete ? "1" : "0") + ") ON CONFLICT (d_id) DO UPDATE SET d_indexed = " +
                        "0, d_ready = 0 WHERE " + table + ".d_ready = 1 AND NOT " +
                        (complete ? "true" : "false"));
    return;
  }
  bool indexed = true;
  for (const SqliteTextIndex& index : SqliteIndexes()) {
    indexed = indexed && HasSqliteObject(conn, "table", index.table);
  }
  const bool complete = indexed && ArticleGramsBuilt(conn);
  const std::string state = std::string("(1, ") + std::to_string(indexed ? kPastEveryId : 0) +
                            ", " + (complete ? "1" : "0") + ")";
  if (!HasSqliteObject(conn, "table", table)) {
    RunNative(conn, "CREATE TABLE " + table +
                        " (d_id INTEGER PRIMARY KEY, d_indexed INTEGER NOT NULL, d_ready "
                        "INTEGER NOT NULL)");
    RunNative(conn, "INSERT INTO " + table + " (d_id, d_indexed, d_ready) VALUES " + state);
  } else if (ReadState(conn).second && !complete) {
    // Said ready over structures that are not all there (some taken away since): built again.
    RunNative(conn, "REPLACE INTO " + table + " (d_id, d_indexed, d_ready) VALUES " + state);
  }
}

void BuildSmallSearchIndex(Connection& conn, DatabaseSet* ready) {
  if (SearchIndexReady(conn, ready) || conn.transaction_depth() > 0) return;
  const int64_t articles =
      NativeNumber(conn,
                   "select count(*) from (select 1 from Vantrel_Article limit " +
                       std::to_string(kArticlesIndexedAtOnce + 1) + ") few",
                   0);
  if (articles > kArticlesIndexedAtOnce) return;
  BuildSearchStructures(conn, {.concurrently = false,
                               .page_cache_kib = 2048,
                               .on_progress = nullptr,
                               .stop = nullptr,
                               .ready = ready});
}

bool SearchIndexReady(Connection& conn, DatabaseSet* ready) {
  if (ready != nullptr) {
    std::lock_guard<std::mutex> lock(ready->mutex);
    if (ready->keys.count(conn.session().pool_key()) > 0) return true;
  }
  if (!ReadState(conn).second) return false;
  RememberReady(conn, ready);
  return true;
}

void ForgetSearchIndexReady(Connection& conn, DatabaseSet* ready) {
  if (ready == nullptr) return;
  std::lock_guard<std::mutex> lock(ready->mutex);
  ready->keys.erase(conn.session().pool_key());
}

SearchIndexProgress ReadSearchIndexProgress(Connection& conn) {
  const auto [indexed, ready] = ReadState(conn);
  if (ready) return {.ready = true, .percent = 100};
  if (conn.engine() == SqlEngine::kPostgres) {
    const int steps = static_cast<int>(PostgresIndexes().size());
    return {
        .ready = false,
        .percent = static_cast<int>(std::min<int64_t>(indexed, steps)) * kTextIndexPercent / steps};
  }
  return {.ready = false, .percent = SqlitePercent(conn, indexed)};
}

bool BuildSearchStructures(Connection& conn, const SearchBuildOptions& options) {
  return conn.engine() == SqlEngine::kPostgres ? BuildPostgres(conn, options)
                                               : BuildSqlite(conn, options);
}

}  // namespace folirex
