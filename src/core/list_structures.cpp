#include "core/list_structures.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/advisory_locks.h"
#include "core/article_change_log.h"
#include "core/article_grams.h"
#include "core/click_order.h"
#include "core/database_set.h"
#include "core/pg_body_index.h"
#include "core/search_structures.h"
#include "core/settings_version.h"
#include "platform/cache/lru_cache.h"
#include "platform/db/kept_reads.h"
#include "platform/db/provider.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "platform/db/sql_params.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

// SQLite: the version row (the version's triggers, the change log's, come after the row).
std::vector<std::string> SqliteStatements() {
  return {
      "CREATE TABLE Vantrel_ArticleVersion (d_id INTEGER PRIMARY KEY, "
      "d_version INTEGER NOT NULL DEFAULT 0)",
  };
}

// PostgreSQL: the version row (its triggers, the change log's, come after the row), the lists'
// own indexes, and the functions the search indexes (core/search_structures.h, built apart; the
// bodies' in core/pg_body_index.h) are made of: folirex_short_grams(text), every one- and
// two-character sequence of lower(text), the folding the pages' like (translated to ilike, which
// lowers both sides) applies, for the shorter runs that trigrams cannot serve; a keyword is looked
// for as folirex_short_key(keyword). Every statement may run again over structures made in part.
std::vector<std::string> PostgresStatements() {
  std::vector<std::string> statements = {
      "CREATE TABLE IF NOT EXISTS Vantrel_ArticleVersion (d_id integer PRIMARY KEY, "
      "d_version bigint NOT NULL DEFAULT 0)",
      // Each character, and each with the one after it, in one pass over the text. In PL/pgSQL,
      // whose plans a session keeps: every write of an article's row that is not a heap-only
      // update (a click moves d_clicktimes, which a list index holds) computes it for each of the
      // short-sequence indexes, and as an SQL function it was planned again each time (a tenth of
      // a millisecond each). Repeats are left in: an index keeps each sequence once.
      "CREATE OR REPLACE FUNCTION folirex_short_grams(t text) RETURNS text[] LANGUAGE plpgsql "
      "IMMUTABLE STRICT PARALLEL SAFE AS $$ DECLARE l text := lower(t); n integer := "
      "char_length(l); r text[] := '{}'; BEGIN FOR i IN 1..n LOOP r := r || substr(l, i, 1); "
      "IF i < n THEN r := r || substr(l, i, 2); END IF; END LOOP; RETURN r; END $$",
      // A keyword's sequences to look for: the lowered keyword itself, or its two-character
      // sequences should lowering lengthen it beyond two characters. In PL/pgSQL too: as an SQL
      // function with a subquery, which is never inlined, it was planned anew in every search.
      "CREATE OR REPLACE FUNCTION folirex_short_key(t text) RETURNS text[] LANGUAGE plpgsql "
      "IMMUTABLE STRICT PARALLEL SAFE AS $$ BEGIN RETURN (SELECT CASE WHEN "
      "char_length(lower(t)) <= 2 THEN ARRAY[lower(t)] ELSE ARRAY(SELECT DISTINCT substr("
      "lower(t), i, 2) FROM generate_series(1, char_length(lower(t)) - 1) i) END); END $$",
  };
  for (std::string& sql : PgBodyIndexFunctions()) statements.push_back(std::move(sql));
  // Each body the search's index names is read, and a long one decompressed: lz4 does that
  // several times faster than the default pglz. Bodies written before keep theirs (both read
  // alike); a server without lz4, or before version 14, keeps pglz.
  statements.push_back(
      "DO $$ BEGIN EXECUTE 'ALTER TABLE Vantrel_Article ALTER COLUMN d_content SET COMPRESSION "
      "lz4'; EXCEPTION WHEN feature_not_supported OR syntax_error THEN NULL; END $$");
  for (std::string& sql : ClickOrderStatements()) statements.push_back(std::move(sql));
  return statements;
}

// The indexes of the lists and the related-articles index, built from the rows already there
// (BuildListStructures): each name with what follows it in its CREATE INDEX.
struct LongIndex {
  std::string name;
  std::string made;
};
std::vector<LongIndex> LongIndexes(SqlEngine engine) {
  if (engine != SqlEngine::kPostgres) {
    return {
        // The related-articles index of the schema scripts: a site made before it publishes and
        // shows its article pages correctly without it, only far slower.
        {"idx_article_related",
         "ON Vantrel_Article (d_channelid, d_deleted, d_checked, d_addtime, d_keyword)"},
        // A channel's articles in the order of their time with the columns a list tests and
        // joins beside them, so that a keyword tested on each row or a page deep in the list
        // costs no read of the table's rows (which hold the contents). Ties in time come in the
        // order of d_id, as in the channel's other indexes on the time.
        {std::string(kArticleTimeOrderIndex),
         "ON Vantrel_Article (d_channelid, d_deleted, d_addtime, d_id, d_checked, d_classid, "
         "d_title, d_author, d_inputer)"},
    };
  }
  return {
      // The lists of recommended and of pictured articles, newest first, read from indexes of
      // just those rows: through the indexes of every listed row, each row passed over was a read
      // of the table (one in eight is recommended); SQLite passes over its rows for far less.
      {"idx_article_list_recommended",
       "ON Vantrel_Article (d_channelid, d_deleted, d_checked, d_topflag, d_addtime DESC) WHERE "
       "d_recommendflag = -1"},
      {"idx_article_class_list_recommended",
       "ON Vantrel_Article (d_classid, d_channelid, d_deleted, d_checked, d_topflag, d_addtime "
       "DESC) WHERE d_recommendflag = -1"},
      {"idx_article_list_pictured",
       "ON Vantrel_Article (d_channelid, d_deleted, d_checked, d_topflag, d_addtime DESC) WHERE "
       "d_picurl <> ''"},
      // On PostgreSQL the related-articles index also carries the columns the lookup shows; one
      // made before without them is made again.
      {"idx_article_related",
       "ON Vantrel_Article (d_channelid, d_deleted, d_checked, d_addtime, d_keyword) INCLUDE "
       "(d_id, d_title, d_classid)"},
  };
}

