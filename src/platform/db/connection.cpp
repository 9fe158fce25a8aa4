#include "platform/db/connection.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "platform/db/provider.h"

namespace folirex {

namespace {
std::atomic<int64_t> g_total_statements{0};
}  // namespace

int64_t TotalStatementCount() { return g_total_statements.load(std::memory_order_relaxed); }

Connection::Connection() = default;

Connection::~Connection() { Close(); }

void Connection::Open(std::string_view connection_string) {
  Close();
  session_ = db::OpenSession(connection_string);
  statement_count_ = 0;
  transaction_depth_ = 0;
}

bool Connection::IsOpen() const { return session_ != nullptr; }

void Connection::Close() noexcept {
  // Recordsets detach themselves while they close, so walk a copy.
  std::vector<db::Cursor*> open = cursors_;
  for (db::Cursor* cursor : open) cursor->ConnectionClosing();
  cursors_.clear();
  transaction_depth_ = 0;
  if (session_) db::ReleaseSession(std::move(session_));  // rolls back what was left open
}

db::Session& Connection::session() {
  if (!session_) throw DbError("the database connection is not open");
  return *session_;
}

SqlEngine Connection::engine() const { return session_ ? session_->engine() : SqlEngine::kNone; }

void Connection::CountStatement(std::string_view sql) {
  static const bool trace = std::getenv("FOLIREX_SQL_TRACE") != nullptr;
  if (trace && !sql.empty()) {
    std::fprintf(stderr, "sql> %.*s\n", static_cast<int>(sql.size()), sql.data());
  }
  ++statement_count_;
  g_total_statements.fetch_add(1, std::memory_order_relaxed);
}

void Connection::Attach(db::Cursor* cursor) { cursors_.push_back(cursor); }

void Connection::Detach(db::Cursor* cursor) noexcept {
  cursors_.erase(std::remove(cursors_.begin(), cursors_.end(), cursor), cursors_.end());
}

int64_t Connection::Execute(std::string_view sql) { return Execute(sql, {}); }

int64_t Connection::Execute(std::string_view sql, const std::vector<Variant>& params) {
  std::unique_ptr<db::Statement> st = session().Prepare(sql);
  CountStatement(sql);
  st->Bind(params);
  while (st->Step()) {
  }
  return st->RowsAffected();
}

Variant Connection::ExecuteScalar(std::string_view sql, const std::vector<Variant>& params) {
  std::unique_ptr<db::Statement> st = session().Prepare(sql);
  CountStatement(sql);
  st->Bind(params);
  if (!st->Step() || st->ColumnCount() == 0) return Variant::Null();
  Variant v = st->Column(0);
  while (st->Step()) {
  }
  return v;
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
