// What SQLite says a statement touches, and what the connection does with it: the kept settings
// forget their rows after exactly the writes that change a kept table (a trigger's too), and the
// statement audit reports a kept read that names other tables than it reads, or a write the
// engines without an authorizer would decide otherwise.
#include "platform/db/statement_touches.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/db/connection.h"
#include "platform/db/kept_reads.h"
#include "platform/db/provider.h"
#include "platform/db/recordset.h"
#include "platform/db/statement_audit.h"
#include "temp_database.h"

namespace folirex {
namespace {

using testing::TempDatabase;

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

class TouchesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    conn_.Open(db_.ConnectionString());
    db_.CreateSchema(conn_);
    conn_.Execute("create table Vantrel_Log (d_id integer primary key, d_note text)");
  }
  db::StatementTouches Describe(const std::string& sql) {
    std::optional<db::StatementTouches> touches = conn_.session().Describe(sql);
    EXPECT_TRUE(touches.has_value()) << sql;
    return touches.value_or(db::StatementTouches{});
  }

  TempDatabase db_;
  Connection conn_;
};

TEST_F(TouchesTest, SqliteNamesTheTablesAStatementReadsWritesAndReshapes) {
  db::StatementTouches t = Describe(
      "select a.d_title, c.d_name from Vantrel_Article a left join Vantrel_ArticleClass c on "
      "c.d_id = a.d_classid where a.d_channelid = ?");
  EXPECT_EQ(Sorted(t.reads), (std::vector<std::string>{"Vantrel_Article", "Vantrel_ArticleClass"}));
  EXPECT_TRUE(t.writes.empty());
  EXPECT_EQ(t.row_table, "");
  EXPECT_EQ(t.parameters, 1);

  // A table read for no column of it; a select whose rows are one table's own.
  t = Describe("select count(*) from Vantrel_ArticleClass");
  EXPECT_EQ(t.reads, std::vector<std::string>{"Vantrel_ArticleClass"});
  EXPECT_EQ(t.row_table, "");
  EXPECT_EQ(Describe("select * from vantrel_articleclass where d_id = 5").row_table,
            "Vantrel_ArticleClass");
  EXPECT_EQ(
      Describe("select d_classid, count(*) from Vantrel_Article group by d_classid").row_table, "");

  // A trigger's writes are the statement's; the engine's own tables are not named.
  conn_.session().ExecuteNative(
      "create trigger trg_keyword after insert on Vantrel_Keyword begin insert into Vantrel_Log "
      "(d_note) values (new.d_name); end");
  t = Describe("insert into Vantrel_Keyword (d_name) values (?)");
  EXPECT_EQ(Sorted(t.writes), (std::vector<std::string>{"Vantrel_Keyword", "Vantrel_Log"}));
  EXPECT_TRUE(t.reshapes.empty());
  t = Describe("alter table Vantrel_Keyword add column d_note text");
  EXPECT_EQ(t.reshapes, std::vector<std::string>{"Vantrel_Keyword"});
  t = Describe("create table Vantrel_New (d_id integer)");
  EXPECT_EQ(t.reshapes, std::vector<std::string>{"Vantrel_New"});
  EXPECT_TRUE(t.writes.empty());

  // The columns read and the functions called, the dialect's translated.
  t = Describe(
      "select d_id from Vantrel_Article where datediff('d', d_addtime, now) < 3 and d_title like "
      "?");
  auto has_column = [&t](const std::string& column) {
    return std::any_of(t.columns.begin(), t.columns.end(), [&](const db::TableColumn& c) {
      return c.table == "Vantrel_Article" && c.column == column;
    });
  };
  EXPECT_TRUE(has_column("d_addtime"));
  EXPECT_TRUE(has_column("d_title"));
  EXPECT_FALSE(has_column("d_content"));
  for (const char* f : {"like", "datetime", "vb_datediff"}) {
    EXPECT_NE(std::find(t.functions.begin(), t.functions.end(), f), t.functions.end()) << f;
  }
}

TEST_F(TouchesTest, AStatementKeptCompiledLearnsATriggerAddedAfterIt) {
  const std::string update = "update Vantrel_Keyword set d_order = ? where d_id = ?";
  auto writes = [&] {
    std::unique_ptr<db::Statement> st = conn_.session().Prepare(update);
    return Sorted(st->touches()->writes);
  };
  // Run twice, so that the session keeps it compiled.
  for (int i = 0; i < 2; ++i) conn_.Execute(update, {Variant(1), Variant(1)});
  EXPECT_EQ(writes(), std::vector<std::string>{"Vantrel_Keyword"});
  conn_.session().ExecuteNative(
      "create trigger trg_order after update on Vantrel_Keyword begin insert into Vantrel_Log "
      "(d_note) values ('moved'); end");
  // SQLite compiles the kept statement again in its next run, and says so again.
  conn_.Execute(update, {Variant(2), Variant(1)});
  EXPECT_EQ(writes(), (std::vector<std::string>{"Vantrel_Keyword", "Vantrel_Log"}));
}