// The mark of a database whose long structures are still to be built, with how far the order of
// clicks is filled (PostgreSQL: the last article id given its row).
constexpr std::string_view kListFillTable = "Vantrel_ListStructuresFill";

// PostgreSQL: whether every structure of the lists is there (the version table, the change log,
// the state of the search's build, the order of clicks' table, the functions the search's indexes
// are made of, and the sequences' and the keywords' functions in PL/pgSQL: one made as an SQL
// function before is replaced by one of the same results). Not while the bodies' sequences are
// indexed under the channel as before: their creation then finds the search's indexes incomplete,
// and the search builds them again (core/search_structures.h).
bool HasPostgresStructures(Connection& conn) {
  std::unique_ptr<db::Statement> st = conn.session().PrepareNative(
      "select case when exists (select 1 from pg_class c join pg_namespace n on n.oid = "
      "c.relnamespace where n.nspname = current_schema() and c.relname = '" +
      std::string(kArticleBodyPairsUnderChannelIndex) +
      "') then 0 else "
      "(select count(*) from pg_class c join pg_namespace n on n.oid = c.relnamespace "
      "where n.nspname = current_schema() and c.relname in ('vantrel_articleversion', "
      "'vantrel_articlechange', 'vantrel_searchindex', 'vantrel_articleclickorder')) + "
      "(select count(*) from pg_proc p join pg_namespace n on n.oid = p.pronamespace where "
      "n.nspname = current_schema() and (p.proname = 'folirex_body_pairs' or (p.proname in "
      "('folirex_short_grams', 'folirex_short_key', 'folirex_body_query') and p.prolang = "
      "(select oid from pg_language where lanname = 'plpgsql')))) end");
  st->Bind({});
  return st->Step() && st->Column(0).ToInt64Or(0) == 8;
}

bool HasSqliteObject(Connection& conn, const char* type, std::string_view name) {
  std::unique_ptr<db::Statement> st = conn.session().PrepareNative(
      "select count(*) from sqlite_schema where type = ? and name = ?");
  st->Bind({Variant(type), Variant(std::string(name))});
  return st->Step() && st->Column(0).ToInt64Or(0) > 0;
}

// The creation runs once per database; its statements are not a page's and are not counted.
void RunNative(Connection& conn, const std::string& sql) { conn.session().ExecuteNative(sql); }

bool HasPostgresRelation(Connection& conn, std::string_view name) {
  std::unique_ptr<db::Statement> st = conn.session().PrepareNative(
      "select count(*) from pg_class c join pg_namespace n on n.oid = c.relnamespace where "
      "n.nspname = current_schema() and c.relname = '" +
      std::string(name) + "'");
  st->Bind({});
  return st->Step() && st->Column(0).ToInt64Or(0) > 0;
}

bool HasFillMark(Connection& conn) {
  if (conn.engine() == SqlEngine::kPostgres) {
    return HasPostgresRelation(conn, "vantrel_liststructuresfill");
  }
  return HasSqliteObject(conn, "table", kListFillTable);
}

// Whether `index` is there as it is made now (PostgreSQL: valid, an interrupted concurrent
// build leaving an invalid one, and with its INCLUDE columns where it has them).
bool HasLongIndex(Connection& conn, const LongIndex& index) {
  if (conn.engine() != SqlEngine::kPostgres) return HasSqliteObject(conn, "index", index.name);
  const bool covering = index.made.find("INCLUDE") != std::string::npos;
  std::unique_ptr<db::Statement> st = conn.session().PrepareNative(
      "select count(*) from pg_index i join pg_class c on c.oid = i.indexrelid join "
      "pg_namespace n on n.oid = c.relnamespace where n.nspname = current_schema() and "
      "i.indisvalid and c.relname = '" +
      index.name + "'" + (covering ? " and pg_get_indexdef(i.indexrelid) like '%INCLUDE%'" : ""));
  st->Bind({});
  return st->Step() && st->Column(0).ToInt64Or(0) > 0;
}

int LongIndexesMade(Connection& conn) {
  int made = 0;
  for (const LongIndex& index : LongIndexes(conn.engine())) made += HasLongIndex(conn, index);
  return made;
}

// Marks the long structures as to be built, inside the caller's write transaction, unless they
// are all there; `fill_clicks`: the order of clicks is new and lacks the articles already there.
// A mark left by a stopped build keeps the lesser of the two points the order is filled to.
void MarkLongStructures(Connection& conn, bool fill_clicks) {
  const bool postgres = conn.engine() == SqlEngine::kPostgres;
  if (!fill_clicks && !HasFillMark(conn) &&
      LongIndexesMade(conn) == static_cast<int>(LongIndexes(conn.engine()).size())) {
    return;
  }
  const std::string table(kListFillTable);
  RunNative(conn, "CREATE TABLE IF NOT EXISTS " + table + " (d_id integer PRIMARY KEY, d_filled " +
                      (postgres ? "bigint" : "INTEGER") + " NOT NULL)");
  const std::string filled =
      fill_clicks || !postgres ? "0" : "(SELECT coalesce(max(d_id), 0) FROM Vantrel_Article)";
  RunNative(conn, "INSERT INTO " + table + " (d_id, d_filled) VALUES (1, " + filled +
                      ") ON CONFLICT (d_id) DO UPDATE SET d_filled = " +
                      (postgres ? "least(" : "min(") + table + ".d_filled, EXCLUDED.d_filled)");
}

