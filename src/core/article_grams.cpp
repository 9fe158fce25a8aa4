#include "core/article_grams.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

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

// The rows that say what the table holds beside the counts (k_column 0 names no column): the
// table is built, and which connection builds it (k_count a number of its own).
constexpr std::string_view kBuiltRow =
    "k_channelid = 0 AND k_column = 0 AND k_gram = '' AND k_classid = -1";
constexpr std::string_view kBuilderRow =
    "k_channelid = 0 AND k_column = 0 AND k_gram = '' AND k_classid = -2";

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

// The texts whose sequences wait to be counted, with the sign of their count (1 added, -1 taken
// away, on PostgreSQL 0 for a truncation) and the channel and class they count in. SQLite's
// triggers always copy them here in plain SQL, so that any program that writes articles keeps the
// counts (the sqlite3 shell among them); the server counts them before it reads a count
// (ApplyGramChanges). PostgreSQL's copy them here only while the table is being built. A text
// left NULL is one an update did not change.
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

// The triggers are those the table had before it kept only common sequences: they copy every
// change, and the counting picks the kept sequences.
std::vector<std::string> SqliteStatements() {
  std::string text_changed;
  for (const GramColumn& c : kGramColumns) {
    text_changed += std::string(" OR old.") + c.name + " IS NOT new." + c.name;
  }
  const std::string table(kArticleGramTable), changes(kGramChangeTable);
  return {
      "CREATE TABLE IF NOT EXISTS " + table +
          " (k_channelid INTEGER NOT NULL, k_column INTEGER NOT NULL, k_gram TEXT NOT NULL, "
          "k_classid INTEGER NOT NULL, k_count INTEGER NOT NULL, PRIMARY KEY (k_channelid, "
          "k_column, k_gram, k_classid)) WITHOUT ROWID",
      "CREATE TABLE IF NOT EXISTS " + changes +
          " (k_id INTEGER PRIMARY KEY, k_sign INTEGER NOT NULL, k_channelid INTEGER, k_classid "
          "INTEGER, d_title TEXT, d_author TEXT, d_inputer TEXT, d_content TEXT)",
      "CREATE TRIGGER IF NOT EXISTS trg_article_grams_insert AFTER INSERT ON Vantrel_Article "
      "WHEN " +
          Listed("new") + " BEGIN " + SqliteChange("new", 1, "") + " END",
      "CREATE TRIGGER IF NOT EXISTS trg_article_grams_delete AFTER DELETE ON Vantrel_Article "
      "WHEN " +
          Listed("old") + " BEGIN " + SqliteChange("old", -1, "") + " END",
      "CREATE TRIGGER IF NOT EXISTS trg_article_grams_update AFTER UPDATE OF d_channelid, "
      "d_classid, d_deleted, d_checked, d_title, d_author, d_inputer, d_content ON "
      "Vantrel_Article WHEN (" +
          Listed("old") + " OR " + Listed("new") + ") AND (" + Moved() + text_changed + ") BEGIN " +
          SqliteChange("old", -1, Moved()) + SqliteChange("new", 1, Moved()) + " END",
  };
}

// PostgreSQL: the rows of `rows` (a transition table of article rows) counted with `sign`, for
// the kept sequences only, under the article's class and the channel's marker; the keys in order
// so that writers that meet lock them in one order.
std::string PostgresCounted(const std::string& rows, const std::string& sign) {
  std::string columns;
  for (const GramColumn& c : kGramColumns) {
    columns += std::string(columns.empty() ? "" : ", ") + "(" + std::to_string(c.number) +
               ", cast(r." + c.name + " as text))";
  }
  const std::string table(kArticleGramTable);
  return "INSERT INTO " + table +
         " (k_channelid, k_column, k_gram, k_classid, k_count) SELECT r.d_channelid, c.k, g.g, "
         "x.k, " +
         sign + " * count(*) FROM " + rows + " r CROSS JOIN LATERAL (VALUES " + columns +
         ") c(k, t) CROSS JOIN LATERAL unnest(folirex_distinct_grams(c.t)) g(g) CROSS JOIN "
         "LATERAL (VALUES (r.d_classid), (-1)) x(k) WHERE r.d_deleted = 0 AND r.d_checked = -1 "
         "AND EXISTS (SELECT 1 FROM " +
         table +
         " m WHERE m.k_channelid = r.d_channelid AND m.k_column = c.k AND m.k_gram = g.g AND "
         "m.k_classid = -1) GROUP BY 1, 2, 3, 4 ORDER BY 1, 2, 3, 4 ON CONFLICT (k_channelid, "
         "k_column, k_gram, k_classid) DO UPDATE SET k_count = " +
         table + ".k_count + excluded.k_count";
}

// PostgreSQL: the rows of `rows` set aside with `sign` while the table is being built.
std::string PostgresSetAside(const std::string& rows, const std::string& sign) {
  std::string texts;
  for (const GramColumn& c : kGramColumns) texts += std::string(", cast(r.") + c.name + " as text)";
  return "INSERT INTO " + std::string(kGramChangeTable) +
         " (k_sign, k_channelid, k_classid, d_title, d_author, d_inputer, d_content) SELECT " +
         sign + ", r.d_channelid, r.d_classid" + texts + " FROM " + rows +
         " r WHERE r.d_deleted = 0 AND r.d_checked = -1";
}

