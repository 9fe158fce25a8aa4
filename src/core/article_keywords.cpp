#include "core/article_keywords.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/advisory_locks.h"
#include "core/database_set.h"
#include "platform/cache/lru_cache.h"
#include "platform/db/db_error.h"
#include "platform/db/provider.h"
#include "platform/db/scoped_transaction.h"

namespace folirex {
namespace {

const std::string kTable(kArticleKeywordTable);

// The columns whose change moves an article's entries: what it holds and what the block tests
// and orders by.
const char kKeptColumns[] = "d_id, d_keyword, d_channelid, d_addtime, d_deleted, d_checked";

// SQLite: the entries of `row`'s keyword list as a JSON array of the texts around each "|"
// (json_quote escapes every character a JSON text cannot hold, and no escape holds a "|"); the
// entries between two "|" are its elements but the first and the last.
std::string SqliteParts(const std::string& row) {
  return "'[' || replace(json_quote(CAST(" + row + ".d_keyword AS TEXT)), '|', '\",\"') || ']'";
}

// SQLite: the select of `row`'s distinct entries, as the index's rows, when it is listed.
std::string SqliteEntries(const std::string& row, const std::string& from) {
  const std::string parts = SqliteParts(row);
  return "SELECT DISTINCT j.value COLLATE NOCASE, " + row + ".d_channelid, " + row +
         ".d_addtime, " + row + ".d_id FROM " + from + "json_each(" + parts + ") AS j WHERE " +
         row + ".d_deleted = 0 AND " + row + ".d_checked = -1 AND j.key > 0 AND j.key < " +
         "json_array_length(" + parts + ") - 1 AND j.value <> ''";
}

std::vector<std::string> SqliteStatements() {
  const std::string insert =
      std::string("INSERT INTO ") + kTable + " (d_keyword, d_channelid, d_addtime, d_articleid) ";
  const std::string drop = std::string("DELETE FROM ") + kTable + " WHERE d_articleid = old.d_id;";
  std::string changed;
  for (const char* c :
       {"d_id", "d_keyword", "d_channelid", "d_addtime", "d_deleted", "d_checked"}) {
    changed += std::string(changed.empty() ? "" : " OR ") + "old." + c + " IS NOT new." + c;
  }
  return {
      std::string("CREATE TABLE ") + kTable +
          " (d_keyword TEXT COLLATE NOCASE NOT NULL, d_channelid INTEGER, d_addtime DATETIME, "
          "d_articleid INTEGER NOT NULL)",
      insert + SqliteEntries("a", "Vantrel_Article AS a, "),
      std::string("CREATE INDEX idx_articlekeyword_order ON ") + kTable +
          " (d_keyword, d_channelid, d_addtime, d_articleid)",
      std::string("CREATE INDEX idx_articlekeyword_article ON ") + kTable + " (d_articleid)",
      "CREATE TRIGGER trg_article_keyword_insert AFTER INSERT ON Vantrel_Article BEGIN " + insert +
          SqliteEntries("new", "") + "; END",
      "CREATE TRIGGER trg_article_keyword_delete AFTER DELETE ON Vantrel_Article BEGIN " + drop +
          " END",
      std::string("CREATE TRIGGER trg_article_keyword_update AFTER UPDATE OF ") + kKeptColumns +
          " ON Vantrel_Article WHEN " + changed + " BEGIN " + drop + " " + insert +
          SqliteEntries("new", "") + "; END",
  };
}

// PostgreSQL: the entries of a keyword list are the elements of string_to_array(list, '|') but
// the first and the last; each once under citext's folding.
std::vector<std::string> PostgresStatements() {
  std::string changed;
  for (const char* c :
       {"d_id", "d_keyword::text", "d_channelid", "d_addtime", "d_deleted", "d_checked"}) {
    changed +=
        std::string(changed.empty() ? "" : " OR ") + "OLD." + c + " IS DISTINCT FROM NEW." + c;
  }
  const std::string run = " ON Vantrel_Article FOR EACH ROW ";
  const std::string call = " EXECUTE FUNCTION folirex_article_keywords()";
  return {
      std::string("CREATE TABLE ") + kTable +
          " (d_keyword citext NOT NULL, d_channelid integer, d_addtime datetime, d_articleid "
          "integer NOT NULL)",
      std::string("INSERT INTO ") + kTable +
          " (d_keyword, d_channelid, d_addtime, d_articleid) SELECT DISTINCT p.k::citext, "
          "a.d_channelid, a.d_addtime, a.d_id FROM Vantrel_Article a, "
          "unnest(string_to_array(a.d_keyword::text, '|')) WITH ORDINALITY AS p(k, i) WHERE "
          "a.d_deleted = 0 AND a.d_checked = -1 AND p.i > 1 AND p.i < "
          "cardinality(string_to_array(a.d_keyword::text, '|')) AND p.k <> ''",
      std::string("CREATE INDEX idx_articlekeyword_order ON ") + kTable +
          " (d_keyword, d_channelid, d_addtime, d_articleid)",
      std::string("CREATE INDEX idx_articlekeyword_article ON ") + kTable + " (d_articleid)",
      std::string("ANALYZE ") + kTable,
      "CREATE OR REPLACE FUNCTION folirex_article_keywords() RETURNS trigger LANGUAGE plpgsql AS "
      "$$ DECLARE parts text[]; BEGIN IF TG_OP <> 'INSERT' THEN DELETE FROM " +
          std::string(kTable) +
          " WHERE d_articleid = OLD.d_id; END IF; IF TG_OP <> 'DELETE' AND NEW.d_deleted = 0 AND "
          "NEW.d_checked = -1 AND NEW.d_keyword IS NOT NULL THEN parts := "
          "string_to_array(NEW.d_keyword::text, '|'); INSERT INTO " +
          kTable +
          " (d_keyword, d_channelid, d_addtime, d_articleid) SELECT DISTINCT p.k::citext, "
          "NEW.d_channelid, NEW.d_addtime, NEW.d_id FROM unnest(parts) WITH ORDINALITY AS p(k, "
          "i) WHERE p.i > 1 AND p.i < cardinality(parts) AND p.k <> ''; END IF; RETURN NULL; END "
          "$$",
      "CREATE TRIGGER trg_article_keyword_insert AFTER INSERT" + run + call,
      "CREATE TRIGGER trg_article_keyword_delete AFTER DELETE" + run + call,
      std::string("CREATE TRIGGER trg_article_keyword_update AFTER UPDATE OF ") + kKeptColumns +
          run + "WHEN (" + changed + ")" + call,
  };
}

// SQLite: the mark of an index whose rows are still being filled, the statement of
// SqliteStatements that fills them, and the articles (by id) filled in one step.
const std::string kFillMark = "Vantrel_ArticleKeywordFill";
constexpr size_t kSqliteFill = 1;
constexpr int64_t kFillStep = 10000;

bool HasIndex(Connection& conn) {
  const bool postgres = conn.engine() == SqlEngine::kPostgres;
  std::unique_ptr<db::Statement> st = conn.session().PrepareNative(
      postgres ? "select (select count(*) from pg_class c join pg_namespace n on n.oid = "
                 "c.relnamespace where n.nspname = current_schema() and c.relname = "
                 "'vantrel_articlekeyword') + (select count(*) from pg_trigger t join pg_class c "
                 "on c.oid = t.tgrelid join pg_namespace n on n.oid = c.relnamespace where "
                 "n.nspname = current_schema() and c.relname = 'vantrel_article' and t.tgname "
                 "like 'trg_article_keyword_%')"
               : "select (select count(*) from sqlite_schema where name = 'Vantrel_ArticleKeyword' "
                 "or (type = 'trigger' and name like 'trg_article_keyword_%')) - 4 * (select "
                 "count(*) from sqlite_schema where name = 'Vantrel_ArticleKeywordFill')");
  st->Bind({});
  return st->Step() && st->Column(0).ToInt64Or(0) == 4;
}

void Create(Connection& conn) {
  if (conn.engine() == SqlEngine::kPostgres) {
    ScopedTransaction transaction(conn);
    // Hosts that start together on one database create the index one after another.
    conn.session().ExecuteNative("SELECT pg_advisory_xact_lock(" +
                                 std::to_string(kArticleKeywordLock) + ")");
    if (HasIndex(conn)) return;
    for (const std::string& sql : PostgresStatements()) conn.session().ExecuteNative(sql);
    transaction.Commit();
    return;
  }
  // SQLite: the table, its indexes and its triggers first, with a mark that the rows are still
  // being filled, then the rows in short steps by article id, each taking the write lock for a
  // moment (one transaction over 1,000,000 articles held it for 26 s, and writers give up after
  // 5 s). A step makes its articles' entries exact whatever the triggers wrote for them before;
  // after it the triggers keep them, and articles added since the first step are the triggers'.
  // A build stopped midway leaves the mark, and the next one fills every step again.
  const std::vector<std::string> statements = SqliteStatements();
  {
    // The write lock first, so that another process creating it waits and then finds it made.
    SessionTransaction transaction(conn);
    if (HasIndex(conn)) return;
    if (conn.session().NativeNumber(
            "select count(*) from sqlite_schema where name = '" + kTable + "'", 0) == 0) {
      conn.session().ExecuteNative("CREATE TABLE " + kFillMark + " (d_id INTEGER)");
      for (size_t i = 0; i < statements.size(); ++i) {
        if (i != kSqliteFill) conn.session().ExecuteNative(statements[i]);
      }
    }
    transaction.Commit();
  }
  const int64_t last =
      conn.session().NativeNumber("select coalesce(max(d_id), 0) from Vantrel_Article", 0);
  for (int64_t low = 0; low <= last; low += kFillStep) {
    // Over a gap in the ids at once.
    low = conn.session().NativeNumber(
        "select coalesce(min(d_id), " + std::to_string(last + 1) +
            ") from Vantrel_Article where d_id >= " + std::to_string(low),
        0);
    if (low > last) break;
    const std::string range = std::to_string(low) + " AND " + std::to_string(low + kFillStep - 1);
    SessionTransaction transaction(conn);
    conn.session().ExecuteNative("DELETE FROM " + kTable + " WHERE d_articleid BETWEEN " + range);
    conn.session().ExecuteNative(statements[kSqliteFill] + " AND a.d_id BETWEEN " + range);
    transaction.Commit();
  }
  SessionTransaction transaction(conn);
  conn.session().ExecuteNative("DROP TABLE IF EXISTS " + kFillMark);
  transaction.Commit();
}

int64_t KeptCount(Connection& conn, KeywordCounts* counts, const std::string& what,
                  const std::string& sql, const std::vector<Variant>& params) {
  if (counts == nullptr) return conn.ExecuteScalar(sql, params).ToInt64Or(0);
  KeywordCounts& cache = *counts;
  const std::string key = conn.session().pool_key() + '\n' + what;
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    KeywordCounts::Entry* found = cache.entries.Find(key);
    if (found != nullptr && ++found->uses % KeywordCounts::kRecountUses != 0) return found->count;
  }
  const int64_t count = conn.ExecuteScalar(sql, params).ToInt64Or(0);
  std::lock_guard<std::mutex> lock(cache.mutex);
  if (KeywordCounts::Entry* held = cache.entries.Find(key)) {
    held->count = count;
  } else {
    cache.entries.Insert(key, {.count = count, .uses = 0});
  }
  return count;
}

// Whether reading the channel newest first (the block's select without the index) meets the
// block's rows within a few hundred articles, by how many of the channel's articles hold the
// keywords: then it costs less than the index's reads (a channel of common keywords).
bool ChannelReadFindsSooner(Connection& conn, KeywordCounts* counts,
                            const KeywordArticlesQuery& query) {
  constexpr int64_t kFewestToRead = 256;
  const Variant channel(static_cast<long long>(query.channel_id));
  const std::string in_channel = std::to_string(query.channel_id);
  int64_t holding = 0;
  for (const std::string& keyword : query.keywords) {
    holding += KeptCount(
        conn, counts, "keyword " + in_channel + " " + keyword,
        std::string("select count(*) from ") + kTable + " where d_keyword = ? and d_channelid = ?",
        {Variant(keyword), channel});
  }
  if (holding == 0) return false;
  const int64_t articles = KeptCount(conn, counts, "channel " + in_channel,
                                     "select count(*) from Vantrel_Article where d_channelid = ? "
                                     "and d_deleted = false and d_checked = true",
                                     {channel});
  return query.rows * articles / holding <= kFewestToRead;
}

bool Holds(DatabaseSet& set, const std::string& key) {
  std::lock_guard<std::mutex> lock(set.mutex);
  return set.keys.count(key) > 0;
}

}  // namespace