// MarkLongStructures for a database whose other structures were there, in a write transaction of
// its own; nothing when the mark or every long structure is there.
void MarkMissingLongStructures(Connection& conn) {
  if (HasFillMark(conn) ||
      LongIndexesMade(conn) == static_cast<int>(LongIndexes(conn.engine()).size())) {
    return;
  }
  if (conn.engine() == SqlEngine::kPostgres) {
    ScopedTransaction transaction(conn);
    RunNative(conn, "SELECT pg_advisory_xact_lock(" + std::to_string(kListStructuresLock) + ")");
    MarkLongStructures(conn, false);
    transaction.Commit();
    return;
  }
  SessionTransaction transaction(conn);
  MarkLongStructures(conn, false);
  transaction.Commit();
}

void CreateStructures(Connection& conn) {
  const bool postgres = conn.engine() == SqlEngine::kPostgres;
  if (postgres) {
    ScopedTransaction transaction(conn);
    // Hosts that start together on one database create the structures one after another.
    RunNative(conn, "SELECT pg_advisory_xact_lock(" + std::to_string(kListStructuresLock) + ")");
    if (HasPostgresStructures(conn)) return;
    // A new table of the order of clicks is given the rows of the articles there by the build.
    const bool fill_clicks = !HasPostgresRelation(conn, "vantrel_articleclickorder");
    for (const std::string& sql : PostgresStatements()) RunNative(conn, sql);
    RunNative(conn, "INSERT INTO Vantrel_ArticleVersion (d_id, d_version) VALUES (1, " +
                        RandomStartingVersion() + ") ON CONFLICT (d_id) DO NOTHING");
    for (const std::string& sql : ArticleChangeLogStatements(SqlEngine::kPostgres)) {
      RunNative(conn, sql);
    }
    EnsureSearchIndexState(conn);
    MarkLongStructures(conn, fill_clicks);
    transaction.Commit();
    return;
  }
  // SQLite: the write lock first, so that another process creating them waits and then finds
  // them made.
  RunNative(conn, "BEGIN IMMEDIATE");
  try {
    if (!HasSqliteObject(conn, "table", "Vantrel_ArticleVersion")) {
      for (const std::string& sql : SqliteStatements()) RunNative(conn, sql);
      RunNative(conn, "INSERT INTO Vantrel_ArticleVersion (d_id, d_version) VALUES (1, " +
                          RandomStartingVersion() + ")");
      for (const std::string& sql : ArticleChangeLogStatements(SqlEngine::kSqlite)) {
        RunNative(conn, sql);
      }
    } else {
      if (!HasSqliteObject(conn, "table", kArticleChangeTable)) {
        // Made before the change log: its triggers moved the version, and those made before the
        // bodies' index kept the short texts' index too; the log's move it now, and the search's
        // build makes the texts' indexes again with triggers of their own.
        for (const char* name :
             {"trg_article_list_insert", "trg_article_list_delete", "trg_article_list_update",
              "trg_article_text_insert", "trg_article_text_delete", "trg_article_text_update"}) {
          RunNative(conn, std::string("DROP TRIGGER IF EXISTS ") + name);
        }
        for (const std::string_view table : {kArticleTextTerms, kArticleTextTable}) {
          RunNative(conn, "DROP TABLE IF EXISTS " + std::string(table));
        }
        RunNative(conn, "DROP VIEW IF EXISTS " + std::string(kArticleTextTable) + "Source");
        for (const std::string& sql : ArticleChangeLogStatements(SqlEngine::kSqlite)) {
          RunNative(conn, sql);
        }
      }
    }
    EnsureSearchIndexState(conn);
    MarkLongStructures(conn, false);
    RunNative(conn, "COMMIT");
  } catch (...) {
    try {
      conn.session().ExecuteNative("ROLLBACK");
    } catch (...) {
    }
    throw;
  }
}

// The version also moves when an article's place in the lists' order of pinning and time
// changes, and the change log names the article (a row of sign 0), so that the kept heads of the
// lists follow it (ListHeadBroughtForward). Clicks do not move it: lists in the order of clicks
// keep no head. Made on every database, old ones included, once per process.
void EnsureOrderTrigger(Connection& conn) {
  if (conn.engine() == SqlEngine::kPostgres) {
    std::unique_ptr<db::Statement> st = conn.session().PrepareNative(
        "select count(*) from pg_trigger t join pg_class c on c.oid = t.tgrelid join "
        "pg_namespace n on n.oid = c.relnamespace where n.nspname = current_schema() and "
        "t.tgname = '" +
        std::string(kArticleOrderChangeTrigger) + "'");
    st->Bind({});
    if (st->Step() && st->Column(0).ToInt64Or(0) > 0) return;
  } else if (HasSqliteObject(conn, "trigger", kArticleOrderChangeTrigger)) {
    return;
  }
  for (const std::string& sql : ArticleOrderChangeStatements(conn.engine())) RunNative(conn, sql);
}

// Builds the long structures at once on a site of no more than kArticlesIndexedAtOnce articles
// (moments); nothing inside a transaction.
bool LongStructuresBuilt(Connection& conn, ListCaches* lists);
bool BuildLongStructures(Connection& conn, ListCaches* lists, const ListBuildOptions& options);

void BuildSmallListStructures(Connection& conn, ListCaches* lists) {
  if (conn.transaction_depth() > 0 || LongStructuresBuilt(conn, lists)) return;
  const int64_t articles =
      conn.session().NativeNumber("select count(*) from (select 1 from Vantrel_Article limit " +
                                      std::to_string(kArticlesIndexedAtOnce + 1) + ") few",
                                  0);
  if (articles > kArticlesIndexedAtOnce) return;
  BuildLongStructures(conn, lists,
                      {.fill_step = kArticlesIndexedAtOnce + 1,
                       .concurrently = false,
                       .on_progress = nullptr,
                       .stop = nullptr});
}

