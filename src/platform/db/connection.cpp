#include "platform/db/connection.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "platform/db/kept_reads.h"
#include "platform/db/provider.h"
#include "platform/db/sql_dialect.h"
#include "platform/db/statement_audit.h"
#include "platform/text/vb_text.h"

namespace folirex {

namespace {
std::atomic<int64_t> g_total_statements{0};

// Whether the text begins with the word "select" (after blanks and opening parentheses): the
// reads, told apart cheaply from the statements that may write.
bool BeginsWithSelect(std::string_view sql) {
  size_t i = 0;
  while (i < sql.size() &&
         (sql[i] == ' ' || sql[i] == '\t' || sql[i] == '\r' || sql[i] == '\n' || sql[i] == '(')) {
    ++i;
  }
  static constexpr std::string_view kSelect = "select";
  if (sql.size() - i < kSelect.size() + 1) return false;
  for (size_t k = 0; k < kSelect.size(); ++k) {
    char c = sql[i + k];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kSelect[k]) return false;
  }
  const char after = sql[i + kSelect.size()];
  return !((after >= 'a' && after <= 'z') || (after >= 'A' && after <= 'Z') ||
           (after >= '0' && after <= '9') || after == '_');
}

// The first field of the statement's first row; Null when there is none. Steps to its end.
Variant FirstField(db::Statement& st) {
  if (!st.Step() || st.ColumnCount() == 0) return Variant::Null();
  Variant v = st.Column(0);
  while (st.Step()) {
  }
  return v;
}
}  // namespace

int64_t TotalStatementCount() { return g_total_statements.load(std::memory_order_relaxed); }

Connection::Connection() = default;

Connection::~Connection() { Close(); }

void Connection::Open(std::string_view connection_string) {
  Close();
  session_ = db::OpenSession(connection_string);
  statement_count_ = 0;
  transaction_depth_ = 0;
  kept_version_.reset();
  read_until_write_.clear();
}

bool Connection::IsOpen() const { return session_ != nullptr; }

void Connection::Close() noexcept {
  // Recordsets detach themselves while they close, so walk a copy.
  std::vector<db::Cursor*> open = cursors_;
  for (db::Cursor* cursor : open) cursor->ConnectionClosing();
  cursors_.clear();
  transaction_depth_ = 0;
  read_until_write_.clear();
  if (session_) db::ReleaseSession(std::move(session_));  // rolls back what was left open
}

PlannedForValues::PlannedForValues(Connection& conn, std::vector<std::string> values)
    : conn_(conn) {
  if (!conn_.IsOpen()) return;
  was_ = conn_.session().planned_values();
  conn_.session().PlanForValues(std::move(values));
}

PlannedForValues::~PlannedForValues() {
  if (conn_.IsOpen()) conn_.session().PlanForValues(std::move(was_));
}

db::Session& Connection::session() {
  if (!session_) throw DbError("the database connection is not open");
  return *session_;
}

SqlEngine Connection::engine() const { return session_ ? session_->engine() : SqlEngine::kNone; }

void Connection::Count(std::string_view sql) {
  static const bool trace = std::getenv("FOLIREX_SQL_TRACE") != nullptr;
  if (trace && !sql.empty()) {
    std::fprintf(stderr, "sql> %.*s\n", static_cast<int>(sql.size()), sql.data());
  }
  ++statement_count_;
  g_total_statements.fetch_add(1, std::memory_order_relaxed);
}

// A write that changes a kept table makes every connection of the process read the version
// again; a change of a kept table's columns forgets the kept rows.
void Connection::NoteKeptWrite(const db::TablesWritten& written) {
  if (written.tables.empty()) return;
  if (written.reshaped) db::KeptReads::Instance().Clear();
  NoteWrite(written.tables.front());
}

