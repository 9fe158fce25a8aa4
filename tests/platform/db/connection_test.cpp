#include "platform/db/connection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/db/connection_string.h"
#include "platform/db/recordset.h"
#include "platform/db/sql_params.h"
#include "temp_database.h"

namespace folirex {
namespace {

using testing::TempDatabase;

TEST(ConnectionStringTest, FileFormWithTheBlanksThePagesWrite) {
  db::ConnectionTarget t = db::ParseConnectionString(
      "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/srv/site/data/my db.mdb; User ID = admin; "
      "Password = secret;");
  EXPECT_EQ(t.kind, db::ConnectionTarget::Kind::kFile);
  EXPECT_EQ(t.path, "/srv/site/data/my db.mdb");
  EXPECT_EQ(t.user, "admin");
  EXPECT_EQ(t.password, "secret");
  EXPECT_THROW(db::ParseConnectionString("Provider=x;Data Source=/a;stray;"), DbError);
  t = db::ParseConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/a/b.mdb;");
  EXPECT_EQ(t.path, "/a/b.mdb");
  EXPECT_TRUE(t.user.empty());
}

TEST(ConnectionStringTest, ServerFormBecomesAnOdbcString) {
  db::ConnectionTarget t = db::ParseConnectionString(
      "driver={SQL Server};server=db.local,5433;database=site;uid=web;pwd=p;");
  EXPECT_EQ(t.kind, db::ConnectionTarget::Kind::kServer);
  EXPECT_EQ(t.driver, "SQL Server");
  EXPECT_EQ(t.server, "db.local");
  EXPECT_EQ(t.port, "5433");
  EXPECT_EQ(t.database, "site");
  EXPECT_EQ(t.pwd, "p");
  EXPECT_EQ(t.OdbcConnectionString(),
            "DRIVER={SQL Server};SERVER=db.local;PORT=5433;DATABASE=site;UID=web;PWD=p;");
  // Empty settings still give their keys, as the pages build them.
  t = db::ParseConnectionString("driver={SQL Server};server=;database=;uid=;pwd=;");
  EXPECT_EQ(t.OdbcConnectionString(), "DRIVER={SQL Server};SERVER=;DATABASE=;UID=;PWD=;");
  // Braced values keep ";" and "}" and are braced again for the driver.
  t = db::ParseConnectionString("driver={PG};server=h:5432;database=d;uid=u;pwd={a;b}}c};");
  EXPECT_EQ(t.pwd, "a;b}c");
  EXPECT_EQ(t.port, "5432");
  EXPECT_EQ(t.OdbcConnectionString(),
            "DRIVER={PG};SERVER=h;PORT=5432;DATABASE=d;UID=u;PWD={a;b}}c};");
  EXPECT_THROW(db::ParseConnectionString("driver={PG;server=h"), DbError);
  EXPECT_THROW(db::ParseConnectionString("server=h;database=d"), DbError);
  EXPECT_THROW(db::ParseConnectionString(""), DbError);
}

TEST(ConnectionTest, OpeningAMissingFileFailsAndCreatesNothing) {
  TempDatabase db;
  const std::filesystem::path missing = db.folder() / "nothere.mdb";
  Connection conn;
  EXPECT_THROW(conn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + missing.string() + ";"),
               DbError);
  EXPECT_FALSE(conn.IsOpen());
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_THROW(
      conn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + db.folder().string() + ";"),
      DbError);                                     // a folder is not a database
  EXPECT_THROW(conn.Execute("select 1"), DbError);  // nothing open
  conn.Close();
  conn.Close();  // safe twice
}

TEST(ConnectionTest, AFileThatIsNotADatabaseFails) {
  TempDatabase db;
  const std::filesystem::path text = db.folder() / "notes.mdb";
  {
    std::ofstream out(text);
    out << "this is not a database file, just some text that is long enough to read a header";
  }
  Connection conn;
  EXPECT_THROW(conn.Open("Provider=x;Data Source=" + text.string() + ";"), DbError);
}

