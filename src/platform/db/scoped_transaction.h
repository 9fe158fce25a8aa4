// ScopedTransaction: a transaction on a Connection that rolls back unless it is committed.
//
//   ScopedTransaction transaction(conn);  // begins
//   conn.Execute(...);                    // statements on the same connection
//   transaction.Commit();                 // makes them stand
//
// Leaving the scope without Commit (a return, an exception, the end of the response) rolls back
// everything done since the constructor, including inner transactions left open inside it.
//
// Nesting: a ScopedTransaction opened while another is open on the same connection is a
// savepoint, on a database file and on a server alike (SAVEPOINT vb_spN; BeginTrans does the
// same). Its Commit releases the savepoint: its statements become part of the outer transaction,
// which alone makes them durable, and go if the outer one rolls back. Its rollback undoes only its
// own statements; the outer transaction goes on. Scopes end in the reverse order of their opening
// (keep them on the stack). On PostgreSQL a failed statement inside a transaction fails alone (the
// session guards each statement with a savepoint of its own), so an error caught inside the scope
// leaves the transaction usable, as on a database file.
//
// The destructor never throws: a rollback that fails is written to standard error, and the
// session is rolled back or dropped when the connection goes back to the pool. The scope must not
// outlive the connection's opening; closing the connection inside the scope rolls the transaction
// back, and the scope then has nothing left to end. Not thread-safe, as the connection is not.
#ifndef FOLIREX_PLATFORM_DB_SCOPED_TRANSACTION_H_
#define FOLIREX_PLATFORM_DB_SCOPED_TRANSACTION_H_

#include "platform/db/connection.h"

namespace folirex {

class ScopedTransaction {
 public:
  // Begins a transaction (or a savepoint inside the open one); throws DbError when it cannot.
  explicit ScopedTransaction(Connection& conn);
  ~ScopedTransaction();
  ScopedTransaction(const ScopedTransaction&) = delete;
  ScopedTransaction& operator=(const ScopedTransaction&) = delete;

  // Commits (or releases the savepoint). DbError when it fails, when it was committed already,
  // when an inner transaction is still open, or when the connection was closed meanwhile; the
  // transaction is then still rolled back at the end of the scope.
  void Commit();
  bool committed() const { return committed_; }

 private:
  Connection& conn_;
  int depth_;  // the connection's transaction depth with this transaction open
  bool committed_ = false;
};

// SessionTransaction: a transaction on the connection's session itself, for work that is none of
// a page's (structures a database is given, built in steps): its statements are not counted as
// a page's, and it takes its turn with the other writers as a page's transaction does (SQLite:
// BEGIN IMMEDIATE). Rolls back unless committed. Not for use inside another open transaction of
// the connection.
class SessionTransaction {
 public:
  explicit SessionTransaction(Connection& conn);
  ~SessionTransaction();
  SessionTransaction(const SessionTransaction&) = delete;
  SessionTransaction& operator=(const SessionTransaction&) = delete;

  void Commit();

 private:
  db::Session& session_;
  bool committed_ = false;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_DB_SCOPED_TRANSACTION_H_