// The kept table a write names as its target, as an engine that does not describe its statements
// learns it: triggers on the kept tables write none of them, so the target is all it changes.
db::TablesWritten Connection::KeptWrittenByText(std::string_view sql) const {
  db::TablesWritten written;
  if (sql.empty() || BeginsWithSelect(sql)) return written;
  const WriteTarget target = WriteTargetOf(sql);
  if (target.table.empty() || !kept_->Keeps(target.table)) return written;
  written.tables.push_back(LCase(target.table));
  written.reshaped = target.reshapes;
  return written;
}

// A statement the connection cannot tell is a read (a recordset's row written back, a transaction
// begun or ended) forgets what ReadUntilWrite kept.
void Connection::CountStatement() {
  Count({});
  read_until_write_.clear();
}

void Connection::CountStatement(std::string_view sql, const db::Statement& statement) {
  Count(sql);
  const db::StatementTouches* touches = statement.touches();
  if (touches != nullptr ? !touches->writes.empty() || !touches->reshapes.empty()
                         : sql.empty() || !BeginsWithSelect(sql)) {
    read_until_write_.clear();
  }
  if (kept_ == nullptr) return;
  if (touches == nullptr) {
    NoteKeptWrite(KeptWrittenByText(sql));
    return;
  }
  // Most statements are reads: they write nothing and are done with here.
  if (touches->writes.empty() && touches->reshapes.empty()) return;
  const db::TablesWritten written = db::WrittenAmong(*touches, kept_->tables);
  if (db::StatementAudit* audit = db::InstalledStatementAudit()) {
    const db::TablesWritten by_text = KeptWrittenByText(sql);
    audit->Checked(db::AuditCheck::kWrite, sql);
    if (!(by_text == written)) {
      auto describe = [](const db::TablesWritten& w) {
        std::string text;
        for (const std::string& t : w.tables) text += (text.empty() ? "" : ", ") + t;
        return (text.empty() ? std::string("no kept table") : text) +
               (w.reshaped ? " (reshaped)" : "");
      };
      audit->Disagrees(db::AuditCheck::kWrite, sql,
                       "SQLite says it writes " + describe(written) + ", its text's target is " +
                           describe(by_text));
    }
  }
  NoteKeptWrite(written);
}

void Connection::NoteWrite(std::string_view table) {
  if (kept_ == nullptr || !kept_->Keeps(table)) return;
  kept_version_.reset();
  db::KeptReads::Instance().NoteWrite();
}

// A version read less than a second ago, with no write to the kept tables by this process since,
// still holds.
bool Connection::KeptVersionFresh(uint64_t generation, int64_t now) const {
  return kept_version_ && generation == kept_generation_ && now - kept_version_at_ < 1000;
}

std::string Connection::KeptVersionSql() {
  if (kept_ == nullptr || transaction_depth_ > 0 || !session_) return "";
  db::KeptReads& reads = db::KeptReads::Instance();
  const uint64_t generation = reads.generation();
  if (KeptVersionFresh(generation, db::SteadyMillis())) return "";
  if (reads.Unversioned(session_->pool_key())) return "";
  kept_offer_generation_ = generation;
  return kept_->version_sql;
}

void Connection::OfferKeptVersion(const Variant& version) {
  if (kept_ == nullptr || !session_) return;
  if (version.IsNull() || version.IsEmpty()) {
    // As KeptVersion finding none: asked again only after some seconds.
    db::KeptReads::Instance().SetUnversioned(session_->pool_key(), true);
    return;
  }
  kept_version_ = version.ToInt64Or(0);
  kept_version_at_ = db::SteadyMillis();
  kept_generation_ = kept_offer_generation_;
}

