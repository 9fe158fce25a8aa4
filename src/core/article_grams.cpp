#include "core/article_grams.h"

#include <memory>
#include <unordered_map>
#include <utility>

#include "platform/db/provider.h"
#include "platform/db/scoped_transaction.h"
#include "platform/text/short_grams.h"

namespace folirex {
namespace {

// The searched columns, numbered as the table keeps them.
struct GramColumn {
  int number;
  const char* name;
};
constexpr GramColumn kGramColumns[] = {
    {1, "d_title"}, {2, "d_author"}, {3, "d_inputer"}, {4, "d_content"}};

std::optional<int> ColumnNumber(const std::string& column) {
  for (const GramColumn& c : kGramColumns) {
    if (column == c.name) return c.number;
  }
  return std::nullopt;
}

// A row `row` (old or new) is listed: approved and not in the recycle bin, as the pages' "d_deleted
// = false and d_checked = true" reads the stored flags.
std::string Listed(const char* row) {
  return std::string("(") + row + ".d_deleted = 0 AND " + row + ".d_checked = -1)";
}

// An update moves an article between the counts' rows.
std::string Moved() {
  return "(old.d_channelid IS NOT new.d_channelid OR old.d_classid IS NOT new.d_classid OR " +
         Listed("old") + " IS NOT " + Listed("new") + ")";
}

// SQLite: the texts whose sequences wait to be counted, with the sign of their count (1 added,
// -1 taken away) and the channel and class they count in. The triggers copy them here in plain
// SQL, so that any program that writes articles keeps the counts (the sqlite3 shell among them);
// the server counts them before it reads a count (ApplyGramChanges). A text left NULL is one an
// update did not change.
constexpr std::string_view kGramChangeTable = "Vantrel_ArticleGramChange";

std::string SqliteChange(const char* row, int sign, const std::string& changed) {
  const std::string r(row);
  std::string texts;
  for (const GramColumn& c : kGramColumns) {
    const std::string value = r + "." + c.name;
    texts += ", " + (changed.empty() ? value
                                     : "CASE WHEN " + changed + " OR old." + c.name +
                                           " IS NOT new." + c.name + " THEN " + value + " END");
  }
  return "INSERT INTO " + std::string(kGramChangeTable) +
         " (k_sign, k_channelid, k_classid, d_title, d_author, d_inputer, d_content) SELECT " +
         std::to_string(sign) + ", " + r + ".d_channelid, " + r + ".d_classid" + texts +
         (changed.empty() ? "" : " WHERE " + Listed(row)) + ";";
}

std::vector<std::string> SqliteStatements() {
  std::string text_changed;
  for (const GramColumn& c : kGramColumns) {
    text_changed += std::string(" OR old.") + c.name + " IS NOT new." + c.name;
  }
  const std::string table(kArticleGramTable), changes(kGramChangeTable);
  return {
      "CREATE TABLE " + table +
          " (k_channelid INTEGER NOT NULL, k_column INTEGER NOT NULL, k_gram TEXT NOT NULL, "
          "k_classid INTEGER NOT NULL, k_count INTEGER NOT NULL, PRIMARY KEY (k_channelid, "
          "k_column, k_gram, k_classid)) WITHOUT ROWID",
      "CREATE TABLE " + changes +
          " (k_id INTEGER PRIMARY KEY, k_sign INTEGER NOT NULL, k_channelid INTEGER, k_classid "
          "INTEGER, d_title TEXT, d_author TEXT, d_inputer TEXT, d_content TEXT)",
      "CREATE TRIGGER trg_article_grams_insert AFTER INSERT ON Vantrel_Article WHEN " +
          Listed("new") + " BEGIN " + SqliteChange("new", 1, "") + " END",
      "CREATE TRIGGER trg_article_grams_delete AFTER DELETE ON Vantrel_Article WHEN " +
          Listed("old") + " BEGIN " + SqliteChange("old", -1, "") + " END",
      "CREATE TRIGGER trg_article_grams_update AFTER UPDATE OF d_channelid, d_classid, "
      "d_deleted, d_checked, d_title, d_author, d_inputer, d_content ON Vantrel_Article WHEN (" +
          Listed("old") + " OR " + Listed("new") + ") AND (" + Moved() + text_changed + ") BEGIN " +
          SqliteChange("old", -1, Moved()) + SqliteChange("new", 1, Moved()) + " END",
  };
}

// PostgreSQL: the rows of `rows` (a table of article rows, or a VALUES list) counted with `sign`
// (an expression), the keys in order so that writers that meet lock them in one order.
std::string PostgresCounted(const std::string& rows, const std::string& sign) {
  std::string columns;
  for (const GramColumn& c : kGramColumns) {
    columns += std::string(columns.empty() ? "" : ", ") + "(" + std::to_string(c.number) +
               ", cast(r." + c.name + " as text))";
  }
  const std::string table(kArticleGramTable);
  return "INSERT INTO " + table +
         " (k_channelid, k_column, k_gram, k_classid, k_count) SELECT r.d_channelid, c.k, g.g, "
         "r.d_classid, " +
         sign + " * count(*) FROM " + rows + " r CROSS JOIN LATERAL (VALUES " + columns +
         ") c(k, t) CROSS JOIN LATERAL unnest(folirex_distinct_grams(c.t)) g(g) WHERE "
         "r.d_deleted = 0 AND r.d_checked = -1 GROUP BY 1, 2, 3, 4 ORDER BY 1, 2, 3, 4 ON "
         "CONFLICT (k_channelid, k_column, k_gram, k_classid) DO UPDATE SET k_count = " +
         table + ".k_count + excluded.k_count";
}

std::vector<std::string> PostgresStatements() {
  const std::string table(kArticleGramTable);
  // An update counts again only the columns it changed, unless it moved the article.
  std::string update;
  for (const GramColumn& c : kGramColumns) {
    const std::string changed =
        "moved OR OLD." + std::string(c.name) + " IS DISTINCT FROM NEW." + c.name;
    for (const char* row : {"OLD", "NEW"}) {
      const std::string r(row);
      update += "IF " + r + ".d_deleted = 0 AND " + r + ".d_checked = -1 AND (" + changed +
                ") THEN INSERT INTO " + table +
                " (k_channelid, k_column, k_gram, k_classid, k_count) SELECT " + r +
                ".d_channelid, " + std::to_string(c.number) + ", g, " + r + ".d_classid, " +
                (r == "OLD" ? "-1" : "1") + " FROM unnest(folirex_distinct_grams(cast(" + r + "." +
                c.name +
                " as text))) g ORDER BY g ON CONFLICT (k_channelid, k_column, k_gram, "
                "k_classid) DO UPDATE SET k_count = " +
                table + ".k_count + excluded.k_count; END IF; ";
    }
  }
  return {
      "CREATE TABLE IF NOT EXISTS " + table +
          " (k_channelid integer NOT NULL, k_column smallint NOT NULL, k_gram text NOT NULL, "
          "k_classid integer NOT NULL, k_count bigint NOT NULL, PRIMARY KEY (k_channelid, "
          "k_column, k_gram, k_classid))",
      // Each distinct character of lower(t) and each with the one after it, in one pass: the
      // characters split apart, each paired with the next. In PL/pgSQL, whose plan a session
      // keeps.
      "CREATE OR REPLACE FUNCTION folirex_distinct_grams(t text) RETURNS text[] LANGUAGE plpgsql "
      "IMMUTABLE STRICT PARALLEL SAFE AS $$ BEGIN RETURN ARRAY(SELECT DISTINCT g FROM (SELECT "
      "c, lead(c) OVER (ORDER BY i) AS d FROM unnest(string_to_array(lower(t), NULL)) WITH "
      "ORDINALITY u(c, i)) x CROSS JOIN LATERAL (VALUES (c), (c || d)) v(g) WHERE g IS NOT "
      "NULL); END $$",
      "CREATE OR REPLACE FUNCTION folirex_article_grams() RETURNS trigger LANGUAGE plpgsql AS $$ "
      "DECLARE moved boolean; BEGIN IF TG_OP = 'INSERT' THEN " +
          PostgresCounted("folirex_grams_new", "1") + "; ELSIF TG_OP = 'DELETE' THEN " +
          PostgresCounted("folirex_grams_old", "-1") +
          "; ELSIF TG_OP = 'TRUNCATE' THEN DELETE FROM " + table +
          "; ELSE moved := OLD.d_channelid IS DISTINCT FROM NEW.d_channelid OR OLD.d_classid IS "
          "DISTINCT FROM NEW.d_classid OR (OLD.d_deleted = 0 AND OLD.d_checked = -1) IS "
          "DISTINCT FROM (NEW.d_deleted = 0 AND NEW.d_checked = -1); " +
          update + "END IF; RETURN NULL; END $$",
      "CREATE OR REPLACE TRIGGER trg_article_grams_insert AFTER INSERT ON Vantrel_Article "
      "REFERENCING NEW TABLE AS folirex_grams_new FOR EACH STATEMENT EXECUTE FUNCTION "
      "folirex_article_grams()",
      "CREATE OR REPLACE TRIGGER trg_article_grams_delete AFTER DELETE ON Vantrel_Article "
      "REFERENCING OLD TABLE AS folirex_grams_old FOR EACH STATEMENT EXECUTE FUNCTION "
      "folirex_article_grams()",
      "CREATE OR REPLACE TRIGGER trg_article_grams_truncate AFTER TRUNCATE ON Vantrel_Article "
      "FOR EACH STATEMENT EXECUTE FUNCTION folirex_article_grams()",
      "CREATE OR REPLACE TRIGGER trg_article_grams_update AFTER UPDATE OF d_channelid, "
      "d_classid, d_deleted, d_checked, d_title, d_author, d_inputer, d_content ON "
      "Vantrel_Article FOR EACH ROW EXECUTE FUNCTION folirex_article_grams()",
  };
}

// SQLite: counts added up in memory, keyed by channel, class, column and packed sequence.
class GramTally {
 public:
  explicit GramTally(Connection& conn) : conn_(conn) {}
  void Add(int64_t channel, int64_t class_id, int column, std::string_view text, int sign) {
    for (uint64_t gram : PackedShortGrams(text))
      counts_[Key{channel, class_id, column, gram}] += sign;
    if (counts_.size() >= kMostKeysHeld) Flush();
  }
  void Flush() {
    if (counts_.empty()) return;
    std::unique_ptr<db::Statement> st = conn_.session().PrepareNative(
        "INSERT INTO " + std::string(kArticleGramTable) +
        " (k_channelid, k_classid, k_column, k_gram, k_count) VALUES (?, ?, ?, ?, ?) ON "
        "CONFLICT DO UPDATE SET k_count = k_count + excluded.k_count");
    for (const auto& [key, count] : counts_) {
      if (count == 0) continue;
      std::vector<Variant> row;
      row.emplace_back(static_cast<long long>(key.channel));
      row.emplace_back(static_cast<long long>(key.class_id));
      row.emplace_back(static_cast<long long>(key.column));
      row.emplace_back(UnpackShortGram(key.gram));
      row.emplace_back(static_cast<long long>(count));
      st->Bind(row);
      st->Step();
    }
    counts_.clear();
  }

