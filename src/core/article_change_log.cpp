#include "core/article_change_log.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "platform/db/provider.h"

namespace folirex {
namespace {

// The article's columns a count may test, as the log holds them; the types and collations are
// the article table's own (db/schema_*.sql), so that a condition reads a log row as it reads the
// article.
struct LoggedColumn {
  const char* name;
  const char* sqlite_type;
  const char* postgres_type;
};
constexpr LoggedColumn kLoggedColumns[] = {
    {"d_id", "INTEGER", "integer"},
    {"d_channelid", "INTEGER", "integer"},
    {"d_classid", "INTEGER", "integer"},
    {"d_subjectid", "INTEGER", "integer"},
    {"d_hotflag", "YESNO", "yesno"},
    {"d_recommendflag", "YESNO", "yesno"},
    {"d_deleted", "YESNO", "yesno"},
    {"d_checked", "YESNO", "yesno"},
    {"d_title", "TEXT COLLATE NOCASE", "citext"},
    {"d_author", "TEXT COLLATE NOCASE", "citext"},
    {"d_inputer", "TEXT COLLATE NOCASE", "citext"},
};

// The body is tested by the body search's counts, which the log cannot bring forward (it holds
// no bodies): its change moves the version and logs the article's images all the same, so that
// such a count is taken again, and the body search's kept matches (core/search_index.h) test the
// logged articles again.
constexpr const char* kVersionOnlyColumn = "d_content";

std::string ColumnList(const std::string& prefix) {
  std::string list;
  for (const LoggedColumn& c : kLoggedColumns) {
    list += (list.empty() ? "" : ", ") + prefix + c.name;
  }
  return list;
}

std::string TableDefinition(bool postgres) {
  std::string sql = std::string("CREATE TABLE ") + (postgres ? "IF NOT EXISTS " : "") +
                    std::string(kArticleChangeTable) + " (d_version " +
                    (postgres ? "bigint" : "INTEGER") + " NOT NULL, d_sign integer NOT NULL";
  for (const LoggedColumn& c : kLoggedColumns) {
    sql += std::string(", ") + c.name + " " + (postgres ? c.postgres_type : c.sqlite_type);
  }
  return sql + ")";
}

// The condition under which an update changes what the log or a count sees.
std::string ChangedCondition(const char* differs) {
  std::string cond;
  for (const LoggedColumn& c : kLoggedColumns) {
    cond += std::string(cond.empty() ? "" : " OR ") + "old." + c.name + differs + "new." + c.name;
  }
  return cond + " OR old." + kVersionOnlyColumn + differs + "new." + kVersionOnlyColumn;
}

std::string UpdatedColumns() {
  std::string list;
  for (const LoggedColumn& c : kLoggedColumns) {
    list += std::string(list.empty() ? "" : ", ") + c.name;
  }
  return list + ", " + kVersionOnlyColumn;
}

std::string LogInsert() {
  return "INSERT INTO " + std::string(kArticleChangeTable) + " (d_version, d_sign, " +
         ColumnList("") + ") ";
}

// Row 2: the version the log begins at.
constexpr const char* kLogBegins =
    "INSERT INTO Vantrel_ArticleVersion (d_id, d_version) SELECT 2, d_version FROM "
    "Vantrel_ArticleVersion WHERE d_id = 1";

std::vector<std::string> SqliteStatements() {
  const std::string bump =
      "UPDATE Vantrel_ArticleVersion SET d_version = d_version + 1 WHERE d_id = 1;";
  auto log = [](const char* sign, const char* row) {
    return LogInsert() + "SELECT d_version, " + sign + ", " + ColumnList(std::string(row) + ".") +
           " FROM Vantrel_ArticleVersion WHERE d_id = 1;";
  };
  const std::string trim = "DELETE FROM " + std::string(kArticleChangeTable) +
                           " WHERE d_version <= (SELECT d_version FROM Vantrel_ArticleVersion "
                           "WHERE d_id = 1) - " +
                           std::to_string(kArticleVersionsLogged) + ";";
  return {
      TableDefinition(false),
      "CREATE INDEX idx_articlechange_version ON " + std::string(kArticleChangeTable) +
          " (d_version)",
      kLogBegins,
      "CREATE TRIGGER trg_article_change_insert AFTER INSERT ON Vantrel_Article BEGIN " + bump +
          log("1", "new") + trim + " END",
      "CREATE TRIGGER trg_article_change_delete AFTER DELETE ON Vantrel_Article BEGIN " + bump +
          log("-1", "old") + trim + " END",
      "CREATE TRIGGER trg_article_change_update AFTER UPDATE OF " + UpdatedColumns() +
          " ON Vantrel_Article WHEN " + ChangedCondition(" IS NOT ") + " BEGIN " + bump +
          log("-1", "old") + log("1", "new") + trim + " END",
  };
}

// PostgreSQL: one version per inserting or deleting statement, its rows read from the
// statement's transition table; one per updated row whose tested columns changed.
std::vector<std::string> PostgresStatements() {
  const std::string table(kArticleChangeTable);
  const std::string body =
      "DECLARE v bigint; BEGIN "
      "UPDATE Vantrel_ArticleVersion SET d_version = d_version + 1 WHERE d_id = 1 "
      "RETURNING d_version INTO v; "
      "IF TG_OP = 'UPDATE' THEN " +
      LogInsert() + "VALUES (v, -1, " + ColumnList("OLD.") + "), (v, 1, " + ColumnList("NEW.") +
      "); ELSIF TG_OP = 'INSERT' THEN " + LogInsert() + "SELECT v, 1, " + ColumnList("") +
      " FROM folirex_new_rows; ELSE " + LogInsert() + "SELECT v, -1, " + ColumnList("") +
      " FROM folirex_old_rows; END IF; "
      "DELETE FROM " +
      table + " WHERE d_version <= v - " + std::to_string(kArticleVersionsLogged) +
      "; RETURN NULL; END";
  return {
      TableDefinition(true),
      "CREATE INDEX IF NOT EXISTS idx_articlechange_version ON " + table + " (d_version)",
      std::string(kLogBegins) + " ON CONFLICT (d_id) DO NOTHING",
      "DROP TRIGGER IF EXISTS trg_article_list_rows ON Vantrel_Article",
      "DROP TRIGGER IF EXISTS trg_article_list_update ON Vantrel_Article",
      "DROP FUNCTION IF EXISTS folirex_article_version()",
      "CREATE OR REPLACE FUNCTION folirex_article_change() RETURNS trigger LANGUAGE plpgsql AS "
      "$$ " +
          body + " $$",
      "CREATE OR REPLACE TRIGGER trg_article_change_insert AFTER INSERT ON Vantrel_Article "
      "REFERENCING NEW TABLE AS folirex_new_rows FOR EACH STATEMENT EXECUTE FUNCTION "
      "folirex_article_change()",
      "CREATE OR REPLACE TRIGGER trg_article_change_delete AFTER DELETE ON Vantrel_Article "
      "REFERENCING OLD TABLE AS folirex_old_rows FOR EACH STATEMENT EXECUTE FUNCTION "
      "folirex_article_change()",
      "CREATE OR REPLACE TRIGGER trg_article_change_update AFTER UPDATE OF " + UpdatedColumns() +
          " ON Vantrel_Article FOR EACH ROW WHEN (" + ChangedCondition(" IS DISTINCT FROM ") +
          ") EXECUTE FUNCTION folirex_article_change()",
  };
}

}  // namespace

std::vector<std::string> ArticleChangeLogStatements(SqlEngine engine) {
  return engine == SqlEngine::kPostgres ? PostgresStatements() : SqliteStatements();
}

bool IsLoggedColumn(std::string_view column) {
  for (const LoggedColumn& c : kLoggedColumns) {
    if (column == c.name) return true;
  }
  return false;
}

std::optional<int64_t> CountChangeBetween(Connection& conn, const LoggedCondition& count,
                                          int64_t from, int64_t to) {
  // Beside the sum, in the same reading of the database, the version now and the one the log
  // began at: what the triggers dropped since shows in them.
  std::string sql =
      "select sum(d_sign), (select d_version from Vantrel_ArticleVersion where d_id = 1), "
      "(select d_version from Vantrel_ArticleVersion where d_id = 2) from " +
      std::string(kArticleChangeTable) + " where d_version > ? and d_version <= ?";
  if (!count.where.empty()) sql += " and (" + count.where + ")";
  std::unique_ptr<db::Statement> st = conn.session().Prepare(sql);
  conn.CountStatement(sql, *st);
  std::vector<Variant> values{Variant(static_cast<long long>(from)),
                              Variant(static_cast<long long>(to))};
  values.insert(values.end(), count.values.begin(), count.values.end());
  st->Bind(values);
  if (!st->Step()) return std::nullopt;
  const int64_t change = st->Column(0).ToInt64Or(0);
  const Variant now = st->Column(1), began = st->Column(2);
  while (st->Step()) {
  }
  if (now.IsNull() || began.IsNull()) return std::nullopt;
  const int64_t oldest_held =
      std::max(began.ToInt64Or(0), now.ToInt64Or(0) - kArticleVersionsLogged);
  if (from < oldest_held) return std::nullopt;
  return change;
}

std::vector<std::string> ArticleOrderChangeStatements(SqlEngine engine) {
  const std::string trigger(kArticleOrderChangeTrigger);
  const std::string table(kArticleChangeTable);
  const std::string trim = "DELETE FROM " + table + " WHERE d_version <= ";
  const std::string window = " - " + std::to_string(kArticleVersionsLogged);
  if (engine == SqlEngine::kPostgres) {
    return {
        "DROP TRIGGER IF EXISTS trg_article_list_order ON Vantrel_Article",
        "DROP FUNCTION IF EXISTS folirex_article_order_version()",
        "CREATE OR REPLACE FUNCTION folirex_article_order_change() RETURNS trigger LANGUAGE "
        "plpgsql AS $$ DECLARE v bigint; BEGIN UPDATE Vantrel_ArticleVersion SET d_version = "
        "d_version + 1 WHERE d_id = 1 RETURNING d_version INTO v; " +
            LogInsert() + "VALUES (v, 0, " + ColumnList("NEW.") + "); " + trim + "v" + window +
            "; RETURN NULL; END $$",
        "CREATE OR REPLACE TRIGGER " + trigger +
            " AFTER UPDATE OF d_topflag, d_addtime ON Vantrel_Article FOR EACH ROW WHEN "
            "(old.d_topflag IS DISTINCT FROM new.d_topflag OR old.d_addtime IS DISTINCT FROM "
            "new.d_addtime) EXECUTE FUNCTION folirex_article_order_change()",
    };
  }
  const std::string now = "(SELECT d_version FROM Vantrel_ArticleVersion WHERE d_id = 1)";
  return {
      "DROP TRIGGER IF EXISTS trg_article_list_order",
      "CREATE TRIGGER IF NOT EXISTS " + trigger +
          " AFTER UPDATE OF d_topflag, d_addtime ON Vantrel_Article WHEN old.d_topflag IS NOT "
          "new.d_topflag OR old.d_addtime IS NOT new.d_addtime BEGIN UPDATE "
          "Vantrel_ArticleVersion SET d_version = d_version + 1 WHERE d_id = 1; " +
          LogInsert() + "SELECT d_version, 0, " + ColumnList("new.") +
          " FROM Vantrel_ArticleVersion WHERE d_id = 1; " + trim + now + window + "; END",
  };
}

bool LogReaches(int64_t kept, int64_t now) {
  return kept < now && now - kept <= kArticleVersionsLogged;
}

std::optional<LogReplay> ReplaySince(Connection& conn, int64_t from, const LoggedCondition* test,
                                     const ReplayBounds& bounds) {
  // Each image with what it meets, in the order of the articles and then of the changes (an
  // update's old image before its new one); on every row, and on the one row an empty log gives,
  // the version now and the one the log began at, in the same reading.
  const std::string meets = test == nullptr || test->where.empty()
                                ? "1"
                                : "case when (" + test->where + ") then 1 else 0 end";
  const std::string top =
      bounds.most_rows > 0 ? "top " + std::to_string(bounds.most_rows + 1) + " " : "";
  const std::string sql =
      "select " + top +
      "c.d_id, c.d_sign, c.meets, c.d_version, (select d_version from Vantrel_ArticleVersion "
      "where d_id = 1), (select d_version from Vantrel_ArticleVersion where d_id = 2) from "
      "(select 1 as one) o left outer join (select d_version, d_id, d_sign, " +
      meets + " as meets from " + std::string(kArticleChangeTable) +
      " where d_version > ?) c on 1 = 1 order by c.d_id, c.d_version, c.d_sign";
  std::unique_ptr<db::Statement> st = conn.session().Prepare(sql);
  conn.CountStatement(sql, *st);
  std::vector<Variant> values;
  if (test != nullptr) values = test->values;
  values.emplace_back(static_cast<long long>(from));
  st->Bind(values);
  LogReplay replay;
  std::vector<int64_t> versions;
  Variant latest, began;
  size_t rows = 0;
  bool too_many = false, seen_image = false;
  while (st->Step()) {
    latest = st->Column(4);
    began = st->Column(5);
    if (st->Column(0).IsNull() || too_many) continue;
    if (bounds.most_rows > 0 && ++rows > bounds.most_rows) {
      too_many = true;
      continue;
    }
    const int64_t id = st->Column(0).ToInt64Or(0);
    if (replay.articles.empty() || replay.articles.back().id != id) {
      if (bounds.most_articles > 0 && replay.articles.size() >= bounds.most_articles) {
        too_many = true;
        continue;
      }
      replay.articles.push_back(ChangedArticle{.id = id});
      seen_image = false;
    }
    if (bounds.every_version_logged) versions.push_back(st->Column(3).ToInt64Or(0));
    ChangedArticle& article = replay.articles.back();
    const int64_t sign = st->Column(1).ToInt64Or(0);
    if (sign == 0) {
      article.moved = replay.moved = true;
      continue;
    }
    // The first image of an article tells what it was at `from`: an old image (-1) what its row
    // met, a new one (+1) that it did not exist.
    const bool met = st->Column(2).ToInt64Or(0) != 0;
    if (!seen_image) article.met_before = sign < 0 && met;
    seen_image = true;
    article.meets_now = sign > 0 && met;
  }
  if (too_many || latest.IsNull() || began.IsNull()) return std::nullopt;
  replay.version = latest.ToInt64Or(0);
  const int64_t oldest_held = std::max(began.ToInt64Or(0), replay.version - kArticleVersionsLogged);
  if (from < oldest_held || from > replay.version) return std::nullopt;
  if (bounds.every_version_logged) {
    std::sort(versions.begin(), versions.end());
    versions.erase(std::unique(versions.begin(), versions.end()), versions.end());
    if (static_cast<int64_t>(versions.size()) != replay.version - from) return std::nullopt;
  }
  return replay;
}

}  // namespace folirex