// Counts by database and count text, each with the version it was taken at; the oldest entry
// goes first when the cache is full.
class CountCache {
 public:
  static constexpr size_t kCapacity = 4096;

  struct Kept {
    int64_t version;
    int64_t count;
  };
  std::optional<Kept> Find(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Kept* kept = counts_.Find(key);
    if (kept == nullptr) return std::nullopt;
    return *kept;
  }
  // Keeps the count unless one of a later version is kept already.
  void Store(const std::string& key, Kept kept) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Kept* held = counts_.Find(key)) {
      if (held->version <= kept.version) *held = kept;
      return;
    }
    counts_.Insert(key, kept);
  }

 private:
  std::mutex mutex_;
  LruCache<std::string, Kept> counts_{kCapacity};  // a charge of 1 each
};

// Misses of one key at one version that arrive together: the first runs the query, the others
// wait for its result instead of running the same count again. After an article change every
// reader of a popular list or keyword misses at once, and on a large site each such count can
// take seconds. A waiter whose runner failed runs the query itself.
template <typename T>
class SingleFlight {
 public:
  template <typename Work>
  T Run(const std::string& key, int64_t version, Work&& work) {
    std::promise<T> promise;
    std::shared_future<T> running;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = flights_.find(key);
      if (it != flights_.end() && it->second.version == version) {
        running = it->second.result;
      } else {
        flights_[key] = Flight{version, promise.get_future().share()};
      }
    }
    if (running.valid()) {
      try {
        return running.get();
      } catch (...) {
        return work();
      }
    }
    try {
      T value = work();
      promise.set_value(value);
      Finish(key, version);
      return value;
    } catch (...) {
      promise.set_exception(std::current_exception());
      Finish(key, version);
      throw;
    }
  }

 private:
  struct Flight {
    int64_t version;
    std::shared_future<T> result;
  };
  void Finish(const std::string& key, int64_t version) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = flights_.find(key);
    if (it != flights_.end() && it->second.version == version) flights_.erase(it);
  }
  std::mutex mutex_;
  std::unordered_map<std::string, Flight> flights_;
};

// Read once a request, until it writes: every list of a page is counted at the version its first
// read found (the first statement of a page brings it along, FindChannelRow).
int64_t ReadVersion(Connection& conn) {
  return conn.ReadUntilWrite(std::string(kArticleDataVersionSql)).ToInt64Or(0);
}

}  // namespace

std::string RandomStartingVersion() {
  std::random_device device;
  std::mt19937_64 rng((static_cast<uint64_t>(device()) << 32) ^ device());
  return std::to_string(static_cast<int64_t>(rng() >> 2));
}

namespace {

// What EnsureListStructures does for a database not yet made sure of.
void MakeSureOfStructures(Connection& conn, ListCaches* lists) {
  const bool built = conn.engine() == SqlEngine::kPostgres
                         ? HasPostgresStructures(conn)
                         : HasSqliteObject(conn, "table", "Vantrel_ArticleVersion") &&
                               HasSqliteObject(conn, "index", kArticleTimeOrderIndex) &&
                               HasSqliteObject(conn, "table", kArticleChangeTable) &&
                               HasSqliteObject(conn, "table", kSearchIndexTable);
  if (!built) {
    CreateStructures(conn);
  } else {
    MarkMissingLongStructures(conn);
  }
  EnsureOrderTrigger(conn);
  EnsureSettingsVersion(conn);
  BuildSmallListStructures(conn, lists);
  BuildSmallSearchIndex(conn, SearchReadyOf(lists));
  // Texts set aside while no server ran (another program's writes) are counted in now rather
  // than at the first search.
  if (SearchIndexReady(conn, SearchReadyOf(lists))) ApplyGramChanges(conn);
}

void Forget(DatabaseSet& set, Connection& conn) {
  std::lock_guard<std::mutex> lock(set.mutex);
  set.keys.erase(conn.session().pool_key());
}

}  // namespace

void EnsureListStructures(Connection& conn, ListCaches* lists) {
  if (lists == nullptr) {
    MakeSureOfStructures(conn, nullptr);
    return;
  }
  const std::string key = conn.session().pool_key();
  std::lock_guard<std::mutex> lock(lists->made.mutex);
  if (lists->made.keys.count(key) > 0) return;
  MakeSureOfStructures(conn, lists);
  lists->made.keys.insert(key);
}

int64_t ArticleDataVersion(Connection& conn, ListCaches* lists) {
  EnsureListStructures(conn, lists);
  try {
    return ReadVersion(conn);
  } catch (const DbError&) {
    // The database was made again at the same place since: make sure of it once more.
    if (lists != nullptr) Forget(lists->made, conn);
    ForgetSearchIndexReady(conn, SearchReadyOf(lists));
    if (lists != nullptr) Forget(lists->built, conn);
    EnsureListStructures(conn, lists);
    return ReadVersion(conn);
  }
}

bool ListStructuresReady(Connection& conn, ListCaches* lists) {
  // A database not made sure of yet has no mark until it is.
  EnsureListStructures(conn, lists);
  return LongStructuresBuilt(conn, lists);
}

namespace {

void Remember(DatabaseSet& set, Connection& conn) {
  std::lock_guard<std::mutex> lock(set.mutex);
  set.keys.insert(conn.session().pool_key());
}

bool LongStructuresBuilt(Connection& conn, ListCaches* lists) {
  if (lists != nullptr) {
    std::lock_guard<std::mutex> lock(lists->built.mutex);
    if (lists->built.keys.count(conn.session().pool_key()) > 0) return true;
  }
  if (HasFillMark(conn)) return false;
  if (lists != nullptr) Remember(lists->built, conn);
  return true;
}

}  // namespace