 private:
  struct Key {
    int64_t channel;
    int64_t class_id;
    int column;
    uint64_t gram;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& k) const {
      uint64_t h = k.gram * 0x9E3779B97F4A7C15ULL;
      h ^= (static_cast<uint64_t>(k.channel) * 0xC2B2AE3D27D4EB4FULL) + (h << 6) + (h >> 2);
      h ^= (static_cast<uint64_t>(k.class_id) * 0x165667B19E3779F9ULL) + (h << 6) + (h >> 2);
      return static_cast<size_t>(h ^ static_cast<uint64_t>(k.column));
    }
  };
  static constexpr size_t kMostKeysHeld = 1'000'000;
  Connection& conn_;
  std::unordered_map<Key, int64_t, KeyHash> counts_;
};

// SQLite: the sequences of the texts of `select` (sign, channel, class, then the texts in the
// order of kGramColumns) counted in, with each row's sign.
void CountTexts(Connection& conn, const std::string& select) {
  GramTally tally(conn);
  std::unique_ptr<db::Statement> st = conn.session().PrepareNative(select);
  st->Bind({});
  while (st->Step()) {
    const int sign = static_cast<int>(st->Column(0).ToInt64Or(0));
    const int64_t channel = st->Column(1).ToInt64Or(0), class_id = st->Column(2).ToInt64Or(0);
    for (int i = 0; i < 4; ++i) {
      const Variant text = st->Column(3 + i);
      if (!text.IsNull()) {
        tally.Add(channel, class_id, kGramColumns[i].number, text.ToString(), sign);
      }
    }
  }
  tally.Flush();
}

}  // namespace

