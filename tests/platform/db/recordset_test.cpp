#include "platform/db/recordset.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/db/connection.h"
#include "platform/db/scoped_transaction.h"
#include "temp_database.h"

namespace folirex {
namespace {

class RecordsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    conn_.Open(db_.ConnectionString());
    db_.CreateSchema(conn_);
  }

  // n articles titled "t1".."tn" with d_clicktimes = their number, in one transaction.
  void AddArticles(int n) {
    ScopedTransaction transaction(conn_);
    for (int i = 1; i <= n; ++i) {
      conn_.Execute(
          "insert into Vantrel_Article (d_title, d_clicktimes, d_addtime) values (?, ?, "
          "'2024-01-02 03:04:05')",
          {Variant("t" + std::to_string(i)), Variant(i)});
    }
    transaction.Commit();
  }

  testing::TempDatabase db_;
  Connection conn_;
};

TEST_F(RecordsetTest, ForwardOnlyStreamsRows) {
  AddArticles(5);
  Recordset rs;
  rs.Open("select d_id, d_title from Vantrel_Article order by d_id desc", conn_, 0, 1);
  EXPECT_EQ(rs.RecordCount(), -1);
  EXPECT_EQ(rs.AbsolutePosition(), -1);
  EXPECT_EQ(rs.FieldCount(), 2);
  EXPECT_EQ(rs.FieldName(1), "d_title");
  EXPECT_TRUE(rs.HasField("D_TITLE"));
  EXPECT_FALSE(rs.HasField("d_content"));
  std::vector<std::string> titles;
  while (!rs.Eof()) {
    titles.push_back(rs["D_Title"].ToString());
    rs.MoveNext();
  }
  EXPECT_EQ(titles, (std::vector<std::string>{"t5", "t4", "t3", "t2", "t1"}));
  EXPECT_THROW(rs["d_title"], DbError);  // reading at EOF
  EXPECT_THROW(rs.MoveNext(), DbError);
  EXPECT_THROW(rs.Move(-1), DbError);
  EXPECT_THROW(rs.SetAbsolutePosition(1), DbError);
  EXPECT_THROW(rs.Set("d_title", Variant("x")), DbError);  // read-only
  rs.Close();
  rs.Close();
  EXPECT_FALSE(rs.IsOpen());
}

TEST_F(RecordsetTest, TakeFieldMovesAReadOnlyRowsValueOut) {
  AddArticles(2);
  Recordset rs;
  rs.Open("select d_id, d_title from Vantrel_Article order by d_id", conn_, 0, 1);
  EXPECT_EQ(rs.TakeField("D_TITLE").ToString(), "t1");
  EXPECT_TRUE(rs["d_title"].IsEmpty());
  EXPECT_EQ(rs["d_id"].ToString(), "1");
  rs.MoveNext();
  EXPECT_EQ(rs["d_title"].ToString(), "t2");  // the next row is whole
  EXPECT_THROW(rs.TakeField("d_nosuch"), DbError);
  // A row that may be saved keeps its value.
  Recordset edit;
  edit.Open("select d_id, d_title from Vantrel_Article where d_id = 1", conn_, 1, 3);
  EXPECT_EQ(edit.TakeField("d_title").ToString(), "t1");
  EXPECT_EQ(edit["d_title"].ToString(), "t1");
}

TEST_F(RecordsetTest, UnknownFieldsAndEmptySelects) {
  Recordset rs;
  rs.Open("select * from Vantrel_Article where 1 < 0", conn_);
  EXPECT_TRUE(rs.Eof());
  EXPECT_TRUE(rs.HasField("d_title"));
  EXPECT_THROW(rs["d_title"], DbError);
  rs.Close();
  AddArticles(1);
  rs.Open("select * from Vantrel_Article", conn_);
  EXPECT_THROW(rs["no_such_field"], DbError);
  EXPECT_THROW(rs.Field(99), DbError);
  EXPECT_EQ(rs.Field(0).ToInt64(), 1);
  // A statement without rows runs and leaves the recordset closed, as the page host does.
  rs.Open("update Vantrel_Article set d_clicktimes = 7", conn_);
  EXPECT_FALSE(rs.IsOpen());
  EXPECT_THROW(rs.Eof(), DbError);
  EXPECT_EQ(conn_.ExecuteScalar("select d_clicktimes from Vantrel_Article").ToInt64(), 7);
  EXPECT_THROW(rs.Open("select * from NoSuchTable", conn_), DbError);
  EXPECT_FALSE(rs.IsOpen());
  Recordset never_opened;
  EXPECT_THROW(never_opened.Eof(), DbError);
  never_opened.Close();
}