ListStructuresProgress ReadListStructuresProgress(Connection& conn) {
  if (!HasFillMark(conn)) return {.ready = true, .percent = 100};
  const int indexes = static_cast<int>(LongIndexes(conn.engine()).size());
  const int made = LongIndexesMade(conn);
  if (conn.engine() != SqlEngine::kPostgres) {
    return {.ready = false, .percent = std::min(99, made * 100 / indexes)};
  }
  // The order of clicks counts as one index more, by the share of the articles' ids filled.
  const int64_t filled = conn.session().NativeNumber(
      "select d_filled from " + std::string(kListFillTable) + " where d_id = 1", 0);
  const int64_t last =
      conn.session().NativeNumber("select coalesce(max(d_id), 0) from Vantrel_Article", 0);
  const double share = last <= 0 ? 1.0 : std::min(1.0, static_cast<double>(filled) / last);
  return {.ready = false,
          .percent = std::min(99, static_cast<int>((made + share) * 100 / (indexes + 1)))};
}

namespace {

bool BuildLongStructures(Connection& conn, ListCaches* lists, const ListBuildOptions& options) {
  if (LongStructuresBuilt(conn, lists)) return true;
  const bool postgres = conn.engine() == SqlEngine::kPostgres;
  auto stopped = [&options] { return options.stop != nullptr && options.stop->load(); };
  auto report = [&] {
    if (options.on_progress) options.on_progress(ReadListStructuresProgress(conn));
  };
  // PostgreSQL: one host builds while the others wait for it, or find it done.
  struct SessionLock {
    Connection& conn;
    bool held = false;
    ~SessionLock() {
      if (!held) return;
      try {
        conn.session().ExecuteNative("SELECT pg_advisory_unlock(" + std::to_string(kListBuildLock) +
                                     ")");
        conn.session().ExecuteNative("RESET maintenance_work_mem");
      } catch (...) {
      }
    }
  } lock{conn};
  if (postgres) {
    while (conn.session().NativeNumber("select cast(pg_try_advisory_lock(" +
                                           std::to_string(kListBuildLock) + ") as integer)",
                                       0) == 0) {
      if (stopped()) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    lock.held = true;
    if (LongStructuresBuilt(conn, lists)) return true;
    // The indexes are built from the rows already there: give the builds room.
    RunNative(conn, "SELECT set_config('maintenance_work_mem', '256MB', false)");
  }
  const std::string how = postgres && options.concurrently ? "CONCURRENTLY " : "";
  for (const LongIndex& index : LongIndexes(conn.engine())) {
    if (stopped()) return false;
    if (HasLongIndex(conn, index)) continue;
    if (postgres) {
      // One an interrupted concurrent build left, or one made before without the columns it
      // carries now, is made again.
      RunNative(conn, "DROP INDEX " + how + "IF EXISTS " + index.name);
      RunNative(conn, "CREATE INDEX " + how + index.name + " " + index.made);
    } else {
      RunNative(conn, "CREATE INDEX IF NOT EXISTS " + index.name + " " + index.made);
    }
    report();
  }
  const std::string mark(kListFillTable);
  if (postgres) {
    // The order of clicks, in steps by article id; the triggers keep the rows of the articles
    // written meanwhile and of those added since the table was made.
    const int64_t last =
        conn.session().NativeNumber("select coalesce(max(d_id), 0) from Vantrel_Article", 0);
    int64_t low =
        conn.session().NativeNumber("select d_filled from " + mark + " where d_id = 1", 0) + 1;
    const int64_t step = std::max<int64_t>(1, options.fill_step);
    while (low <= last) {
      if (stopped()) return false;
      // Over a gap in the ids at once.
      low = conn.session().NativeNumber(
          "select coalesce(min(d_id), " + std::to_string(last + 1) +
              ") from Vantrel_Article where d_id >= " + std::to_string(low),
          0);
      if (low > last) break;
      const int64_t high = std::min(last, low + step - 1);
      ScopedTransaction transaction(conn);
      RunNative(conn, ClickOrderFillStep(low, high));
      RunNative(conn,
                "UPDATE " + mark + " SET d_filled = " + std::to_string(high) + " WHERE d_id = 1");
      transaction.Commit();
      report();
      low = high + 1;
    }
    if (stopped()) return false;
    for (const std::string& sql : ClickOrderFinish()) RunNative(conn, sql);
    // The planner learns of the new indexes' rows.
    RunNative(conn, "ANALYZE Vantrel_Article");
  }
  RunNative(conn, "DROP TABLE IF EXISTS " + mark);
  if (lists != nullptr) Remember(lists->built, conn);
  if (options.on_progress) options.on_progress({.ready = true, .percent = 100});
  return true;
}

}  // namespace

bool BuildListStructures(Connection& conn, ListCaches* lists, const ListBuildOptions& options) {
  EnsureListStructures(conn, lists);
  return BuildLongStructures(conn, lists, options);
}

namespace {

// A cache key: the database and the list.
std::string ListKey(Connection& conn, const ListQuery& list) {
  return conn.session().pool_key() + '\n' + list.Key();
}

// The heads of paged lists by key with the version they were read at, the least recently used
// last, bounded by the ids they hold in all.
struct HeadCache {
  struct Entry {
    int64_t version;
    std::shared_ptr<const ListHead> head;
  };
  std::mutex mutex;
  LruCache<std::string, Entry> entries{kMostListHeadIds};  // charged the ids each holds
};

// Id lists by database and select, with the version they were read at; a few, the oldest going
// first.
struct IdCache {
  static constexpr size_t kCapacity = 256;
  struct Entry {
    int64_t version;
    std::shared_ptr<const std::vector<int64_t>> ids;
  };
  std::mutex mutex;
  LruCache<std::string, Entry> entries{kCapacity};  // a charge of 1 each
};
}  // namespace

struct ListCaches::Kept {
  CountCache counts;
  HeadCache heads;
  IdCache ids;
  // The readers at a head, an id list and a count.
  SingleFlight<std::shared_ptr<const ListHead>> head_reads;
  SingleFlight<std::shared_ptr<const std::vector<int64_t>>> id_reads;
  SingleFlight<int64_t> counts_taken;
};

ListCaches::ListCaches() : kept(std::make_unique<Kept>()) {}
ListCaches::~ListCaches() = default;

std::shared_ptr<const ListHead> FindListHead(Connection& conn, ListCaches* lists,
                                             const ListQuery& list, int64_t version, int64_t rows) {
  if (lists == nullptr) return nullptr;
  const std::string key = ListKey(conn, list);
  HeadCache& cache = lists->kept->heads;
  std::lock_guard<std::mutex> lock(cache.mutex);
  const HeadCache::Entry* kept = cache.entries.Peek(key);
  if (kept == nullptr || kept->version != version) return nullptr;
  const ListHead& head = *kept->head;
  if (!head.whole && static_cast<int64_t>(head.ids.size()) < rows) return nullptr;
  return cache.entries.Find(key)->head;
}

void KeepListHead(Connection& conn, ListCaches* lists, const ListQuery& list, int64_t version,
                  std::shared_ptr<const ListHead> head) {
  if (lists == nullptr || head == nullptr || head->ids.size() > kMostListHeadIds) return;
  const std::string key = ListKey(conn, list);
  HeadCache& cache = lists->kept->heads;
  std::lock_guard<std::mutex> lock(cache.mutex);
  // A shorter head of the same version does not replace a longer one.
  const HeadCache::Entry* kept = cache.entries.Peek(key);
  if (kept != nullptr && kept->version == version && kept->head->ids.size() >= head->ids.size()) {
    return;
  }
  const size_t ids = head->ids.size();
  cache.entries.Insert(key, HeadCache::Entry{version, std::move(head)}, ids);
}

std::shared_ptr<const ListHead> ReadListHeadOnce(
    Connection& conn, ListCaches* lists, const ListQuery& list, int64_t version, int64_t rows,
    const std::function<std::shared_ptr<const ListHead>()>& read) {
  if (lists == nullptr) return read();
  return lists->kept->head_reads.Run(ListKey(conn, list) + '\n' + std::to_string(rows), version,
                                     [&]() -> std::shared_ptr<const ListHead> {
                                       std::shared_ptr<const ListHead> head = read();
                                       KeepListHead(conn, lists, list, version, head);
                                       return head;
                                     });
}

namespace {

// Whether a head can be brought forward in `order`: pinning, time and id alone, each either way.
bool OrderOfKeptHeads(const std::vector<ListOrderKey>& order) {
  if (order.empty()) return false;
  for (const ListOrderKey& key : order) {
    if (key.column != "d_topflag" && key.column != "d_addtime" && key.column != "d_id") {
      return false;
    }
  }
  return true;
}

// Compares two articles by a list's order, in the database (its own comparison of each key, as
// its order applies it): -1 when article x comes first, 1 when article m does, 0 when they tie on
// every key; nullopt when either is gone or a key is null. One statement prepared once, bound and
// counted for each comparison.
class OrderComparison {
 public:
  OrderComparison(Connection& conn, const std::vector<ListOrderKey>& keys) : conn_(conn) {
    std::string before, after, same;
    for (const ListOrderKey& key : keys) {
      const std::string x = "x." + key.column, m = "m." + key.column;
      const std::string first = key.descending ? " > " : " < ";
      const std::string last = key.descending ? " < " : " > ";
      before += std::string(before.empty() ? "" : " or ") + "(" + same +
                (same.empty() ? "" : " and ") + x + first + m + ")";
      after += std::string(after.empty() ? "" : " or ") + "(" + same +
               (same.empty() ? "" : " and ") + x + last + m + ")";
      same += (same.empty() ? "" : " and ") + x + " = " + m;
    }
    sql_ = "select case when " + before + " then -1 when " + same + " then 0 when " + after +
           " then 1 end from Vantrel_Article x, Vantrel_Article m where x.d_id = ? and m.d_id = ?";
    statement_ = conn.session().Prepare(sql_);
  }
  std::optional<int> operator()(int64_t x, int64_t m) {
    conn_.CountStatement(sql_, *statement_);
    statement_->Bind({Variant(static_cast<long long>(x)), Variant(static_cast<long long>(m))});
    std::optional<int> result;
    if (statement_->Step() && !statement_->Column(0).IsNull()) {
      result = static_cast<int>(statement_->Column(0).ToInt64Or(0));
    }
    while (statement_->Step()) {
    }
    return result;
  }

