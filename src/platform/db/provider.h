// The provider interface behind Connection and Recordset: a Session is one open connection of an
// engine (SQLite file, PostgreSQL through libpq, or another server through ODBC), with compiled
// statements, transactions, table metadata and the insert that reads the new autonumber back.
// Sessions are pooled per database: OpenSession hands out an idle one for the same target when
// there is one, ReleaseSession takes it back.
//
// A Session and its Statements are used by one thread at a time; the pool itself is thread-safe.
// A Statement must not outlive its Session. Failures throw DbError.
#ifndef FOLIREX_PLATFORM_DB_PROVIDER_H_
#define FOLIREX_PLATFORM_DB_PROVIDER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/db/db_error.h"
#include "platform/db/sql_dialect.h"
#include "platform/db/statement_touches.h"
#include "platform/db/variant.h"

namespace folirex::db {

// What a column is declared to hold, as far as the conversions care.
enum class ColumnKind { kOther, kInteger, kReal, kText, kBoolean, kDate };

// Reads a declared type name ("INTEGER", "varchar(50)", "DATETIME", "YESNO", ...).
ColumnKind ColumnKindOfDeclaredType(std::string_view declared);

struct ColumnInfo {
  std::string name;
  ColumnKind kind = ColumnKind::kOther;
};

class Statement {
 public:
  virtual ~Statement() = default;
  // Binds the values to the "?" placeholders in order; the statement starts again from the top.
  virtual void Bind(const std::vector<Variant>& params) = 0;
  // Runs to the next row; false when there is none (the statement is then done).
  virtual bool Step() = 0;
  virtual int ColumnCount() const = 0;
  virtual std::string ColumnName(int index) const = 0;
  // The current row's value (booleans and dates as their Variant types where the column's
  // declared type says so).
  virtual Variant Column(int index) const = 0;
  // Rows that an insert, update or delete changed once it has run; 0 for other statements.
  virtual int64_t RowsAffected() const = 0;
  // What the engine said the statement touches when it compiled it (statement_touches.h); null
  // when the engine does not say (PostgreSQL, ODBC, rows kept in memory).
  virtual const StatementTouches* touches() const { return nullptr; }
  // Whether the statement is a read that returns rows, as the engine says once it has compiled
  // it (whatever comes first in its text: a comment, a WITH); nullopt when the engine does not
  // say before the statement runs (PostgreSQL, ODBC, rows kept in memory).
  virtual std::optional<bool> ReturnsRows() const { return std::nullopt; }
  // The table whose rows a select returns, as the engine describes the select: the one table
  // every column comes from (StatementTouches::row_table where the engine reports touches), ""
  // for rows of no one table; nullopt when the engine does not say (ODBC, rows kept in memory)
  // or, for an engine that says it with the rows, before the first Step.
  virtual std::optional<std::string> RowTable() const;
};

// The texts a cache has lately been asked for and did not keep, remembered by hash (a fixed
// number of them), so that it keeps a text only from its second use on: the statements with ids
// written into them, each run once, then fill no cache and push out none that pages run again.
class RepeatedTexts {
 public:
  // Whether `text` is among the texts remembered (then forgotten); remembers it otherwise. A
  // hash shared by two texts only lets one be kept a use early.
  bool SeenBefore(std::string_view text);

 private:
  static constexpr size_t kRemembered = 256;
  std::array<size_t, kRemembered> hashes_{};
  size_t next_ = 0;
};

class Session {
 public:
  virtual ~Session() = default;
  virtual SqlEngine engine() const = 0;
  // The pool this session returns to (the resolved file path, or the ODBC connection string).
  virtual const std::string& pool_key() const = 0;