TEST_F(RecordsetTest, AStatementIsJudgedByWhetherItsCompiledFormReturnsRows) {
  AddArticles(4);
  const std::string delete_with =
      "with gone as (select d_id from Vantrel_Article where d_clicktimes = ?) delete from "
      "Vantrel_Article where d_id in (select d_id from gone)";
  // A WITH before a delete returns no rows, whichever cursor: it runs, the recordset stays shut.
  Recordset rs;
  rs.Open(delete_with, {Variant(1)}, conn_, 0, 1);
  EXPECT_FALSE(rs.IsOpen());
  rs.Open(delete_with, {Variant(2)}, conn_, 3, 3);
  EXPECT_FALSE(rs.IsOpen());
  EXPECT_EQ(conn_.ExecuteScalar("select count(*) from Vantrel_Article").ToInt64(), 2);
  // A select behind a comment streams its rows from the statement compiled to judge it.
  rs.Open("/* newest first */ select d_title from Vantrel_Article order by d_id desc", conn_);
  ASSERT_TRUE(rs.IsOpen());
  EXPECT_EQ(rs["d_title"].ToString(), "t4");
}

TEST_F(RecordsetTest, ForwardOnlyMoveSkipsAndGetRowsReadsTheRest) {
  AddArticles(6);
  Recordset rs;
  rs.Open("select d_clicktimes, d_title from Vantrel_Article order by d_id", conn_);
  rs.Move(2);
  EXPECT_EQ(rs["d_clicktimes"].ToInt64(), 3);
  auto rows = rs.GetRows(2);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1].ToString(), "t3");
  EXPECT_EQ(rows[1][1].ToString(), "t4");
  rows = rs.GetRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][0].ToInt64(), 6);
  EXPECT_TRUE(rs.Eof());
}

TEST_F(RecordsetTest, StaticCursorPagesDeepIntoALargeTable) {
  AddArticles(10000);
  const int64_t before = conn_.statement_count();
  Recordset rs;
  rs.Open(
      "select d_id, d_title, d_clicktimes from Vantrel_Article where d_deleted = false order "
      "by d_clicktimes desc",
      conn_, 1, 1);
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs.RecordCount(), 10000);
  // The admin pager: Move to page 400 of 20 rows and read 20 rows.
  rs.Move(399 * 20);
  EXPECT_EQ(rs.AbsolutePosition(), 7981);
  std::vector<int64_t> page;
  for (int i = 0; i < 20 && !rs.Eof(); ++i) {
    page.push_back(rs["d_clicktimes"].ToInt64());
    rs.MoveNext();
  }
  ASSERT_EQ(page.size(), 20u);
  EXPECT_EQ(page.front(), 10000 - 7980);
  EXPECT_EQ(page.back(), 10000 - 7999);
  // The paging class: AbsolutePosition then GetRows(PageSize).
  rs.SetAbsolutePosition((250 - 1) * 40 + 1);
  auto rows = rs.GetRows(40);
  ASSERT_EQ(rows.size(), 40u);
  EXPECT_EQ(rows[0][2].ToInt64(), 10000 - 9960);
  EXPECT_EQ(rows[39][2].ToInt64(), 1);
  EXPECT_TRUE(rs.Eof());
  EXPECT_EQ(rs.AbsolutePosition(), -3);
  // The last page is short.
  rs.SetAbsolutePosition(9995);
  rows = rs.GetRows(20);
  EXPECT_EQ(rows.size(), 6u);
  // Only windows were read: a handful of statements, not one per row.
  EXPECT_LT(conn_.statement_count() - before, 12);
  // Moving back works on a static cursor.
  rs.SetAbsolutePosition(10);
  rs.Move(-9);
  EXPECT_EQ(rs["d_clicktimes"].ToInt64(), 10000);
  EXPECT_THROW(rs.Move(-1), DbError);
  rs.SetAbsolutePosition(20000);
  EXPECT_TRUE(rs.Eof());
  EXPECT_THROW(rs["d_title"], DbError);
  EXPECT_THROW(rs.SetAbsolutePosition(0), DbError);
}