void EnsureArticleKeywordIndex(Connection& conn, KeywordIndexMarks* marks, bool again) {
  // Without marks KeywordArticlesSql never reads the index, so none is made for it.
  if (marks == nullptr) return;
  const std::string key = conn.session().pool_key();
  if (Holds(marks->pending, key)) return;
  DatabaseSet& registry = marks->ready;
  std::lock_guard<std::mutex> lock(registry.mutex);
  if (!again && registry.keys.count(key) > 0) return;
  if (!HasIndex(conn)) Create(conn);
  registry.keys.insert(key);
}

KeywordIndexState ArticleKeywordIndexState(Connection& conn, KeywordIndexMarks* marks) {
  if (marks == nullptr) return KeywordIndexState::kNotYet;
  const std::string key = conn.session().pool_key();
  if (Holds(marks->pending, key)) return KeywordIndexState::kBuilding;
  return Holds(marks->ready, key) ? KeywordIndexState::kReady : KeywordIndexState::kNotYet;
}

ArticleKeywordIndexBuild::ArticleKeywordIndexBuild(Connection& conn, KeywordIndexMarks& marks)
    : conn_(conn), marks_(marks), key_(conn.session().pool_key()) {
  std::lock_guard<std::mutex> lock(marks_.pending.mutex);
  marks_.pending.keys.insert(key_);
}