// Records what an audit is told, in place of the tests' own while it lives.
class RecordedAudit : public db::StatementAudit {
 public:
  RecordedAudit() : before_(db::SetStatementAudit(this)) {}
  ~RecordedAudit() override { db::SetStatementAudit(before_); }
  void Checked(db::AuditCheck check, std::string_view) override {
    ++checked[static_cast<int>(check)];
  }
  void Disagrees(db::AuditCheck, std::string_view sql, const std::string&) override {
    disagreements.emplace_back(sql);
  }
  int checked[3] = {0, 0, 0};
  std::vector<std::string> disagreements;

 private:
  db::StatementAudit* before_;
};

TEST_F(TouchesTest, KeptRowsAreForgottenAfterTheWritesSqliteSaysChangeAKeptTable) {
  db::KeptReadsPolicy policy{.tables = {"vantrel_articleclass"},
                             .version_sql = "select 1 from Vantrel_ArticleClass where 1 = 0"};
  conn_.KeepReads(&policy);
  conn_.session().ExecuteNative(
      "create trigger trg_classes after insert on Vantrel_Keyword begin update "
      "Vantrel_ArticleClass set d_order = d_order + 1; end");
  db::KeptReads& kept = db::KeptReads::Instance();
  RecordedAudit audit;
  auto moves = [&](const std::string& sql) {
    const uint64_t before = kept.generation();
    conn_.Execute(sql);
    return kept.generation() != before;
  };
  // Naming a kept table is not writing it.
  EXPECT_FALSE(
      moves("update Vantrel_Article set d_title = 'x' where d_classid in (select d_id from "
            "Vantrel_ArticleClass)"));
  EXPECT_TRUE(moves("update Vantrel_ArticleClass set d_name = 'n'"));
  EXPECT_TRUE(moves("delete from Vantrel_ArticleClass where d_id = 0"));
  EXPECT_TRUE(audit.disagreements.empty());
  // A trigger that changes a kept table: the write's text names another, and an engine that
  // reads the text's target would keep showing the old rows; the audit says so.
  EXPECT_TRUE(moves("insert into Vantrel_Keyword (d_name) values ('k')"));
  EXPECT_EQ(audit.disagreements,
            std::vector<std::string>{"insert into Vantrel_Keyword (d_name) values ('k')"});
  EXPECT_EQ(audit.checked[static_cast<int>(db::AuditCheck::kWrite)], 4);
}

TEST_F(TouchesTest, TheAuditReportsAKeptReadThatReadsOtherTablesThanItNames) {
  RecordedAudit audit;
  const std::string count = "select count(*) from Vantrel_ArticleClass";
  conn_.ExecuteScalar(db::KeptRead{.tables = {"vantrel_articleclass"}, .sql = count});
  EXPECT_TRUE(audit.disagreements.empty());
  conn_.ExecuteScalar(db::KeptRead{.tables = {"Vantrel_Article"}, .sql = count});
  const std::string joined =
      "select c.d_name from Vantrel_ArticleClass c where exists (select 1 from Vantrel_Article a "
      "where a.d_classid = c.d_id)";
  conn_.ExecuteScalar(db::KeptRead{.tables = {"Vantrel_ArticleClass"}, .sql = joined});
  EXPECT_EQ(audit.disagreements, (std::vector<std::string>{count, joined}));
  EXPECT_EQ(audit.checked[static_cast<int>(db::AuditCheck::kKeptRead)], 3);

  // An updatable select's table: what its caller declares and what SQLite says are held
  // together; a condition that reads another table leaves its rows of no one table.
  Recordset rs;
  rs.Open(db::TableRows{.table = "Vantrel_ArticleClass", .where = "1 < 0"}, conn_, 1, 3);
  rs.AddNew();
  rs.Set("d_name", Variant("新类"));
  rs.Update();
  rs.Close();
  const db::TableRows narrowed{.table = "Vantrel_ArticleClass",
                               .where = "d_id not in (select d_classid from Vantrel_Article)"};
  rs.Open(narrowed, conn_, 1, 3);
  rs.Close();
  // A select opened from its text is the engine's alone to describe.
  rs.Open("select * from Vantrel_ArticleClass", conn_, 1, 3);
  rs.Close();
  EXPECT_EQ(audit.checked[static_cast<int>(db::AuditCheck::kRowTable)], 2);
  EXPECT_EQ(audit.disagreements, (std::vector<std::string>{count, joined, narrowed.Sql()}));
  EXPECT_EQ(conn_.ExecuteScalar("select d_name from Vantrel_ArticleClass").ToString(), "新类");
}

}  // namespace
}  // namespace folirex
