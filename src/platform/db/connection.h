// Connection: one database connection, opened from either connection-string form the pages
// build:
//   file form    "Provider=...;Data Source=<disk path>;[ User ID = u;][ Password = p;]"
//                -> the SQLite file at <disk path> (never created by opening)
//   server form  "driver={...};server=...;database=...;uid=...;pwd=...;"
//                -> an ODBC connection through unixODBC with that driver name
// SQL is written in the pages' one dialect (top N, true/false, datediff('y', a, now), bare now,
// "+" joining text, lcase, mid, cstr, ...) and translated for the engine behind the connection.
//
// Not thread-safe: one connection serves one request at a time. Recordsets opened on it must not
// outlive it; closing the connection closes them. Connections to one database share a pool of
// provider sessions, so opening one per request is cheap. Failures throw DbError.
#ifndef FOLIREX_PLATFORM_DB_CONNECTION_H_
#define FOLIREX_PLATFORM_DB_CONNECTION_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/db_error.h"
#include "platform/db/kept_reads.h"
#include "platform/db/sql_params.h"
#include "platform/db/statement_touches.h"
#include "platform/db/variant.h"

namespace folirex {

namespace db {
class Session;  // the provider's open connection; see platform/db/provider.h
class Statement;

// A user of the connection's compiled statements (a Recordset) that must let go of them when
// the connection closes first.
class Cursor {
 public:
  virtual void ConnectionClosing() noexcept = 0;

 protected:
  ~Cursor() = default;
};
}  // namespace db

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void Open(std::string_view connection_string);
  bool IsOpen() const;
  // Returns the connection to the provider's pool. Never throws; safe to call twice.
  void Close() noexcept;

  // Runs one statement; answers the number of rows it changed (0 for other statements).
  int64_t Execute(std::string_view sql);
  // The same with "?" placeholders bound to the values, in order.
  int64_t Execute(std::string_view sql, const std::vector<Variant>& params);
  // The first field of the first row of a select (a count, a max); Null when there is no row.
  Variant ExecuteScalar(std::string_view sql, const std::vector<Variant>& params = {});

  // A transaction over several statements; RollbackTrans is safe when none is open. Nested
  // BeginTrans calls open savepoints, each ended by its own CommitTrans or RollbackTrans. Code
  // of our own uses ScopedTransaction (platform/db/scoped_transaction.h) rather than these.
  // A CommitTrans that fails leaves its transaction open for the RollbackTrans that follows; a
  // RollbackTrans that fails is written to standard error (the pool then rolls the session back
  // or drops it).
  void BeginTrans();
  void CommitTrans();
  void RollbackTrans() noexcept;
  // Transactions open on this connection: 0 for none, 2 inside a savepoint of one, ...
  int transaction_depth() const { return transaction_depth_; }

  SqlEngine engine() const;
  // Statements run through this connection since it was opened (benchmarks' debug counter).
  int64_t statement_count() const { return statement_count_; }