ArticleKeywordIndexBuild::~ArticleKeywordIndexBuild() {
  std::lock_guard<std::mutex> lock(marks_.pending.mutex);
  marks_.pending.keys.erase(key_);
}

bool ArticleKeywordIndexBuild::Needed() { return !HasIndex(conn_); }

bool ArticleKeywordIndexBuild::Run() {
  const bool made = !HasIndex(conn_);
  if (made) Create(conn_);
  // Made sure of before the pages stop passing it by, so that none meets neither.
  {
    std::lock_guard<std::mutex> lock(marks_.ready.mutex);
    marks_.ready.keys.insert(key_);
  }
  std::lock_guard<std::mutex> lock(marks_.pending.mutex);
  marks_.pending.keys.erase(key_);
  return made;
}

std::optional<std::string> KeywordArticlesSql(Connection& conn, const KeywordArticlesQuery& query,
                                              std::vector<Variant>* params,
                                              KeywordIndexMarks* marks, KeywordCounts* counts) {
  if (query.rows <= 0 || query.keywords.empty() || query.keywords.size() > kMostIndexedKeywords) {
    return std::nullopt;
  }
  for (const std::string& keyword : query.keywords) {
    // A wildcard matches more than the entry itself, and PostgreSQL's like reads "\" as an
    // escape.
    if (keyword.find_first_of("%_\\") != std::string::npos) return std::nullopt;
  }
  if (marks == nullptr || !Holds(marks->ready, conn.session().pool_key())) return std::nullopt;
  if (ChannelReadFindsSooner(conn, counts, query)) return std::nullopt;
  const Variant channel(static_cast<long long>(query.channel_id));
  const Variant except(static_cast<long long>(query.except_id));
  const std::string entries = std::string(" from ") + kTable +
                              " where d_keyword = ? and d_channelid = ? and d_articleid <> ?";
  // A keyword's newest `rows` and those tied in time with the last of them: all from the time
  // of the last on. Rows without a time, which the engines put first (PostgreSQL) or last
  // (SQLite) and min() passes over, are all taken besides.
  const std::string newest = "select d_articleid" + entries +
                             " and d_addtime >= (select min(d_addtime) from (select top " +
                             std::to_string(query.rows) + " d_addtime" + entries +
                             " order by d_addtime desc) n) union select d_articleid" + entries +
                             " and d_addtime is null";
  std::string sql;
  params->reserve(params->size() + query.keywords.size() * 9);
  for (const std::string& keyword : query.keywords) {
    sql += (sql.empty() ? "" : " union ") + newest;
    for (int part = 0; part < 3; ++part) {
      // One at a time: GCC 12 at -O3 warns falsely of a value read uninitialized when the three
      // are inserted as a list.
      params->emplace_back(keyword);
      params->push_back(channel);
      params->push_back(except);
    }
  }
  return sql;
}

}  // namespace folirex