 private:
  Connection& conn_;
  std::string sql_;
  std::unique_ptr<db::Statement> statement_;
};

// The count of `list` with the data version read beside it, as one statement counted on conn.
CountCache::Kept CountWithVersion(Connection& conn, const ListQuery& list) {
  const std::string sql =
      list.CountSql(", (select d_version from Vantrel_ArticleVersion where d_id = 1)");
  std::unique_ptr<db::Statement> st = conn.session().Prepare(sql);
  conn.CountStatement(sql, *st);
  st->Bind(list.Values());
  CountCache::Kept counted{0, 0};
  if (st->Step()) counted = {st->Column(1).ToInt64Or(0), st->Column(0).ToInt64Or(0)};
  while (st->Step()) {
  }
  return counted;
}

// The head kept for key at an earlier version than `version` that the log still reaches.
std::optional<std::pair<int64_t, std::shared_ptr<const ListHead>>> EarlierHead(
    HeadCache& cache, const std::string& key, int64_t version) {
  std::lock_guard<std::mutex> lock(cache.mutex);
  const HeadCache::Entry* kept = cache.entries.Peek(key);
  if (kept == nullptr || !LogReaches(kept->version, version)) return std::nullopt;
  return std::make_pair(kept->version, kept->head);
}

// Those of the articles `ids` that belong to a list now, read with its logged conditions.
std::vector<int64_t> BelongNow(Connection& conn, const LoggedCondition& logged,
                               const std::vector<int64_t>& ids) {
  BoundSql in = IdsIn("d_id", ids);
  std::vector<Variant> values = logged.values;
  values.insert(values.end(), in.params.begin(), in.params.end());
  std::vector<int64_t> members;
  Recordset rs;
  rs.Open("select d_id from Vantrel_Article where " +
              (logged.where.empty() ? std::string() : logged.where + " and ") + in.sql,
          values, conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) members.push_back(rs.Field(0).ToInt64Or(0));
  return members;
}

// `kept`, a head of `list` read at version `from`, brought to the articles as they are now
// (ListHeadBroughtForward); nullptr when it cannot be exactly. The same head when no change
// touched it.
std::shared_ptr<const ListHead> BroughtForward(Connection& conn,
                                               std::shared_ptr<const ListHead> kept, int64_t from,
                                               const ListQuery& list) {
  const std::optional<LoggedCondition> logged = list.Whole().Logged();
  if (!OrderOfKeptHeads(list.order) || !logged) return nullptr;
  const std::optional<LogReplay> changed =
      ReplaySince(conn, from, &*logged, ReplayBounds{.most_rows = 16 * kMostHeadChanges});
  if (!changed) return nullptr;
  const ListHead& head = *kept;

  // The articles whose place may have changed: in the list at one end and not the other, or
  // pinned or given a new time; and those in it at both ends with their keys as they were.
  std::vector<int64_t> touched, stayed;
  for (const ChangedArticle& a : changed->articles) {
    if (a.moved || a.met_before != a.meets_now) {
      touched.push_back(a.id);
    } else if (a.meets_now) {
      stayed.push_back(a.id);
    }
  }
  if (touched.size() + stayed.size() > kMostHeadChanges) return nullptr;
  if (touched.empty() && stayed.empty()) return kept;
  OrderComparison compare(conn, list.order);
  // One that stayed keeps its place unless it ties on every key with a row beside it: the
  // database gives tied rows in the order it meets them, which the change may have moved (a
  // changed approval flag moves a row within an index of the list).
  for (int64_t id : stayed) {
    const auto it = std::find(head.ids.begin(), head.ids.end(), id);
    bool clear;
    if (it == head.ids.end()) {
      // Past a head of the first rows: after its last row, and not tied with it.
      if (head.whole) return nullptr;
      clear = !head.ids.empty() && compare(id, head.ids.back()) == 1;
    } else {
      const size_t at = static_cast<size_t>(it - head.ids.begin());
      clear = (at == 0 || compare(id, head.ids[at - 1]) == 1) &&
              (at + 1 < head.ids.size() ? compare(id, head.ids[at + 1]) == -1 : head.whole);
    }
    if (!clear) touched.push_back(id);
  }
  std::shared_ptr<const ListHead> forward = kept;
  if (!touched.empty()) {
    const std::vector<int64_t> members = BelongNow(conn, *logged, touched);
    const std::set<int64_t> out(touched.begin(), touched.end());
    std::vector<int64_t> rest;
    rest.reserve(head.ids.size());
    for (int64_t id : head.ids) {
      if (out.count(id) == 0) rest.push_back(id);
    }
    // Each member's place among the rows left: the first row it comes before. A tie on every key
    // leaves its place to the database's own walk, which the head cannot know.
    std::vector<std::pair<size_t, int64_t>> placed;
    for (int64_t id : members) {
      size_t low = 0, high = rest.size();
      while (low < high) {
        const size_t mid = low + (high - low) / 2;
        const std::optional<int> c = compare(id, rest[mid]);
        if (!c || *c == 0) return nullptr;
        if (*c < 0) {
          high = mid;
        } else {
          low = mid + 1;
        }
      }
      // Past the rows of a head that holds only the list's first rows: not in the head.
      if (low == rest.size() && !head.whole) continue;
      placed.emplace_back(low, id);
    }
    // Members at one place go in their own order.
    bool ordered = true;
    std::sort(placed.begin(), placed.end(), [&](const auto& a, const auto& b) {
      if (a.first != b.first) return a.first < b.first;
      const std::optional<int> c = compare(a.second, b.second);
      if (!c || *c == 0) ordered = false;
      return c && *c < 0;
    });
    if (!ordered) return nullptr;
    auto next = std::make_shared<ListHead>();
    next->whole = head.whole;
    next->ids.reserve(rest.size() + placed.size());
    size_t p = 0;
    for (size_t i = 0; i <= rest.size(); ++i) {
      for (; p < placed.size() && placed[p].first == i; ++p) next->ids.push_back(placed[p].second);
      if (i < rest.size()) next->ids.push_back(rest[i]);
    }
    forward = std::move(next);
  }
  // Another change meanwhile may have moved a row the places were found by.
  if (ReadVersion(conn) != changed->version) return nullptr;
  return forward;
}

}  // namespace

std::shared_ptr<const ListHead> ListHeadBroughtForward(Connection& conn, ListCaches* lists,
                                                       const ListQuery& list, int64_t version) {
  if (lists == nullptr) return nullptr;
  const auto earlier = EarlierHead(lists->kept->heads, ListKey(conn, list), version);
  if (!earlier) return nullptr;
  std::shared_ptr<const ListHead> forward =
      BroughtForward(conn, earlier->second, earlier->first, list);
  if (forward != nullptr) KeepListHead(conn, lists, list, version, forward);
  return forward;
}

namespace {

// The ids of `list` read from the database; nullptr when it has more than max_rows rows.
std::shared_ptr<const std::vector<int64_t>> ReadIds(Connection& conn, const ListQuery& list,
                                                    size_t max_rows) {
  auto read = std::make_shared<std::vector<int64_t>>();
  Recordset rs;
  rs.Open(list.Select(list.id_column), list.Values(), conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    if (read->size() >= max_rows) return nullptr;
    read->push_back(rs.Field(0).ToInt64Or(0));
  }
  return read;
}

// `earlier`'s ids, kept at an earlier version, brought forward as a whole head of `list`:
// nullptr when they cannot be, or when they grew past max_rows (`*too_many` then).
std::shared_ptr<const std::vector<int64_t>> IdsBroughtForward(Connection& conn,
                                                              const IdCache::Entry& earlier,
                                                              const ListQuery& list,
                                                              size_t max_rows, bool* too_many) {
  auto head = std::make_shared<ListHead>();
  head->ids = *earlier.ids;
  head->whole = true;
  std::shared_ptr<const ListHead> forward = BroughtForward(conn, head, earlier.version, list);
  if (forward == head) return earlier.ids;
  if (forward == nullptr) return nullptr;
  if (forward->ids.size() > max_rows) {
    *too_many = true;
    return nullptr;
  }
  return std::make_shared<const std::vector<int64_t>>(forward->ids);
}

// The count of `list` with the version it was taken at: brought forward from `kept`, a count
// a few changes behind, by the changes the log holds since, or counted again.
CountCache::Kept TakeCount(Connection& conn, const ListQuery& list, int64_t version,
                           const std::optional<CountCache::Kept>& kept) {
  if (kept && LogReaches(kept->version, version)) {
    const std::optional<LoggedCondition> logged = list.Logged();
    const std::optional<int64_t> change =
        logged ? CountChangeBetween(conn, *logged, kept->version, version) : std::nullopt;
    if (change) return {version, kept->count + *change};
  }
  // Counted again, with the version in the same reading, since a later reader brings the count
  // forward from the version it is filed under.
  return CountWithVersion(conn, list);
}

}  // namespace

std::shared_ptr<const std::vector<int64_t>> CachedIds(Connection& conn, ListCaches* lists,
                                                      const ListQuery& list, size_t max_rows) {
  if (lists == nullptr) return ReadIds(conn, list, max_rows);
  const int64_t version = ArticleDataVersion(conn, lists);
  const std::string key = ListKey(conn, list);
  IdCache& cache = lists->kept->ids;
  std::optional<IdCache::Entry> earlier;
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (const IdCache::Entry* kept = cache.entries.Peek(key)) {
      if (kept->version == version) return cache.entries.Find(key)->ids;
      if (LogReaches(kept->version, version)) earlier = *kept;
    }
  }
  return lists->kept->id_reads.Run(key + '\n' + std::to_string(max_rows), version,
                                   [&]() -> std::shared_ptr<const std::vector<int64_t>> {
                                     std::shared_ptr<const std::vector<int64_t>> ids;
                                     // A list a few changes behind is brought forward as a whole
                                     // head of itself.
                                     if (earlier && list.first_rows == 0) {
                                       bool too_many = false;
                                       ids = IdsBroughtForward(conn, *earlier, list, max_rows,
                                                               &too_many);
                                       if (too_many) return nullptr;
                                     }
                                     if (ids == nullptr) ids = ReadIds(conn, list, max_rows);
                                     if (ids == nullptr) return nullptr;
                                     std::lock_guard<std::mutex> lock(cache.mutex);
                                     cache.entries.Insert(key, IdCache::Entry{version, ids});
                                     return ids;
                                   });
}