  // Answers the kept reads (db::KeptRead) of the policy's tables from rows kept in memory
  // (platform/db/kept_reads.h) outside transactions; null (the default) reads everything from
  // the database. The policy must outlive the connection.
  void KeepReads(const db::KeptReadsPolicy* policy) { kept_ = policy; }
  // A select bound to its values and ready to step, run on the database (and counted).
  std::unique_ptr<db::Statement> PrepareRead(std::string_view sql,
                                             const std::vector<Variant>& params);
  // The same for a kept read: its kept rows when the policy keeps every table it names.
  std::unique_ptr<db::Statement> PrepareRead(const db::KeptRead& read);
  // ExecuteScalar of a kept read.
  Variant ExecuteScalar(const db::KeptRead& read);
  // A select bound to its values for the rows `offset` + 1 to `offset` + `count` of its order
  // (a scrollable recordset's window), ready to step, run on the database (and counted).
  std::unique_ptr<db::Statement> PrepareWindow(std::string_view sql,
                                               const std::vector<Variant>& params, int64_t offset,
                                               int64_t count);
  // A read of ReadTogether: the rows of `select`, or with `count` above 0 its window from
  // `offset` (PrepareWindow).
  struct TogetherRead {
    BoundSql select;
    int64_t offset = 0;
    int64_t count = 0;
  };
  // The rows and column names of each of `reads`, read in one exchange with the database where
  // its engine talks to a server (db::Session::RunTogether), each counted as a statement; null
  // for a read that failed (read alone, it says why).
  std::vector<std::shared_ptr<const db::KeptRows>> ReadTogether(
      const std::vector<TogetherRead>& reads);
  // The value `sql` answers (a select of one value, Null when it answers no row). On a
  // connection that keeps them (KeepReadsUntilWrite: a request's, whose work is short), it is
  // read once and kept until the connection writes, or may have written, anything (any statement
  // but a plain read, a transaction's start or end): the request's later reads of it are answered
  // from memory. Any other connection reads it every time.
  Variant ReadUntilWrite(const std::string& sql);
  void KeepReadsUntilWrite() { keeps_until_write_ = true; }
  // The value of `sql` as the caller read it in a statement of its own (one of its columns), for
  // ReadUntilWrite to answer with.
  void OfferUntilWrite(const std::string& sql, const Variant& value);
  // The statement that reads the kept tables' version when the connection would read it before
  // its next kept select, so that a caller can read it in a statement of its own as a column;
  // empty otherwise. The caller hands the value it read to OfferKeptVersion; Null when the
  // database has none (the statement failed for want of the version's table).
  std::string KeptVersionSql();
  void OfferKeptVersion(const Variant& version);
  // A write through this connection to `table` outside the statements it runs itself (a
  // recordset's row written back): when the table is kept, every connection of the process
  // reads the version again.
  void NoteWrite(std::string_view table);

  // For Recordset and the providers.
  db::Session& session();
  // Counts one statement; with FOLIREX_SQL_TRACE set in the environment it is also printed to
  // standard error (benchmarks' debug mode). A write of a kept table counts as NoteWrite of it,
  // and a change of its columns forgets every kept row: what `statement` writes as its engine
  // says when it compiles it (SQLite's authorizer, platform/db/statement_touches.h), else the
  // target its text names (WriteTargetOf, platform/db/sql_dialect.h). With a statement audit
  // installed (platform/db/statement_audit.h) the two are compared where both are known.
  void CountStatement(std::string_view sql, const db::Statement& statement);
  // Counts a statement that writes no kept table and is not compiled through a db::Statement:
  // transaction control, the setup scripts' statements.
  void CountStatement();
  // Open recordsets register here; Close closes them before the session goes back to the pool.
  void Attach(db::Cursor* cursor);
  void Detach(db::Cursor* cursor) noexcept;

 private:
  std::unique_ptr<db::Session> session_;
  int64_t statement_count_ = 0;
  int transaction_depth_ = 0;
  std::vector<db::Cursor*> cursors_;
  // Kept reads: the policy, and the version this connection read with the time it read it and
  // the process's write generation then.
  const db::KeptReadsPolicy* kept_ = nullptr;
  // ReadUntilWrite's values, by their select.
  std::vector<std::pair<std::string, Variant>> read_until_write_;
  bool keeps_until_write_ = false;
  std::optional<int64_t> kept_version_;
  int64_t kept_version_at_ = 0;
  uint64_t kept_generation_ = 0;
  uint64_t kept_offer_generation_ = 0;
  bool KeptVersionFresh(uint64_t generation, int64_t now) const;
  void Count(std::string_view sql);
  void NoteKeptWrite(const db::TablesWritten& written);
  db::TablesWritten KeptWrittenByText(std::string_view sql) const;
  void AuditKeptRead(const db::KeptRead& read);
  const int64_t* KeptVersion();
  std::shared_ptr<const db::KeptRows> KeptRowsOf(const db::KeptRead& read);
};

// Process-wide count of statements run on every connection (benchmarks' debug mode).
int64_t TotalStatementCount();

// While it lives, each statement run through the connection that binds the first of `values` as
// text is planned for it and for the others it binds: a search's keyword, bound, decides which
// index serves the statements that test it (PostgreSQL otherwise keeps one plan for all
// values).
class PlannedForValues {
 public:
  PlannedForValues(Connection& conn, std::vector<std::string> values);
  ~PlannedForValues();
  PlannedForValues(const PlannedForValues&) = delete;
  PlannedForValues& operator=(const PlannedForValues&) = delete;

 private:
  Connection& conn_;
  std::vector<std::string> was_;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_DB_CONNECTION_H_