TEST_F(RecordsetTest, StaticCursorKeepsTheSelectsOwnTop) {
  AddArticles(30);
  Recordset rs;
  rs.Open("select top 25 * from Vantrel_Article order by d_id desc", conn_, 1, 1);
  EXPECT_EQ(rs.RecordCount(), 25);
  rs.SetAbsolutePosition(21);
  auto rows = rs.GetRows(10);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows.back()[0].ToInt64(), 6);
  rs.Close();
  rs.Open("select * from Vantrel_Article where d_id > ? order by d_id", {Variant(27)}, conn_, 3, 1);
  EXPECT_EQ(rs.RecordCount(), 3);
  rs.Move(2);
  EXPECT_EQ(rs["d_id"].ToInt64(), 30);
  rs.MoveNext();
  EXPECT_TRUE(rs.Eof());
  // A count over a derived table without alias, read through a static cursor.
  rs.Close();
  rs.Open("select Count(*) from (select d_id from Vantrel_Article where d_checked = true) ", conn_,
          1, 1);
  EXPECT_EQ(rs.RecordCount(), 1);
  EXPECT_EQ(rs.Field(0).ToInt64(), 30);
}

TEST_F(RecordsetTest, AddNewInsertsAndReadsTheAutonumberBack) {
  Recordset rs;
  rs.Open("select * from Vantrel_Article where 1 < 0", conn_, 1, 3);
  EXPECT_TRUE(rs.Eof());
  rs.AddNew();
  EXPECT_FALSE(rs.Eof());
  rs.Set("d_title", Variant("新文章 'quoted'"));
  rs.Set("D_ClickTimes", Variant("12"));
  rs.Set("d_addtime", Variant(DateTime{2024, 2, 3, 4, 5, 6}));
  rs.Set("d_topflag", Variant("1"));
  rs.Update();
  const int64_t first = rs["d_id"].ToInt64();
  EXPECT_GT(first, 0);
  EXPECT_EQ(rs["d_clicktimes"].ToInt64(), 12);
  EXPECT_TRUE(rs["d_topflag"] == Variant(true));
  EXPECT_TRUE(rs["d_checked"] == Variant(true));  // the column's default, read back
  EXPECT_EQ(rs["d_addtime"].ToString(), "2024-2-3 4:05:06");
  // A second row on the same recordset.
  rs.AddNew();
  rs.Set("d_title", Variant("second"));
  rs.Update();
  EXPECT_EQ(rs["d_id"].ToInt64(), first + 1);
  rs.Close();
  EXPECT_EQ(
      conn_.ExecuteScalar("select d_title from Vantrel_Article where d_id = ?", {first}).ToString(),
      "新文章 'quoted'");
  EXPECT_EQ(conn_.ExecuteScalar("select d_topflag from Vantrel_Article where d_id = ?", {first})
                .ToInt64(),
            -1);
  // Autonumbers are not reused after a delete.
  conn_.Execute("delete from Vantrel_Article");
  rs.Open("select * from Vantrel_Article where 1 < 0", conn_, 1, 3);
  rs.AddNew();
  rs.Update();
  EXPECT_EQ(rs["d_id"].ToInt64(), first + 2);
}

TEST_F(RecordsetTest, UpdateChangesTheExistingRowByItsId) {
  AddArticles(3);
  Recordset rs;
  rs.Open("select * from Vantrel_Article where d_id = 2", conn_, 1, 3);
  ASSERT_FALSE(rs.Eof());
  const int64_t clicks = rs["d_clicktimes"].ToInt64();
  rs.Set("d_clicktimes", Variant(clicks + 1));
  rs.Set("d_title", Variant("renamed"));
  EXPECT_EQ(rs["d_title"].ToString(), "renamed");
  rs.Update();
  EXPECT_EQ(rs["d_clicktimes"].ToInt64(), 3);
  rs.Close();
  EXPECT_EQ(conn_.ExecuteScalar("select d_title from Vantrel_Article where d_id = 2").ToString(),
            "renamed");
  EXPECT_EQ(conn_.ExecuteScalar("select d_title from Vantrel_Article where d_id = 1").ToString(),
            "t1");
  // Moving off a changed row saves it, as the page host's recordset does.
  rs.Open("select * from Vantrel_Article order by d_id", conn_, 1, 3);
  rs.Set("d_title", Variant("first"));
  rs.MoveNext();
  rs.Set("d_title", Variant("second"));
  rs.Update();
  rs.Close();
  EXPECT_EQ(conn_.ExecuteScalar("select d_title from Vantrel_Article where d_id = 1").ToString(),
            "first");
  EXPECT_EQ(conn_.ExecuteScalar("select d_title from Vantrel_Article where d_id = 2").ToString(),
            "second");
}