int64_t CachedCount(Connection& conn, ListCaches* lists, const ListQuery& list) {
  if (list.DependsOnTime()) {
    return conn.ExecuteScalar(list.CountSql(), list.Values()).ToInt64Or(0);
  }
  return CachedCount(conn, lists, list, ArticleDataVersion(conn, lists));
}

int64_t CachedCount(Connection& conn, ListCaches* lists, const ListQuery& list, int64_t version) {
  if (list.DependsOnTime()) {
    return conn.ExecuteScalar(list.CountSql(), list.Values()).ToInt64Or(0);
  }
  // A list of the first N rows: its count is kept as the whole list's, so that the log brings it
  // forward.
  if (list.first_rows > 0 && list.Whole().Logged()) {
    return std::min(list.first_rows, CachedCount(conn, lists, list.Whole(), version));
  }
  // The order cannot change a count: lists in other orders share it.
  const ListQuery counted = list.first_rows > 0 ? list : list.Whole();
  if (lists == nullptr) return CountWithVersion(conn, counted).count;
  CountCache& counts = lists->kept->counts;
  const std::string key = ListKey(conn, counted);
  const std::optional<CountCache::Kept> kept = counts.Find(key);
  if (kept && kept->version == version) return kept->count;
  return lists->kept->counts_taken.Run(key, version, [&] {
    const CountCache::Kept taken = TakeCount(conn, counted, version, kept);
    counts.Store(key, taken);
    return taken.count;
  });
}

std::optional<int64_t> KeptCountAt(Connection& conn, ListCaches* lists, const ListQuery& list,
                                   int64_t version) {
  if (lists == nullptr || list.DependsOnTime()) return std::nullopt;
  if (list.first_rows > 0 && list.Whole().Logged()) {
    const std::optional<int64_t> whole = KeptCountAt(conn, lists, list.Whole(), version);
    if (!whole) return std::nullopt;
    return std::min(list.first_rows, *whole);
  }
  const ListQuery counted = list.first_rows > 0 ? list : list.Whole();
  const std::optional<CountCache::Kept> kept = lists->kept->counts.Find(ListKey(conn, counted));
  if (!kept || kept->version != version) return std::nullopt;
  return kept->count;
}

}  // namespace folirex