TEST(ConnectionTest, AFileReplacedUnderItsNameOrLinkIsOpenedAnew) {
  TempDatabase db;
  const std::filesystem::path folder = db.folder();
  auto make = [&](const std::string& name, const std::string& word) {
    std::ofstream(folder / name).flush();
    Connection conn;
    conn.Open("Provider=x;Data Source=" + (folder / name).string() + ";");
    conn.Execute("create table T (word text)");
    conn.Execute("insert into T values (?)", {Variant(word)});
    // Whole in the file, not in its log, so that the file alone can be moved.
    conn.Execute("pragma wal_checkpoint(truncate)");
  };
  auto word_of = [](const std::filesystem::path& path) {
    Connection conn;
    conn.Open("Provider=x;Data Source=" + path.string() + ";");
    return conn.ExecuteScalar("select word from T").ToString();
  };
  make("a.db", "first");
  make("b.db", "second");
  make("c.db", "third");
  std::filesystem::create_symlink(folder / "a.db", folder / "site.db");
  EXPECT_EQ(word_of(folder / "site.db"), "first");
  EXPECT_EQ(word_of(folder / "site.db"), "first");  // from the pool
  // The file the name reaches replaced, then the link pointed elsewhere: each time the
  // connections already pooled are of another file.
  std::filesystem::rename(folder / "b.db", folder / "a.db");
  EXPECT_EQ(word_of(folder / "site.db"), "second");
  std::filesystem::remove(folder / "site.db");
  std::filesystem::create_symlink(folder / "c.db", folder / "site.db");
  EXPECT_EQ(word_of(folder / "site.db"), "third");
  std::filesystem::remove(folder / "c.db");
  EXPECT_THROW(word_of(folder / "site.db"), DbError);
}