TEST_F(RecordsetTest, UpdatableCursorRefusesBadInputAndLosesNothing) {
  AddArticles(1);
  Recordset rs;
  rs.Open("select * from Vantrel_Article where d_id = 1", conn_, 1, 3);
  EXPECT_THROW(rs.Set("no_such_field", Variant(1)), DbError);
  rs.Set("d_clicktimes", Variant("many"));
  EXPECT_THROW(rs.Update(), DbError);
  rs.Close();
  EXPECT_EQ(conn_.ExecuteScalar("select d_clicktimes from Vantrel_Article").ToInt64(), 1);
  rs.Open("select * from Vantrel_Article where d_id = 1", conn_, 1, 3);
  rs.Set("d_addtime", Variant("not a date"));
  EXPECT_THROW(rs.Update(), DbError);
  rs.Close();
  // A select over a join can be read but not changed.
  rs.Open(
      "select a.d_id, b.d_name from Vantrel_Article a left join Vantrel_ArticleClass b on "
      "a.d_classid = b.d_id",
      conn_, 1, 3);
  ASSERT_FALSE(rs.Eof());
  EXPECT_THROW(rs.AddNew(), DbError);
  EXPECT_THROW(rs.Set("d_name", Variant("x")), DbError);
  rs.Close();
  // A row deleted under the cursor is reported, not silently re-created.
  rs.Open("select * from Vantrel_Article where d_id = 1", conn_, 1, 3);
  ASSERT_FALSE(rs.Eof());
  conn_.Execute("delete from Vantrel_Article where d_id = 1");
  rs.Set("d_title", Variant("ghost"));
  EXPECT_THROW(rs.Update(), DbError);
  rs.Close();
  EXPECT_EQ(conn_.ExecuteScalar("select count(*) from Vantrel_Article").ToInt64(), 0);
}

// A select opened from its description is counted from it and written back to its table; one
// whose columns do not all come from one table cannot be changed, whatever table its text names
// after its first "from".
TEST_F(RecordsetTest, ASelectIsChangedOnlyWhenEveryColumnComesFromItsOneTable) {
  AddArticles(30);
  Recordset rs;
  rs.Open(db::TableRows{.table = "Vantrel_Article",
                        .where = "d_clicktimes > ? and d_title <> 'from Vantrel_Keyword'",
                        .values = {Variant(10)},
                        .order = "d_clicktimes desc"},
          conn_, 1, 3);
  EXPECT_EQ(rs.RecordCount(), 20);
  EXPECT_EQ(rs["d_clicktimes"].ToInt64(), 30);
  rs.Set("d_title", Variant("changed"));
  rs.Update();
  rs.Close();
  EXPECT_EQ(
      conn_.ExecuteScalar("select d_title from Vantrel_Article where d_clicktimes = 30").ToString(),
      "changed");
  rs.Open(
      "select d_id, d_title, (select count(*) from Vantrel_Keyword) as d_keywords from "
      "Vantrel_Article where d_id = 1",
      conn_, 1, 3);
  ASSERT_FALSE(rs.Eof());
  EXPECT_THROW(rs.Set("d_title", Variant("x")), DbError);
  EXPECT_THROW(rs.AddNew(), DbError);
  rs.Close();
  EXPECT_EQ(conn_.ExecuteScalar("select d_title from Vantrel_Article where d_id = 1").ToString(),
            "t1");
  EXPECT_EQ(conn_.ExecuteScalar("select count(*) from Vantrel_Article").ToInt64(), 30);
}

TEST_F(RecordsetTest, MovedRecordsetStaysUsable) {
  AddArticles(2);
  Recordset rs;
  rs.Open("select d_title from Vantrel_Article order by d_id", conn_);
  Recordset moved = std::move(rs);
  EXPECT_FALSE(rs.IsOpen());
  EXPECT_EQ(moved["d_title"].ToString(), "t1");
  moved.MoveNext();
  EXPECT_EQ(moved["d_title"].ToString(), "t2");
  conn_.Close();
  EXPECT_THROW(moved.Eof(), DbError);
}

}  // namespace
}  // namespace folirex
