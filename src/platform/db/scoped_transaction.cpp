#include "platform/db/scoped_transaction.h"

#include "platform/db/provider.h"

namespace folirex {

ScopedTransaction::ScopedTransaction(Connection& conn) : conn_(conn) {
  conn_.BeginTrans();
  depth_ = conn_.transaction_depth();
}

ScopedTransaction::~ScopedTransaction() {
  if (committed_) return;
  // RollbackTrans never throws and always ends one level, failed or not.
  while (conn_.transaction_depth() >= depth_) conn_.RollbackTrans();
}

void ScopedTransaction::Commit() {
  if (committed_) throw DbError("the transaction is committed already");
  if (conn_.transaction_depth() < depth_) {
    throw DbError("the transaction ended when its connection was closed");
  }
  if (conn_.transaction_depth() > depth_) {
    throw DbError("cannot commit a transaction while an inner one is still open");
  }
  conn_.CommitTrans();
  committed_ = true;
}

SessionTransaction::SessionTransaction(Connection& conn) : session_(conn.session()) {
  session_.Begin();
}

SessionTransaction::~SessionTransaction() {
  if (committed_) return;
  try {
    session_.Rollback();
  } catch (...) {
  }
}

void SessionTransaction::Commit() {
  session_.Commit();
  committed_ = true;
}

}  // namespace folirex