TEST(ConnectionTest, ServerFormWithAnUnknownDriverFailsCleanly) {
  Connection conn;
  try {
    conn.Open("driver={No Such Driver 9};server=127.0.0.1;database=site;uid=web;pwd=TopSecret;");
    FAIL() << "opened a connection through a driver that does not exist";
  } catch (const DbError& e) {
    EXPECT_EQ(std::string(e.what()).find("TopSecret"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(conn.IsOpen());
  EXPECT_EQ(conn.engine(), SqlEngine::kNone);
}

TEST(ConnectionTest, ExecuteAnswersRowsAffected) {
  TempDatabase db;
  Connection conn;
  conn.Open(db.ConnectionString());
  EXPECT_EQ(conn.engine(), SqlEngine::kSqlite);
  db.CreateSchema(conn);
  EXPECT_EQ(conn.Execute("insert into Vantrel_Keyword (d_name) values ('a')"), 1);
  EXPECT_EQ(conn.Execute("insert into Vantrel_Keyword (d_name) values ('b')"), 1);
  EXPECT_EQ(conn.Execute("insert into Vantrel_Keyword (d_name) values ('c')"), 1);
  EXPECT_EQ(conn.Execute("update Vantrel_Keyword set d_order = 5 where d_id in (1, 3)"), 2);
  EXPECT_EQ(conn.Execute("update Vantrel_Keyword set d_order = 5 where d_id = 99"), 0);
  EXPECT_EQ(conn.Execute("select * from Vantrel_Keyword"), 0);
  EXPECT_EQ(conn.Execute("delete from Vantrel_Keyword where d_order = 5"), 2);
  EXPECT_EQ(conn.Execute("create table Extra (d_id integer primary key)"), 0);
  EXPECT_EQ(conn.ExecuteScalar("select count(*) from Vantrel_Keyword").ToInt64(), 1);
  EXPECT_TRUE(conn.ExecuteScalar("select d_name from Vantrel_Keyword where d_id = 42").IsNull());
  // A bad statement is a DbError naming the statement, and the connection stays usable.
  EXPECT_THROW(conn.Execute("select * from NoSuchTable"), DbError);
  EXPECT_THROW(conn.Execute("delete from Vantrel_Keyword; drop table Vantrel_Keyword"), DbError);
  EXPECT_EQ(conn.ExecuteScalar("select count(*) from Vantrel_Keyword").ToInt64(), 1);
  EXPECT_GE(conn.statement_count(), 10);
  EXPECT_GE(TotalStatementCount(), conn.statement_count());
}

// A request's connection reads such a value once, and again only after it wrote (or may have):
// what another connection writes meanwhile is not seen, what its own writes change is.
TEST(ConnectionTest, AValueReadUntilWriteIsReadAgainAfterTheConnectionsOwnWrites) {
  TempDatabase db;
  Connection conn, other;
  conn.Open(db.ConnectionString());
  other.Open(db.ConnectionString());
  db.CreateSchema(conn);
  conn.Execute("insert into Vantrel_Keyword (d_name, d_order) values ('a', 1)");
  const std::string sql = "select d_order from Vantrel_Keyword where d_id = 1";
  auto value = [&] { return conn.ReadUntilWrite(sql).ToInt64Or(-1); };
  EXPECT_EQ(value(), 1) << "a connection that keeps nothing reads it every time";
  other.Execute("update Vantrel_Keyword set d_order = 2");
  EXPECT_EQ(value(), 2);

  conn.KeepReadsUntilWrite();
  EXPECT_EQ(value(), 2);
  other.Execute("update Vantrel_Keyword set d_order = 3");
  const int64_t before = conn.statement_count();
  EXPECT_EQ(value(), 2) << "kept until the connection writes";
  EXPECT_EQ(conn.statement_count(), before);
  conn.Execute("update Vantrel_Keyword set d_name = 'b'");
  EXPECT_EQ(value(), 3);
  other.Execute("update Vantrel_Keyword set d_order = 4");
  conn.BeginTrans();
  EXPECT_EQ(value(), 4) << "a transaction begun may write";
  conn.CommitTrans();
  EXPECT_EQ(value(), 4);
  other.Execute("update Vantrel_Keyword set d_order = 5");
  conn.ExecuteScalar("select count(*) from Vantrel_Keyword");
  EXPECT_EQ(value(), 4) << "a read is no write";
  conn.OfferUntilWrite(sql, Variant(9));
  EXPECT_EQ(value(), 9) << "a value read along with another statement answers";
}

TEST(ConnectionTest, ParametersCarryQuotesAndChineseText) {
  TempDatabase db;
  Connection conn;
  conn.Open(db.ConnectionString());
  db.CreateSchema(conn);
  const std::string nasty = "O'Brien \"引号\"; drop table Vantrel_Article; --";
  conn.Execute(
      "insert into Vantrel_Article (d_title, d_author, d_addtime, d_topflag) "
      "values (?, ?, ?, ?)",
      {Variant(nasty), Variant("张三"), Variant(DateTime{2024, 5, 6, 7, 8, 9}), Variant(true)});
  Recordset rs;
  rs.Open("select * from Vantrel_Article where d_title = ? and d_author = ?",
          {Variant(nasty), Variant("张三")}, conn);
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs["d_title"].ToString(), nasty);
  EXPECT_EQ(rs["D_AUTHOR"].ToString(), "张三");
  // Stored as "yyyy-mm-dd hh:mm:ss", read back as a date; flags stored -1, read as booleans.
  EXPECT_EQ(rs["d_addtime"].type(), Variant::Type::kDate);
  EXPECT_EQ(rs["d_addtime"].ToString(), "2024-5-6 7:08:09");
  EXPECT_EQ(rs["d_topflag"].type(), Variant::Type::kBoolean);
  EXPECT_TRUE(rs["d_topflag"] == Variant(true));
  rs.Close();
  EXPECT_EQ(
      conn.ExecuteScalar("select d_addtime || '|' || d_topflag from Vantrel_Article").ToString(),
      "2024-05-06 07:08:09|-1");
  EXPECT_THROW(conn.Execute("select * from Vantrel_Article where d_id = ?"), DbError);
  EXPECT_THROW(conn.Execute("select * from Vantrel_Article where d_id = ?", {1, 2}), DbError);
}

TEST(ConnectionTest, IdListsAndConditionsBindAsValues) {
  EXPECT_EQ(Placeholders(1), "?");
  EXPECT_EQ(Placeholders(3), "?,?,?");
  TempDatabase db;
  Connection conn;
  conn.Open(db.ConnectionString());
  db.CreateSchema(conn);
  for (int i = 1; i <= 5; ++i) {
    conn.Execute("insert into Vantrel_Article (d_title, d_channelid) values (?, ?)",
                 {Variant("t" + std::to_string(i)), Variant(int64_t{i % 2 + 1})});
  }
  BoundSql where = IdsIn("d_id", {5, 1, 2, 9});
  EXPECT_EQ(where.sql, "d_id in (?,?,?,?)");
  AndWhere(where, "d_channelid = ?", SqlNumber(2));
  AndWhere(where, "d_title like ?", Variant("%'%"));
  EXPECT_EQ(
      conn.ExecuteScalar("select count(*) from Vantrel_Article where " + where.sql, where.params)
          .ToInt64(),
      0);
  where.params.back() = Variant("t%");
  EXPECT_EQ(conn.ExecuteScalar("select group_concat(d_id) from (select d_id from "
                               "Vantrel_Article where " +
                                   where.sql + " order by d_id)",
                               where.params)
                .ToString(),
            "1,5");
  // A long list of ticked boxes is as many values, not as much SQL text to read.
  std::vector<int64_t> many;
  for (int64_t id = 1; id <= 5000; ++id) many.push_back(id);
  BoundSql all = IdsIn("d_id", many);
  EXPECT_EQ(conn.Execute("update Vantrel_Article set d_title = 'x' where " + all.sql, all.params),
            5);
}

TEST(ConnectionTest, TransactionsCommitAndRollBack) {
  TempDatabase db;
  Connection conn;
  conn.Open(db.ConnectionString());
  db.CreateSchema(conn);
  conn.RollbackTrans();  // none open: nothing happens
  conn.BeginTrans();
  conn.Execute("insert into Vantrel_Keyword (d_name) values ('kept')");
  conn.CommitTrans();
  conn.BeginTrans();
  conn.Execute("insert into Vantrel_Keyword (d_name) values ('dropped')");
  conn.Execute("update Vantrel_Keyword set d_order = 9");
  conn.RollbackTrans();
  EXPECT_EQ(conn.ExecuteScalar("select count(*) from Vantrel_Keyword").ToInt64(), 1);
  EXPECT_EQ(conn.ExecuteScalar("select d_order from Vantrel_Keyword").ToInt64(), 0);
  // A nested transaction rolls back on its own.
  conn.BeginTrans();
  conn.Execute("insert into Vantrel_Keyword (d_name) values ('outer')");
  conn.BeginTrans();
  conn.Execute("insert into Vantrel_Keyword (d_name) values ('inner')");
  conn.RollbackTrans();
  conn.CommitTrans();
  EXPECT_EQ(conn.ExecuteScalar("select count(*) from Vantrel_Keyword").ToInt64(), 2);
  EXPECT_THROW(conn.CommitTrans(), DbError);
  // A transaction left open when the connection closes is rolled back, not committed.
  conn.BeginTrans();
  conn.Execute("insert into Vantrel_Keyword (d_name) values ('abandoned')");
  conn.Close();
  Connection other;
  other.Open(db.ConnectionString());
  EXPECT_EQ(other.ExecuteScalar("select count(*) from Vantrel_Keyword").ToInt64(), 2);
}

TEST(ConnectionTest, ClosingTheConnectionClosesItsRecordsets) {
  TempDatabase db;
  Connection conn;
  conn.Open(db.ConnectionString());
  db.CreateSchema(conn);
  conn.Execute("insert into Vantrel_Keyword (d_name) values ('a')");
  conn.Execute("insert into Vantrel_Keyword (d_name) values ('b')");
  Recordset rs;
  rs.Open("select * from Vantrel_Keyword", conn);
  ASSERT_FALSE(rs.Eof());
  conn.Close();
  EXPECT_THROW(rs.Eof(), DbError);
  rs.Close();
  // The pooled session is clean for the next connection.
  conn.Open(db.ConnectionString());
  EXPECT_EQ(conn.ExecuteScalar("select count(*) from Vantrel_Keyword").ToInt64(), 2);
}

TEST(ConnectionTest, PoolServesSeveralThreadsEachWithItsOwnConnection) {
  TempDatabase db;
  {
    Connection conn;
    conn.Open(db.ConnectionString());
    db.CreateSchema(conn);
    conn.Execute("insert into Vantrel_Article (d_title) values ('counter')");
  }
  constexpr int kThreads = 8;
  constexpr int kRounds = 60;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      try {
        for (int i = 0; i < kRounds; ++i) {
          Connection conn;
          conn.Open(db.ConnectionString());
          conn.Execute("update Vantrel_Article set d_clicktimes = d_clicktimes + 1 where d_id = 1");
          conn.Execute("insert into Vantrel_Keyword (d_name, d_order) values (?, ?)",
                       {Variant("t" + std::to_string(t)), Variant(i)});
          Recordset rs;
          rs.Open("select count(*) from Vantrel_Keyword where d_name = ?",
                  {Variant("t" + std::to_string(t))}, conn);
          if (rs.Field(0).ToInt64() != i + 1) ++failures;
        }
      } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
        ++failures;
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
  Connection conn;
  conn.Open(db.ConnectionString());
  EXPECT_EQ(conn.ExecuteScalar("select d_clicktimes from Vantrel_Article").ToInt64(),
            kThreads * kRounds);
  EXPECT_EQ(conn.ExecuteScalar("select count(*) from Vantrel_Keyword").ToInt64(),
            kThreads * kRounds);
}

}  // namespace
}  // namespace folirex

namespace folirex::testing {
namespace {

// Translations are kept per pooled session; a schema change must still change them.
TEST(TranslationCacheTest, ASchemaChangeIsSeenByTheNextStatement) {
  TempDatabase db;
  {
    Connection conn;
    conn.Open(db.ConnectionString());
    conn.Execute("create table t (a TEXT, b TEXT)");
    conn.Execute("insert into t values ('1', '2')");
    EXPECT_EQ(conn.ExecuteScalar("select a + b from t").ToString(), "12");
    conn.Execute("drop table t");
    conn.Execute("create table t (a INTEGER, b INTEGER)");
    conn.Execute("insert into t values (1, 2)");
    EXPECT_EQ(conn.ExecuteScalar("select a + b from t").ToInt64Or(0), 3)
        << "the same text translated under the new schema";
  }
  // The session goes back to the pool and comes out again with what it knew.
  Connection again;
  again.Open(db.ConnectionString());
  EXPECT_EQ(again.ExecuteScalar("select a + b from t").ToInt64Or(0), 3);
}

}  // namespace
}  // namespace folirex::testing