  // Compiles a statement written in the pages' dialect (translated here; a page runs the same
  // texts again and again, so translations are kept per session).
  std::unique_ptr<Statement> Prepare(std::string_view sql) {
    return PrepareNative(Translated(sql));
  }
  // Compiles a statement already in the engine's dialect.
  virtual std::unique_ptr<Statement> PrepareNative(std::string_view sql) = 0;
  // Runs bound selects of this session in one exchange with the server, where the engine talks
  // to one (a statement alone is a round trip); each then steps through its own rows as if it had
  // run alone. A statement the exchange did not run runs alone at its first Step, and answers
  // for itself there. An engine in the process runs nothing ahead.
  virtual void RunTogether(const std::vector<Statement*>& /*reads*/) {}
  // What a statement in the pages' dialect touches, the columns it reads and the functions it
  // calls included, as the engine says when it compiles it (statement_touches.h). The statement
  // is compiled, not run, and not kept. nullopt from an engine that does not say.
  virtual std::optional<StatementTouches> Describe(std::string_view /*sql*/) {
    return std::nullopt;
  }
  // What the translator may ask about this database's schema.
  virtual const SqlSchemaHints& hints() = 0;

  // The table's columns in order; DbError when there is no such table.
  virtual std::vector<ColumnInfo> TableColumns(std::string_view table) = 0;
  // Inserts one row (no columns: all defaults) and answers its d_id.
  virtual int64_t InsertRow(std::string_view table, const std::vector<std::string>& columns,
                            const std::vector<Variant>& values) = 0;

  virtual void Begin() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  // Runs one statement in the engine's dialect and answers the rows it changed.
  int64_t ExecuteNative(std::string_view sql) {
    std::unique_ptr<Statement> st = PrepareNative(sql);
    while (st->Step()) {
    }
    return st->RowsAffected();
  }
  // Runs one select in the engine's dialect and answers its first column of its first row as a
  // whole number; `if_null` when it gives no row or a null.
  int64_t NativeNumber(std::string_view sql, int64_t if_null,
                       const std::vector<Variant>& params = {}) {
    std::unique_ptr<Statement> st = PrepareNative(sql);
    st->Bind(params);
    if (!st->Step() || st->Column(0).IsNull()) return if_null;
    return st->Column(0).ToInt64Or(if_null);
  }

  // Makes the session fit for the next user: rolls back an open transaction. False when the
  // session is broken and must be dropped instead of pooled.
  virtual bool Recycle() noexcept = 0;

  // Each statement that binds the first of `values` as text is planned for it and for the others
  // it binds instead of with one plan for all values (an engine that plans every statement alike
  // ignores it); none when empty.
  void PlanForValues(std::vector<std::string> values) { planned_values_ = std::move(values); }
  const std::vector<std::string>& planned_values() const { return planned_values_; }

 protected:
  std::vector<std::string> planned_values_;
  // The translation of a statement in the pages' dialect, from the session's cache when it has
  // been translated before under the same schema. Kept from a text's second translation on; the
  // answer is valid until the next call.
  const std::string& Translated(std::string_view sql);
  // A schema change can change translations ("+" between text columns): forget them.
  void ForgetTranslations() { translations_.clear(); }

 private:
  static constexpr size_t kMaxTranslations = 512;
  std::unordered_map<std::string, std::string> translations_;
  RepeatedTexts translated_once_;  // texts translated and not kept
  std::string once_;               // the last translation not kept
};

// A table or column name in double quotes (inner quotes doubled), as both engines read it.
std::string QuoteName(std::string_view name);

// PostgreSQL's insert of one row (names in lower case, "DEFAULT VALUES" for no columns) that
// reads back its d_id through RETURNING, run on `session`.
int64_t InsertReturningId(Session& session, std::string_view table,
                          const std::vector<std::string>& columns,
                          const std::vector<Variant>& values);

// Opens (or takes from the pool) a session for either connection-string form.
std::unique_ptr<Session> OpenSession(std::string_view connection_string);
// Whether an ODBC driver library (odbcinst.ini's Driver entry) is PostgreSQL's psqlODBC, whose
// driver names are served by the libpq provider instead.
bool IsPostgresOdbcDriver(std::string_view library);
// Gives a session back to its pool. A session that cannot be recycled (its connection is lost)
// is closed, and so are the idle sessions of the same database.
void ReleaseSession(std::unique_ptr<Session> session) noexcept;
// Closes every idle pooled session (tests, shutdown).
void ClearSessionPool() noexcept;

}  // namespace folirex::db

#endif  // FOLIREX_PLATFORM_DB_PROVIDER_H_