// The version of the kept tables, read once and again after a second, or after a write to them
// by any connection of this process; null when this database has none.
const int64_t* Connection::KeptVersion() {
  db::KeptReads& reads = db::KeptReads::Instance();
  const uint64_t generation = reads.generation();
  const int64_t now = db::SteadyMillis();
  if (KeptVersionFresh(generation, now)) return &*kept_version_;
  kept_version_.reset();
  const std::string& db = session().pool_key();
  if (reads.Unversioned(db)) return nullptr;
  std::optional<int64_t> version;
  try {
    std::unique_ptr<db::Statement> st = session().Prepare(kept_->version_sql);
    CountStatement(kept_->version_sql, *st);
    st->Bind({});
    if (st->Step() && st->ColumnCount() > 0 && !st->Column(0).IsNull()) {
      version = st->Column(0).ToInt64Or(0);
    }
    while (st->Step()) {
    }
  } catch (const DbError&) {
    // A database made before the version row has no such table: it keeps nothing, and is
    // asked again only after some seconds (KeptReads::Unversioned).
  }
  if (!version) {
    reads.SetUnversioned(db, true);
    return nullptr;
  }
  kept_version_ = version;
  kept_version_at_ = now;
  kept_generation_ = generation;
  return &*kept_version_;
}

namespace {

// Every row of a bound statement, run to its end, with its column names.
std::shared_ptr<db::KeptRows> RowsOf(db::Statement& st) {
  auto rows = std::make_shared<db::KeptRows>();
  bool more = st.Step();
  for (int i = 0; i < st.ColumnCount(); ++i) rows->names.push_back(st.ColumnName(i));
  for (; more; more = st.Step()) {
    std::vector<Variant> row;
    row.reserve(rows->names.size());
    for (int i = 0; i < static_cast<int>(rows->names.size()); ++i) row.push_back(st.Column(i));
    rows->rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace

std::shared_ptr<const db::KeptRows> Connection::KeptRowsOf(const db::KeptRead& read) {
  if (kept_ == nullptr || transaction_depth_ > 0 || !kept_->Keeps(read)) return nullptr;
  const int64_t* version = KeptVersion();
  if (version == nullptr) return nullptr;
  db::KeptReads& reads = db::KeptReads::Instance();
  const std::string& db = session().pool_key();
  std::string key = db::StatementKey(read.sql, read.values);
  if (std::shared_ptr<const db::KeptRows> kept = reads.Find(db, *version, key)) return kept;
  std::unique_ptr<db::Statement> st = session().Prepare(read.sql);
  CountStatement(read.sql, *st);
  st->Bind(read.values);
  std::shared_ptr<const db::KeptRows> rows = RowsOf(*st);
  reads.Keep(db, *version, key, rows);
  return rows;
}

std::unique_ptr<db::Statement> Connection::PrepareRead(std::string_view sql,
                                                       const std::vector<Variant>& params) {
  std::unique_ptr<db::Statement> st = session().Prepare(sql);
  CountStatement(sql, *st);
  st->Bind(params);
  return st;
}

std::unique_ptr<db::Statement> Connection::PrepareWindow(std::string_view sql,
                                                         const std::vector<Variant>& params,
                                                         int64_t offset, int64_t count) {
  db::Session& s = session();
  std::unique_ptr<db::Statement> st =
      s.PrepareNative(TranslateWindowSql(sql, s.engine(), offset, count, s.hints()));
  CountStatement(sql, *st);
  st->Bind(params);
  return st;
}

std::vector<std::shared_ptr<const db::KeptRows>> Connection::ReadTogether(
    const std::vector<TogetherRead>& reads) {
  std::vector<std::unique_ptr<db::Statement>> statements;
  std::vector<db::Statement*> together;
  for (const TogetherRead& read : reads) {
    statements.push_back(
        read.count > 0 ? PrepareWindow(read.select.sql, read.select.params, read.offset, read.count)
                       : PrepareRead(read.select.sql, read.select.params));
    together.push_back(statements.back().get());
  }
  session().RunTogether(together);
  std::vector<std::shared_ptr<const db::KeptRows>> answers;
  for (std::unique_ptr<db::Statement>& st : statements) {
    try {
      answers.push_back(RowsOf(*st));
    } catch (const DbError&) {
      answers.push_back(nullptr);
    }
  }
  return answers;
}

// The audit's check of a kept read, whether its rows come from memory or not: the statement is
// compiled again (not run) to learn what it reads.
void Connection::AuditKeptRead(const db::KeptRead& read) {
  db::StatementAudit* audit = db::InstalledStatementAudit();
  // A read that names no table declares nothing: it is read from the database like any select.
  if (audit == nullptr || read.tables.empty()) return;
  const std::optional<db::StatementTouches> touches = session().Describe(read.sql);
  if (!touches) return;
  audit->Checked(db::AuditCheck::kKeptRead, read.sql);
  const std::string mismatch = db::KeptReadMismatch(read, *touches);
  if (!mismatch.empty()) audit->Disagrees(db::AuditCheck::kKeptRead, read.sql, mismatch);
}

std::unique_ptr<db::Statement> Connection::PrepareRead(const db::KeptRead& read) {
  AuditKeptRead(read);
  if (std::shared_ptr<const db::KeptRows> kept = KeptRowsOf(read)) {
    std::unique_ptr<db::Statement> st = db::ReplayKeptRows(std::move(kept));
    st->Bind(read.values);
    return st;
  }
  return PrepareRead(read.sql, read.values);
}

void Connection::Attach(db::Cursor* cursor) { cursors_.push_back(cursor); }

void Connection::Detach(db::Cursor* cursor) noexcept {
  cursors_.erase(std::remove(cursors_.begin(), cursors_.end(), cursor), cursors_.end());
}

int64_t Connection::Execute(std::string_view sql) { return Execute(sql, {}); }

int64_t Connection::Execute(std::string_view sql, const std::vector<Variant>& params) {
  std::unique_ptr<db::Statement> st = session().Prepare(sql);
  CountStatement(sql, *st);
  st->Bind(params);
  while (st->Step()) {
  }
  return st->RowsAffected();
}

Variant Connection::ExecuteScalar(std::string_view sql, const std::vector<Variant>& params) {
  return FirstField(*PrepareRead(sql, params));
}

Variant Connection::ExecuteScalar(const db::KeptRead& read) {
  return FirstField(*PrepareRead(read));
}

Variant Connection::ReadUntilWrite(const std::string& sql) {
  for (const auto& [read, value] : read_until_write_) {
    if (read == sql) return value;
  }
  Variant value = ExecuteScalar(sql);
  if (keeps_until_write_) read_until_write_.emplace_back(sql, value);
  return value;
}

void Connection::OfferUntilWrite(const std::string& sql, const Variant& value) {
  if (!keeps_until_write_) return;
  for (auto& [read, kept] : read_until_write_) {
    if (read == sql) {
      kept = value;
      return;
    }
  }
  read_until_write_.emplace_back(sql, value);
}

void Connection::BeginTrans() {
  db::Session& s = session();
  if (transaction_depth_ == 0) {
    s.Begin();
  } else {
    s.ExecuteNative("SAVEPOINT vb_sp" + std::to_string(transaction_depth_));
  }
  CountStatement();
  ++transaction_depth_;
}

void Connection::CommitTrans() {
  db::Session& s = session();
  if (transaction_depth_ == 0) throw DbError("CommitTrans without BeginTrans");
  const int outer = transaction_depth_ - 1;
  CountStatement();
  // The depth drops only once the commit has succeeded, so that the rollback that follows a
  // failed one still ends the transaction.
  if (outer == 0) {
    s.Commit();
  } else {
    s.ExecuteNative("RELEASE SAVEPOINT vb_sp" + std::to_string(outer));
  }
  transaction_depth_ = outer;
}

void Connection::RollbackTrans() noexcept {
  if (!session_ || transaction_depth_ == 0) return;
  --transaction_depth_;
  try {
    CountStatement();
    if (transaction_depth_ == 0) {
      session_->Rollback();
    } else {
      const std::string name = "vb_sp" + std::to_string(transaction_depth_);
      session_->ExecuteNative("ROLLBACK TO SAVEPOINT " + name);
      session_->ExecuteNative("RELEASE SAVEPOINT " + name);
    }
  } catch (const std::exception& e) {
    // The pool rolls the session back when the connection closes, or drops it.
    std::fprintf(stderr, "folirex: cannot roll back a transaction: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "folirex: cannot roll back a transaction\n");
  }
}

}  // namespace folirex