std::vector<std::string> ArticleGramStatements(SqlEngine engine) {
  return engine == SqlEngine::kPostgres ? PostgresStatements() : SqliteStatements();
}

void FillArticleGrams(Connection& conn) {
  if (conn.engine() == SqlEngine::kPostgres) {
    conn.session().ExecuteNative(PostgresCounted("Vantrel_Article", "1"));
    return;
  }
  CountTexts(conn,
             "SELECT 1, d_channelid, d_classid, d_title, d_author, d_inputer, d_content FROM "
             "Vantrel_Article WHERE d_deleted = 0 AND d_checked = -1");
}

void ApplyGramChanges(Connection& conn) {
  if (conn.engine() != SqlEngine::kSqlite) return;
  const std::string changes(kGramChangeTable);
  std::unique_ptr<db::Statement> st =
      conn.session().PrepareNative("select max(k_id) from " + changes);
  st->Bind({});
  const int64_t last = st->Step() ? st->Column(0).ToInt64Or(0) : 0;
  st.reset();
  if (last == 0) return;
  ScopedTransaction transaction(conn);
  const std::string upto = " WHERE k_id <= " + std::to_string(last);
  CountTexts(conn,
             "SELECT k_sign, k_channelid, k_classid, d_title, d_author, d_inputer, "
             "d_content FROM " +
                 changes + upto);
  conn.session().ExecuteNative("DELETE FROM " + changes + upto);
  transaction.Commit();
}

