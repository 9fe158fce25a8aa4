#include "platform/db/scoped_transaction.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "temp_database.h"

namespace folirex {
namespace {

class ScopedTransactionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    conn_.Open(db_.ConnectionString());
    db_.CreateSchema(conn_);
  }

  void Add(const std::string& name) {
    conn_.Execute("insert into Vantrel_Keyword (d_name) values (?)", {Variant(name)});
  }
  std::string Names() {
    std::string names;
    Recordset rs;
    rs.Open("select d_name from Vantrel_Keyword order by d_id", conn_);
    for (; !rs.Eof(); rs.MoveNext()) names += rs["d_name"].ToString() + ";";
    return names;
  }

  testing::TempDatabase db_;
  Connection conn_;
};

TEST_F(ScopedTransactionTest, CommitKeepsAndLeavingTheScopeRollsBack) {
  {
    ScopedTransaction transaction(conn_);
    Add("kept");
    transaction.Commit();
    EXPECT_THROW(transaction.Commit(), DbError);
  }
  {
    ScopedTransaction transaction(conn_);
    Add("dropped");
  }
  EXPECT_EQ(Names(), "kept;");
  // Nested scopes are savepoints: the inner one's rollback undoes only its own rows, its commit
  // folds them into the outer one, and the outer one's rollback takes everything.
  {
    ScopedTransaction outer(conn_);
    Add("outer");
    {
      ScopedTransaction inner(conn_);
      Add("inner dropped");
    }
    {
      ScopedTransaction inner(conn_);
      Add("inner kept");
      inner.Commit();
    }
    outer.Commit();
  }
  {
    ScopedTransaction outer(conn_);
    ScopedTransaction inner(conn_);
    Add("both dropped");
    inner.Commit();
    // A transaction begun by hand and left open inside the scope goes with it.
    conn_.BeginTrans();
    Add("left open");
    EXPECT_THROW(outer.Commit(), DbError);
  }
  EXPECT_EQ(Names(), "kept;outer;inner kept;");
  EXPECT_EQ(conn_.transaction_depth(), 0);
}

TEST_F(ScopedTransactionTest, AFailureInsideRollsBackAndTheConnectionGoesOn) {
  EXPECT_THROW(
      {
        ScopedTransaction transaction(conn_);
        Add("before the failure");
        conn_.Execute("insert into NoSuchTable (x) values (1)");
        transaction.Commit();
      },
      DbError);
  EXPECT_THROW(
      {
        ScopedTransaction transaction(conn_);
        Add("before the exception");
        throw std::runtime_error("the page gave up");
      },
      std::runtime_error);
  // A commit that fails (a deferred check) leaves the transaction to the scope, which rolls it
  // back: the connection is not left inside it.
  conn_.Execute("pragma foreign_keys = on");
  conn_.Execute("create table parent (d_id integer primary key)");
  conn_.Execute(
      "create table child (d_id integer primary key, d_parent integer references parent(d_id) "
      "deferrable initially deferred)");
  {
    ScopedTransaction transaction(conn_);
    Add("with an orphan");
    conn_.Execute("insert into child (d_parent) values (7)");
    EXPECT_THROW(transaction.Commit(), DbError);
  }
  EXPECT_EQ(conn_.transaction_depth(), 0);
  EXPECT_EQ(Names(), "");
  {
    ScopedTransaction transaction(conn_);
    Add("same connection");
    transaction.Commit();
  }
  // The session goes back to the pool clean and serves the next connection.
  conn_.Close();
  conn_.Open(db_.ConnectionString());
  {
    ScopedTransaction transaction(conn_);
    Add("from the pool");
    transaction.Commit();
  }
  Connection other;
  other.Open(db_.ConnectionString());
  other.Execute("insert into Vantrel_Keyword (d_name) values ('another connection')");
  EXPECT_EQ(Names(), "same connection;from the pool;another connection;");
}

}  // namespace
}  // namespace folirex