std::vector<std::string> PostgresStatements() {
  const std::string table(kArticleGramTable), changes(kGramChangeTable);
  // An update counts again only the columns it changed, unless it moved the article; while the
  // table is being built it sets those texts aside instead.
  std::string update, set_aside, text_changed;
  for (const GramColumn& c : kGramColumns) {
    text_changed += std::string(" OR OLD.") + c.name + " IS DISTINCT FROM NEW." + c.name;
  }
  for (const char* row : {"OLD", "NEW"}) {
    const std::string r(row);
    std::string texts;
    for (const GramColumn& c : kGramColumns) {
      texts += std::string(", CASE WHEN moved OR OLD.") + c.name + " IS DISTINCT FROM NEW." +
               c.name + " THEN cast(" + r + "." + c.name + " as text) END";
    }
    set_aside += "IF " + r + ".d_deleted = 0 AND " + r + ".d_checked = -1 AND (moved" +
                 text_changed + ") THEN INSERT INTO " + changes +
                 " (k_sign, k_channelid, k_classid, d_title, d_author, d_inputer, d_content) "
                 "VALUES (" +
                 (r == "OLD" ? "-1" : "1") + ", " + r + ".d_channelid, " + r + ".d_classid" +
                 texts + "); END IF; ";
  }
  for (const GramColumn& c : kGramColumns) {
    const std::string changed =
        "moved OR OLD." + std::string(c.name) + " IS DISTINCT FROM NEW." + c.name;
    for (const char* row : {"OLD", "NEW"}) {
      const std::string r(row);
      update += "IF " + r + ".d_deleted = 0 AND " + r + ".d_checked = -1 AND (" + changed +
                ") THEN INSERT INTO " + table +
                " (k_channelid, k_column, k_gram, k_classid, k_count) SELECT " + r +
                ".d_channelid, " + std::to_string(c.number) + ", g, x.k, " +
                (r == "OLD" ? "-1" : "1") + " FROM unnest(folirex_distinct_grams(cast(" + r + "." +
                c.name + " as text))) g CROSS JOIN (VALUES (" + r +
                ".d_classid), (-1)) x(k) WHERE EXISTS (SELECT 1 FROM " + table +
                " m WHERE m.k_channelid = " + r +
                ".d_channelid AND m.k_column = " + std::to_string(c.number) +
                " AND m.k_gram = g AND m.k_classid = -1) ORDER BY g, x.k ON CONFLICT "
                "(k_channelid, k_column, k_gram, k_classid) DO UPDATE SET k_count = " +
                table + ".k_count + excluded.k_count; END IF; ";
    }
  }
  const std::string moved =
      "moved := OLD.d_channelid IS DISTINCT FROM NEW.d_channelid OR OLD.d_classid IS DISTINCT "
      "FROM NEW.d_classid OR (OLD.d_deleted = 0 AND OLD.d_checked = -1) IS DISTINCT FROM "
      "(NEW.d_deleted = 0 AND NEW.d_checked = -1); ";
  return {
      "CREATE TABLE IF NOT EXISTS " + table +
          " (k_channelid integer NOT NULL, k_column smallint NOT NULL, k_gram text NOT NULL, "
          "k_classid integer NOT NULL, k_count bigint NOT NULL, PRIMARY KEY (k_channelid, "
          "k_column, k_gram, k_classid))",
      "CREATE TABLE IF NOT EXISTS " + changes +
          " (k_id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, k_sign smallint NOT NULL, "
          "k_channelid integer, k_classid integer, d_title text, d_author text, d_inputer text, "
          "d_content text)",
      // Each distinct character of lower(t) and each with the one after it, in one pass: the
      // characters split apart, each paired with the next. In PL/pgSQL, whose plan a session
      // keeps.
      "CREATE OR REPLACE FUNCTION folirex_distinct_grams(t text) RETURNS text[] LANGUAGE plpgsql "
      "IMMUTABLE STRICT PARALLEL SAFE AS $$ BEGIN RETURN ARRAY(SELECT DISTINCT g FROM (SELECT "
      "c, lead(c) OVER (ORDER BY i) AS d FROM unnest(string_to_array(lower(t), NULL)) WITH "
      "ORDINALITY u(c, i)) x CROSS JOIN LATERAL (VALUES (c), (c || d)) v(g) WHERE g IS NOT "
      "NULL); END $$",
      // A truncation empties the counts and keeps which sequences are kept; during a build it
      // leaves a row of sign 0 that says the counts start again from nothing.
      "CREATE OR REPLACE FUNCTION folirex_article_grams() RETURNS trigger LANGUAGE plpgsql AS $$ "
      "DECLARE moved boolean; BEGIN IF NOT EXISTS (SELECT 1 FROM " +
          table + " WHERE " + std::string(kBuiltRow) + ") THEN IF TG_OP = 'INSERT' THEN " +
          PostgresSetAside("folirex_grams_new", "1") + "; ELSIF TG_OP = 'DELETE' THEN " +
          PostgresSetAside("folirex_grams_old", "-1") +
          "; ELSIF TG_OP = 'TRUNCATE' THEN DELETE FROM " + changes + "; INSERT INTO " + changes +
          " (k_sign) VALUES (0); ELSE " + moved + set_aside +
          "END IF; RETURN NULL; END IF; IF TG_OP = 'INSERT' THEN " +
          PostgresCounted("folirex_grams_new", "1") + "; ELSIF TG_OP = 'DELETE' THEN " +
          PostgresCounted("folirex_grams_old", "-1") +
          "; ELSIF TG_OP = 'TRUNCATE' THEN DELETE FROM " + table +
          " WHERE k_classid >= 0; UPDATE " + table +
          " SET k_count = 0 WHERE k_classid = -1 AND k_column > 0; ELSE " + moved + update +
          "END IF; RETURN NULL; END $$",
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

// The texts of an article as the sequences are taken from them: as stored on SQLite (short_grams
// lowers ASCII letters as like does), lowered by the server on PostgreSQL as ilike lowers them.
std::string GramTexts(SqlEngine engine) {
  std::string texts;
  for (const GramColumn& c : kGramColumns) {
    texts += std::string(texts.empty() ? "" : ", ") +
             (engine == SqlEngine::kPostgres ? std::string("lower(cast(") + c.name + " as text))"
                                             : std::string(c.name));
  }
  return texts;
}

// Adds `delta` to a count, for the kept sequences only: a sequence without its marker row is not
// kept, and its rows are not made.
std::string KeptUpsert() {
  const std::string table(kArticleGramTable);
  return "INSERT INTO " + table +
         " (k_channelid, k_column, k_gram, k_classid, k_count) SELECT cast(? as integer), cast(? "
         "as smallint), cast(? as text), cast(? as integer), cast(? as bigint) WHERE EXISTS "
         "(SELECT 1 FROM " +
         table +
         " WHERE k_channelid = ? AND k_column = ? AND k_gram = ? AND k_classid = -1) ON CONFLICT "
         "(k_channelid, k_column, k_gram, k_classid) DO UPDATE SET k_count = " +
         table + ".k_count + excluded.k_count";
}

// Changes of counts added up in memory by channel, class, column and packed sequence, each also
// under its channel's marker, and written to the kept sequences' rows every few hundred thousand
// keys, so that memory stays bounded however many texts there are.
class GramTally {
 public:
  explicit GramTally(Connection& conn) : conn_(conn) {}
  void Add(int64_t channel, int64_t class_id, int column, std::string_view text, int sign) {
    for (uint64_t gram : PackedShortGrams(text)) {
      counts_[Key{channel, class_id, column, gram}] += sign;
      counts_[Key{channel, -1, column, gram}] += sign;
    }
    if (counts_.size() >= kMostKeysHeld) Flush();
  }
  void Flush() {
    if (counts_.empty()) return;
    std::unique_ptr<db::Statement> st = conn_.session().PrepareNative(KeptUpsert());
    for (const auto& [key, count] : counts_) {
      if (count == 0) continue;
      const std::string gram = UnpackShortGram(key.gram);
      st->Bind({Variant(static_cast<long long>(key.channel)), Variant(key.column), Variant(gram),
                Variant(static_cast<long long>(key.class_id)),
                Variant(static_cast<long long>(count)),
                Variant(static_cast<long long>(key.channel)), Variant(key.column), Variant(gram)});
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
  static constexpr size_t kMostKeysHeld = 500'000;
  Connection& conn_;
  std::unordered_map<Key, int64_t, KeyHash> counts_;
};

// Counts in the texts of `select` (sign, channel, class, then the texts in the order of
// kGramColumns), each row with its sign, for the kept sequences.
void CountTexts(Connection& conn, const std::string& select, const std::vector<Variant>& params) {
  GramTally tally(conn);
  std::unique_ptr<db::Statement> st = conn.session().PrepareNative(select);
  st->Bind(params);
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

// Counts by a 64-bit key other than 0, in one open-addressed table: some 16 to 32 bytes a key,
// a third of what a node-based map takes, which decides how many sequences a build can weigh.
class CountTable {
 public:
  uint32_t& At(uint64_t key) {
    if ((size_ + 1) * 4 > keys_.size() * 3) Grow();
    const size_t i = Slot(key);
    if (keys_[i] == 0) {
      keys_[i] = key;
      ++size_;
    }
    return values_[i];
  }
  const uint32_t* Find(uint64_t key) const {
    if (keys_.empty()) return nullptr;
    const size_t i = Slot(key);
    return keys_[i] == 0 ? nullptr : &values_[i];
  }
  template <typename Each>
  void ForEach(Each&& each) const {
    for (size_t i = 0; i < keys_.size(); ++i) {
      if (keys_[i] != 0) each(keys_[i], values_[i]);
    }
  }

 private:
  size_t Slot(uint64_t key) const {
    uint64_t h = key;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDULL;
    h ^= h >> 33;
    const size_t mask = keys_.size() - 1;
    size_t i = static_cast<size_t>(h) & mask;
    while (keys_[i] != 0 && keys_[i] != key) i = (i + 1) & mask;
    return i;
  }
  void Grow() {
    std::vector<uint64_t> keys = std::move(keys_);
    std::vector<uint32_t> values = std::move(values_);
    keys_.assign(std::max<size_t>(1024, keys.size() * 2), 0);
    values_.assign(keys_.size(), 0);
    for (size_t i = 0; i < keys.size(); ++i) {
      if (keys[i] != 0) {
        const size_t at = Slot(keys[i]);
        keys_[at] = keys[i];
        values_[at] = values[i];
      }
    }
  }
  std::vector<uint64_t> keys_;
  std::vector<uint32_t> values_;
  size_t size_ = 0;
};

// A sequence of one column of one channel as a CountTable key: the channel's place among those
// counted (16 bits), the column (2 bits), and the packed sequence's two characters of 23 bits each.
uint64_t GramKey(size_t channel_place, int column_index, uint64_t gram) {
  const uint64_t packed = (gram >> 32) << 23 | (gram & 0xFFFFFFFF);
  return static_cast<uint64_t>(channel_place) << 48 | static_cast<uint64_t>(column_index) << 46 |
         packed;
}
uint64_t GramOfKey(uint64_t key) {
  const uint64_t packed = key & ((uint64_t{1} << 46) - 1);
  return (packed >> 23) << 32 | (packed & 0x7FFFFF);
}
int ColumnIndexOfKey(uint64_t key) { return static_cast<int>(key >> 46 & 3); }
size_t ChannelPlaceOfKey(uint64_t key) { return static_cast<size_t>(key >> 48); }
constexpr size_t kMostChannels = 1 << 16;

// A channel's listed articles: how many, and the classes they are in (ascending).
struct ListedChannel {
  int64_t id = 0;
  int64_t listed = 0;
  std::vector<int64_t> classes;
};

std::vector<ListedChannel> ListedChannels(Connection& conn) {
  std::vector<ListedChannel> channels;
  std::unique_ptr<db::Statement> st = conn.session().PrepareNative(
      "SELECT d_channelid, d_classid, count(*) FROM Vantrel_Article WHERE d_deleted = 0 AND "
      "d_checked = -1 GROUP BY d_channelid, d_classid ORDER BY d_channelid, d_classid");
  st->Bind({});
  while (st->Step()) {
    const int64_t channel = st->Column(0).ToInt64Or(0);
    if (channels.empty() || channels.back().id != channel) channels.push_back({channel, 0, {}});
    channels.back().classes.push_back(st->Column(1).ToInt64Or(0));
    channels.back().listed += st->Column(2).ToInt64Or(0);
  }
  return channels;
}

// One listed article as a build reads it.
struct ArticleTexts {
  int64_t channel = 0;
  int64_t class_id = 0;
  std::optional<std::string> texts[4];
};

bool Stopped(const std::atomic<bool>* stop) { return stop != nullptr && stop->load(); }

// Reads the listed articles that `where` (after AND, with `params`) picks, in the order of ids,
// a thousand at a time (the PostgreSQL driver holds a result whole), and hands each to `take`;
// false when `stop` was set before the last of them.
// The unary pluses keep the list indexes out: the table is read in its own order.
template <typename Take>
bool ReadListed(Connection& conn, const std::string& where, const std::vector<Variant>& params,
                const std::atomic<bool>* stop, Take&& take) {
  constexpr int kRowsAtOnce = 1000;
  std::unique_ptr<db::Statement> st = conn.session().PrepareNative(
      "SELECT d_id, coalesce(d_channelid, 0), coalesce(d_classid, 0), " + GramTexts(conn.engine()) +
      " FROM Vantrel_Article WHERE +d_deleted = 0 AND +d_checked = -1 AND d_id > ? " + where +
      " ORDER BY d_id LIMIT " + std::to_string(kRowsAtOnce));
  int64_t after = -1;
  ArticleTexts article;
  for (;;) {
    if (Stopped(stop)) return false;
    std::vector<Variant> bound{Variant(static_cast<long long>(after))};
    bound.insert(bound.end(), params.begin(), params.end());
    st->Bind(bound);
    int rows = 0;
    while (st->Step()) {
      ++rows;
      after = st->Column(0).ToInt64Or(after);
      article.channel = st->Column(1).ToInt64Or(0);
      article.class_id = st->Column(2).ToInt64Or(0);
      for (int i = 0; i < 4; ++i) {
        const Variant text = st->Column(3 + i);
        if (text.IsNull()) {
          article.texts[i].reset();
        } else {
          article.texts[i] = text.ToString();
        }
      }
      take(article);
    }
    if (rows < kRowsAtOnce) return true;
  }
}

// The sample a build weighs the sequences by: about this many listed articles of each channel,
// picked by a hash of their ids, each channel's weighed on its own so that one channel's
// sequences are held at a time. A sequence held by kept_from articles then shows in the sample
// some 30 times in a channel of 100,000 articles, and one held by ten times as many is not missed.
constexpr int64_t kSampleArticles = 10000;
constexpr int64_t kSampleModulus = 1000003;

// The most counts a build holds (4 bytes each, and as many again for each of its workers): the
// sequences weighed the commonest are counted first, each with a count for every class of its
// channel.
constexpr size_t kMostCounts = 6'000'000;

struct Candidate {
  uint64_t key;
  double estimate;  // articles of the channel that hold it, as the sample says
};

// The sequences the sample says at least half of kept_from articles hold, the commonest first.
std::vector<Candidate> WeighSequences(Connection& conn, const std::vector<ListedChannel>& channels,
                                      int64_t kept_from, const std::atomic<bool>* stop) {
  std::vector<Candidate> candidates;
  for (size_t place = 0; place < channels.size() && place < kMostChannels; ++place) {
    const ListedChannel& channel = channels[place];
    const int64_t picked = std::min<int64_t>(
        kSampleModulus, kSampleArticles * kSampleModulus / std::max<int64_t>(channel.listed, 1));
    const double rate = static_cast<double>(picked) / kSampleModulus;
    CountTable seen;
    const std::vector<Variant> sample{Variant(static_cast<long long>(channel.id)),
                                      Variant(static_cast<long long>(picked))};
    ReadListed(conn, "AND +d_channelid = ? AND (d_id * 2654435761) % 1000003 < ?", sample, stop,
               [&](const ArticleTexts& article) {
                 for (int i = 0; i < 4; ++i) {
                   if (!article.texts[i]) continue;
                   for (uint64_t gram : PackedShortGrams(*article.texts[i])) {
                     ++seen.At(GramKey(place, i, gram));
                   }
                 }
               });
    const double least = std::max(1.0, std::ceil(static_cast<double>(kept_from) / 2 * rate));
    seen.ForEach([&](uint64_t key, uint32_t hits) {
      if (hits >= least) candidates.push_back({key, hits / rate});
    });
  }
  std::sort(candidates.begin(), candidates.end(),
            [](const Candidate& a, const Candidate& b) { return a.estimate > b.estimate; });
  return candidates;
}

// The exact counts of the sequences weighed, per class, from the articles as one snapshot holds
// them.
struct SequenceCounts {
  std::vector<uint64_t> keys;
  std::vector<size_t> first;  // each sequence's first count, by class of its channel
  std::vector<uint32_t> counts;
  std::vector<ListedChannel> channels;  // by place, with the snapshot's classes
};

// The counts to make, all at zero: the channels the sequences were weighed under (`place_of` their
// places) with the snapshot's classes, and a count a class for each candidate while there is
// room (`number_of` each key's number + 1).
SequenceCounts ZeroCounts(Connection& conn, const std::vector<ListedChannel>& weighed,
                          const std::vector<Candidate>& candidates,
                          std::unordered_map<int64_t, size_t>& place_of, CountTable& number_of) {
  SequenceCounts result;
  for (size_t place = 0; place < weighed.size() && place < kMostChannels; ++place) {
    place_of[weighed[place].id] = place;
    result.channels.push_back({weighed[place].id, 0, {}});
  }
  for (const ListedChannel& channel : ListedChannels(conn)) {
    auto it = place_of.find(channel.id);
    if (it != place_of.end()) result.channels[it->second] = channel;
  }
  for (const Candidate& c : candidates) {
    const size_t classes = result.channels[ChannelPlaceOfKey(c.key)].classes.size();
    if (classes == 0) continue;
    if (result.counts.size() + classes > kMostCounts) break;
    number_of.At(c.key) = static_cast<uint32_t>(result.keys.size() + 1);
    result.keys.push_back(c.key);
    result.first.push_back(result.counts.size());
    result.counts.resize(result.counts.size() + classes, 0);
  }
  return result;
}

SequenceCounts CountSequences(Connection& conn, const std::vector<ListedChannel>& weighed,
                              const std::vector<Candidate>& candidates,
                              const std::atomic<bool>* stop) {
  std::unordered_map<int64_t, size_t> place_of;
  CountTable number_of;
  SequenceCounts result = ZeroCounts(conn, weighed, candidates, place_of, number_of);
  if (result.keys.empty()) return result;
  auto count = [&](const ArticleTexts& article, std::vector<uint32_t>& counts) {
    auto it = place_of.find(article.channel);
    if (it == place_of.end()) return;
    const std::vector<int64_t>& classes = result.channels[it->second].classes;
    const size_t class_place =
        std::lower_bound(classes.begin(), classes.end(), article.class_id) - classes.begin();
    if (class_place == classes.size() || classes[class_place] != article.class_id) return;
    for (int i = 0; i < 4; ++i) {
      if (!article.texts[i]) continue;
      for (uint64_t gram : PackedShortGrams(*article.texts[i])) {
        if (const uint32_t* n = number_of.Find(GramKey(it->second, i, gram))) {
          ++counts[result.first[*n - 1] + class_place];
        }
      }
    }
  };
  // The sequences of the texts take most of the time, the reading little: the articles read go
  // to workers a chunk at a time, each counting into counts of its own, summed at the end.
  const size_t workers = std::clamp<size_t>(std::thread::hardware_concurrency() / 2, 1, 3);
  constexpr size_t kChunk = 256;
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::vector<ArticleTexts>> chunks;
  bool read_all = false;
  std::vector<std::vector<uint32_t>> counts(workers);
  std::vector<std::thread> threads;
  for (size_t w = 0; w < workers; ++w) {
    threads.emplace_back([&, w] {
      counts[w].assign(result.counts.size(), 0);
      for (;;) {
        std::vector<ArticleTexts> chunk;
        {
          std::unique_lock<std::mutex> lock(mutex);
          changed.wait(lock, [&] { return !chunks.empty() || read_all; });
          if (chunks.empty()) return;
          chunk = std::move(chunks.front());
          chunks.pop_front();
        }
        changed.notify_all();
        for (const ArticleTexts& article : chunk) count(article, counts[w]);
      }
    });
  }
  std::vector<ArticleTexts> chunk;
  auto hand_over = [&] {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return chunks.size() < workers * 2; });
    chunks.push_back(std::move(chunk));
    chunk.clear();
    lock.unlock();
    changed.notify_all();
  };
  // The workers finish what was handed over, and end, however the reading ends.
  struct Joined {
    std::function<void()> end;
    ~Joined() { end(); }
  } joined{[&] {
    {
      std::lock_guard<std::mutex> lock(mutex);
      read_all = true;
    }
    changed.notify_all();
    for (std::thread& t : threads) t.join();
    threads.clear();
  }};
  ReadListed(conn, "", {}, stop, [&](const ArticleTexts& article) {
    chunk.push_back(article);
    if (chunk.size() == kChunk) hand_over();
  });
  if (!chunk.empty()) hand_over();
  joined.end();
  for (const std::vector<uint32_t>& own : counts) {
    for (size_t i = 0; i < own.size(); ++i) result.counts[i] += own[i];
  }
  return result;
}

// One row of the table.
struct GramRow {
  int64_t channel;
  int column;
  std::string gram;
  int64_t class_id;
  int64_t count;
};

// The rows of the sequences that at least kept_from articles hold, a batch at a time from the
// sequence at `*next`: the marker, then each class that holds it.
std::vector<GramRow> NextRows(const SequenceCounts& counted, int64_t kept_from, size_t* next,
                              size_t most) {
  std::vector<GramRow> rows;
  for (; *next < counted.keys.size() && rows.size() < most; ++*next) {
    const size_t s = *next;
    const uint64_t key = counted.keys[s];
    const ListedChannel& channel = counted.channels[ChannelPlaceOfKey(key)];
    const size_t classes = channel.classes.size();
    int64_t total = 0;
    for (size_t c = 0; c < classes; ++c) total += counted.counts[counted.first[s] + c];
    if (total < kept_from) continue;
    const int column = kGramColumns[ColumnIndexOfKey(key)].number;
    const std::string gram = UnpackShortGram(GramOfKey(key));
    rows.push_back({channel.id, column, gram, -1, total});
    for (size_t c = 0; c < classes; ++c) {
      const uint32_t n = counted.counts[counted.first[s] + c];
      if (n > 0) rows.push_back({channel.id, column, gram, channel.classes[c], n});
    }
  }
  return rows;
}

// Whether this build still owns the table (no other connection has started one since), read
// inside the caller's write transaction; on PostgreSQL the row stays locked until its end.
bool OwnsBuild(Connection& conn, int64_t token) {
  std::unique_ptr<db::Statement> st = conn.session().PrepareNative(
      "SELECT k_count FROM " + std::string(kArticleGramTable) + " WHERE " +
      std::string(kBuilderRow) + (conn.engine() == SqlEngine::kPostgres ? " FOR UPDATE" : ""));
  st->Bind({});
  return st->Step() && st->Column(0).ToInt64Or(0) == token;
}

void WriteRows(Connection& conn, const std::vector<GramRow>& rows) {
  const bool postgres = conn.engine() == SqlEngine::kPostgres;
  // PostgreSQL: many rows to a statement, each statement a round trip.
  const size_t per_statement = postgres ? 500 : 1;
  const std::string head = "INSERT INTO " + std::string(kArticleGramTable) +
                           " (k_channelid, k_column, k_gram, k_classid, k_count) VALUES ";
  std::unique_ptr<db::Statement> full;
  for (size_t at = 0; at < rows.size(); at += per_statement) {
    const size_t n = std::min(per_statement, rows.size() - at);
    std::string sql = head;
    for (size_t i = 0; i < n; ++i) sql += i == 0 ? "(?, ?, ?, ?, ?)" : ", (?, ?, ?, ?, ?)";
    std::unique_ptr<db::Statement> partial;
    if (n == per_statement && !full) full = conn.session().PrepareNative(sql);
    if (n != per_statement) partial = conn.session().PrepareNative(sql);
    db::Statement& st = n == per_statement ? *full : *partial;
    std::vector<Variant> params;
    params.reserve(n * 5);
    for (size_t i = at; i < at + n; ++i) {
      params.emplace_back(static_cast<long long>(rows[i].channel));
      params.emplace_back(rows[i].column);
      params.emplace_back(rows[i].gram);
      params.emplace_back(static_cast<long long>(rows[i].class_id));
      params.emplace_back(static_cast<long long>(rows[i].count));
    }
    st.Bind(params);
    st.Step();
  }
}

bool TableExists(Connection& conn) {
  const std::string sql =
      conn.engine() == SqlEngine::kPostgres
          ? "SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE "
            "n.nspname = current_schema() AND c.relname = lower(?) AND c.relkind = 'r'"
          : "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = ?";
  std::unique_ptr<db::Statement> st = conn.session().PrepareNative(sql);
  st->Bind({Variant(std::string(kArticleGramTable))});
  return st->Step() && st->Column(0).ToInt64Or(0) > 0;
}

bool HasBuiltRow(Connection& conn) {
  std::unique_ptr<db::Statement> st =
      conn.session().PrepareNative("SELECT count(*) FROM " + std::string(kArticleGramTable) +
                                   " WHERE " + std::string(kBuiltRow));
  st->Bind({});
  return st->Step() && st->Column(0).ToInt64Or(0) > 0;
}

// The build's first short transaction: the structures made and the table emptied (one an earlier
// version filled, or one another build left), and the build's own number written, from which on
// the triggers set changed texts aside. nullopt when the table is built and `again` is not asked.
std::optional<int64_t> StartBuild(Connection& conn, bool again) {
  std::random_device device;
  std::mt19937_64 rng((static_cast<uint64_t>(device()) << 32) ^ device());
  const int64_t token = static_cast<int64_t>(rng() >> 2) + 1;
  const bool postgres = conn.engine() == SqlEngine::kPostgres;
  const std::string table(kArticleGramTable);
  SessionTransaction transaction(conn);
  // PostgreSQL: writers that began with the earlier trigger function finish first, and no
  // writer runs between its emptying and the new functions.
  if (postgres) {
    conn.session().ExecuteNative("LOCK TABLE Vantrel_Article IN SHARE ROW EXCLUSIVE MODE");
  }
  if (!again && TableExists(conn) && HasBuiltRow(conn)) return std::nullopt;
  if (postgres) {
    for (const std::string& sql : PostgresStatements()) conn.session().ExecuteNative(sql);
    // The texts set aside before now are in the articles that will be counted.
    conn.session().ExecuteNative("TRUNCATE " + table + ", " + std::string(kGramChangeTable));
  } else {
    // Dropped rather than emptied: an earlier version's table held every sequence.
    conn.session().ExecuteNative("DROP TABLE IF EXISTS " + table);
    for (const std::string& sql : SqliteStatements()) conn.session().ExecuteNative(sql);
  }
  conn.session().ExecuteNative("INSERT INTO " + table +
                               " (k_channelid, k_column, k_gram, k_classid, k_count) VALUES (0, "
                               "0, '', -2, " +
                               std::to_string(token) + ")");
  transaction.Commit();
  return token;
}

// A read of one snapshot on its own transaction, ended when it goes.
class Snapshot {
 public:
  explicit Snapshot(Connection& conn) : conn_(conn) {
    conn_.session().ExecuteNative(conn_.engine() == SqlEngine::kPostgres
                                      ? "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"
                                      : "BEGIN");
  }
  ~Snapshot() {
    try {
      conn_.session().ExecuteNative("COMMIT");
    } catch (...) {
    }
  }
  Snapshot(const Snapshot&) = delete;
  Snapshot& operator=(const Snapshot&) = delete;

 private:
  Connection& conn_;
};

// The texts set aside, one per row, as CountTexts reads them.
std::string SetAsideTexts(SqlEngine engine) {
  std::string texts;
  for (const GramColumn& c : kGramColumns) {
    texts +=
        std::string(", ") + (engine == SqlEngine::kPostgres ? std::string("lower(") + c.name + ")"
                                                            : std::string(c.name));
  }
  return "SELECT k_sign, k_channelid, k_classid" + texts + " FROM " + std::string(kGramChangeTable);
}

// The build's last short transaction: the texts set aside since its snapshot counted in, their
// table emptied of what the snapshot held, and the table marked built. False when another build
// has taken the table over.
bool FinishBuild(Connection& conn, int64_t token, const std::vector<int64_t>& seen_changes) {
  const std::string table(kArticleGramTable), changes(kGramChangeTable);
  SessionTransaction transaction(conn);
  if (conn.engine() == SqlEngine::kPostgres) {
    // Writers that set texts aside finish first, and none starts until the table is built.
    conn.session().ExecuteNative("LOCK TABLE Vantrel_Article IN SHARE ROW EXCLUSIVE MODE");
    if (!OwnsBuild(conn, token)) return false;
    // The snapshot held the rows it saw (they may be numbered after rows it did not see: a
    // number is taken before its transaction commits). A truncation since starts the counts
    // again from nothing.
    std::unordered_set<int64_t> seen(seen_changes.begin(), seen_changes.end());
    std::unique_ptr<db::Statement> st =
        conn.session().PrepareNative("SELECT k_id, k_sign FROM " + changes + " ORDER BY k_id");
    st->Bind({});
    int64_t from = 0;
    std::vector<int64_t> later;
    while (st->Step()) {
      const int64_t id = st->Column(0).ToInt64Or(0);
      if (seen.count(id) > 0) continue;
      if (st->Column(1).ToInt64Or(0) == 0) {
        from = id;
        later.clear();
      } else {
        later.push_back(id);
      }
    }
    st.reset();
    if (from > 0) {
      conn.session().ExecuteNative("DELETE FROM " + table + " WHERE k_classid >= 0");
      conn.session().ExecuteNative("UPDATE " + table +
                                   " SET k_count = 0 WHERE k_classid = -1 AND k_column > 0");
    }
    for (size_t at = 0; at < later.size(); at += 1000) {
      std::string ids;
      for (size_t i = at; i < std::min(later.size(), at + 1000); ++i) {
        ids += (ids.empty() ? "" : ",") + std::to_string(later[i]);
      }
      CountTexts(conn, SetAsideTexts(conn.engine()) + " WHERE k_id IN (" + ids + ")", {});
    }
    conn.session().ExecuteNative("DELETE FROM " + changes);
  } else {
    if (!OwnsBuild(conn, token)) return false;
    // Rows numbered up to the last the snapshot saw were written before it; the later ones are
    // counted in by ApplyGramChanges.
    const int64_t last = seen_changes.empty() ? 0 : seen_changes.back();
    conn.session().ExecuteNative("DELETE FROM " + changes +
                                 " WHERE k_id <= " + std::to_string(last));
  }
  conn.session().ExecuteNative("DELETE FROM " + table + " WHERE " + std::string(kBuilderRow));
  conn.session().ExecuteNative("INSERT INTO " + table +
                               " (k_channelid, k_column, k_gram, k_classid, k_count) VALUES (0, "
                               "0, '', -1, 1)");
  transaction.Commit();
  return true;
}

}  // namespace

void BuildArticleGrams(Connection& conn, const GramBuildOptions& options) {
  if (!options.again && ArticleGramsBuilt(conn)) return;
  const std::optional<int64_t> token = StartBuild(conn, options.again);
  if (!token) return;
  const int64_t kept_from = std::max<int64_t>(options.kept_from, 1);
  const std::vector<ListedChannel> weighed = ListedChannels(conn);
  const std::vector<Candidate> candidates = WeighSequences(conn, weighed, kept_from, options.stop);
  SequenceCounts counted;
  // SQLite: the last change row the snapshot saw (its writers are serialised, so every row
  // numbered before it is there too); PostgreSQL: every row it saw.
  std::vector<int64_t> seen_changes;
  {
    const Snapshot snapshot(conn);
    const bool postgres = conn.engine() == SqlEngine::kPostgres;
    std::unique_ptr<db::Statement> st = conn.session().PrepareNative(
        postgres ? "SELECT k_id FROM " + std::string(kGramChangeTable)
                 : "SELECT max(k_id) FROM " + std::string(kGramChangeTable));
    st->Bind({});
    while (st->Step()) {
      if (!st->Column(0).IsNull()) seen_changes.push_back(st->Column(0).ToInt64Or(0));
    }
    st.reset();
    counted = CountSequences(conn, weighed, candidates, options.stop);
    if (options.after_counting) options.after_counting();
  }
  // Stopped: the table stays unbuilt, and the next build starts over.
  if (Stopped(options.stop)) return;
  // Written in batches, each in a short transaction: until the table is marked built no count is
  // read from it and no trigger counts into it.
  constexpr size_t kRowsPerTransaction = 20000;
  size_t next = 0;
  while (next < counted.keys.size()) {
    const std::vector<GramRow> rows = NextRows(counted, kept_from, &next, kRowsPerTransaction);
    SessionTransaction transaction(conn);
    if (!OwnsBuild(conn, *token)) return;
    WriteRows(conn, rows);
    transaction.Commit();
  }
  FinishBuild(conn, *token, seen_changes);
}

bool ArticleGramsBuilt(Connection& conn) { return TableExists(conn) && HasBuiltRow(conn); }

void ApplyGramChanges(Connection& conn) {
  if (conn.engine() != SqlEngine::kSqlite) return;
  const std::string changes(kGramChangeTable);
  int64_t last = 0;
  try {
    std::unique_ptr<db::Statement> st = conn.session().PrepareNative(
        "SELECT (SELECT max(k_id) FROM " + changes + "), (SELECT count(*) FROM " +
        std::string(kArticleGramTable) + " WHERE " + std::string(kBuiltRow) + ")");
    st->Bind({});
    if (st->Step() && st->Column(1).ToInt64Or(0) > 0) last = st->Column(0).ToInt64Or(0);
  } catch (const DbError&) {
    return;  // not made yet: its build counts the articles as they are then
  }
  if (last == 0) return;
  ScopedTransaction transaction(conn);
  const std::string upto = " WHERE k_id <= " + std::to_string(last);
  CountTexts(conn, SetAsideTexts(SqlEngine::kSqlite) + upto, {});
  conn.session().ExecuteNative("DELETE FROM " + changes + upto);
  transaction.Commit();
}

std::optional<BoundSql> ListedKeywordCountRead(SqlEngine engine, const std::string& column,
                                               const std::string& keyword,
                                               const ListedArticles& listed) {
  const std::optional<int> number = ColumnNumber(column);
  if (!number || keyword.find_first_of("%_") != std::string::npos) return std::nullopt;
  const bool postgres = engine == SqlEngine::kPostgres;
  // PostgreSQL's like takes a backslash as its escape.
  if (postgres && keyword.find('\\') != std::string::npos) return std::nullopt;
  const std::string key = ShortGramKey(keyword);
  if (key.empty()) return std::nullopt;
  const std::string table(kArticleGramTable);
  const std::string row =
      "SELECT k_count FROM " + table +
      " WHERE k_channelid = ? AND k_column = ? AND k_gram = " + (postgres ? "lower(?)" : "?") +
      " AND k_classid = ";
  // Whether the table is built, the channel's count (none: the sequence is not kept) and the
  // class's (none: 0).
  BoundSql read;
  read.sql = "SELECT (SELECT count(*) FROM " + table + " WHERE " + std::string(kBuiltRow) +
             "), (" + row + "-1)";
  auto add_sequence = [&] {
    read.params.emplace_back(static_cast<long long>(listed.channel));
    read.params.emplace_back(static_cast<long long>(*number));
    read.params.emplace_back(postgres ? keyword : key);
  };
  add_sequence();
  if (listed.class_id) {
    read.sql += ", (" + row + "?)";
    add_sequence();
    read.params.emplace_back(static_cast<long long>(*listed.class_id));
  }
  return read;
}

std::optional<int64_t> ListedKeywordCount(Connection& conn, const std::string& column,
                                          const std::string& keyword,
                                          const ListedArticles& listed,
                                          const ReadAheadOf& read_ahead) {
  const std::optional<BoundSql> read =
      ListedKeywordCountRead(conn.engine(), column, keyword, listed);
  if (!read) return std::nullopt;
  const size_t count_column = listed.class_id ? 2 : 1;
  const auto count_of = [count_column](const std::vector<Variant>& row) -> std::optional<int64_t> {
    if (row.size() <= count_column || row[0].ToInt64Or(0) == 0 || row[1].IsNull()) {
      return std::nullopt;
    }
    return row[count_column].ToInt64Or(0);
  };
  if (read_ahead) {
    if (std::shared_ptr<const db::KeptRows> rows = read_ahead(*read)) {
      if (rows->rows.empty()) return std::nullopt;
      return count_of(rows->rows.front());
    }
  }
  ApplyGramChanges(conn);
  try {
    std::unique_ptr<db::Statement> st = conn.session().PrepareNative(read->sql);
    conn.CountStatement(read->sql, *st);
    st->Bind(read->params);
    if (!st->Step()) return std::nullopt;
    std::vector<Variant> row;
    for (size_t i = 0; i <= count_column; ++i) row.push_back(st->Column(static_cast<int>(i)));
    return count_of(row);
  } catch (const DbError&) {
    return std::nullopt;  // the table is not made yet: its build has not begun
  }
}

}  // namespace folirex