std::optional<int64_t> ListedKeywordCount(Connection& conn, const std::string& column,
                                          const std::string& keyword,
                                          const ListedArticles& listed) {
  const std::optional<int> number = ColumnNumber(column);
  if (!number || keyword.find_first_of("%_") != std::string::npos) return std::nullopt;
  const bool postgres = conn.engine() == SqlEngine::kPostgres;
  // PostgreSQL's like takes a backslash as its escape.
  if (postgres && keyword.find('\\') != std::string::npos) return std::nullopt;
  const std::string key = ShortGramKey(keyword);
  if (key.empty()) return std::nullopt;
  std::string sql =
      "SELECT coalesce(sum(k_count), 0) FROM " + std::string(kArticleGramTable) +
      " WHERE k_channelid = ? AND k_column = ? AND k_gram = " + (postgres ? "lower(?)" : "?");
  std::vector<Variant> params;
  params.emplace_back(static_cast<long long>(listed.channel));
  params.emplace_back(static_cast<long long>(*number));
  params.emplace_back(postgres ? keyword : key);
  if (listed.class_id) {
    sql += " AND k_classid = ?";
    params.emplace_back(static_cast<long long>(*listed.class_id));
  }
  ApplyGramChanges(conn);
  std::unique_ptr<db::Statement> st = conn.session().PrepareNative(sql);
  conn.CountStatement(sql);
  st->Bind(params);
  return st->Step() ? st->Column(0).ToInt64Or(0) : 0;
}

}  // namespace folirex
