#include "platform/db/sql_dialect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "temp_database.h"

namespace folirex {
namespace {

struct Case {
  const char* name;
  const char* input;
  const char* sqlite;
  const char* postgres;
};

// The text columns of the schema in temp_database.h, as the providers report them.
SqlSchemaHints Hints() {
  SqlSchemaHints h;
  h.is_text_column = [](std::string_view c) {
    static const std::set<std::string> kText = {"d_title", "d_name",    "d_dir",
                                                "d_path",  "d_keyword", "d_author"};
    return kText.count(std::string(c)) != 0;
  };
  return h;
}

// Every construct of the pages' SQL, in the forms the pages write it.
const Case kCases[] = {
    {"top at the head",
     "select top 3 d_name from Vantrel_Keyword where d_channelid = 1 order by d_order desc",
     "select d_name from Vantrel_Keyword where d_channelid = 1 order by d_order desc LIMIT 3",
     "select d_name from Vantrel_Keyword where d_channelid = 1 order by d_order desc LIMIT 3"},
    {"top with two blanks and star",
     "Select  top 1 * from Vantrel_Article where d_id > 5 order by d_id",
     "Select  * from Vantrel_Article where d_id > 5 order by d_id LIMIT 1",
     "Select  * from Vantrel_Article where d_id > 5 order by d_id LIMIT 1"},
    {"top inside a derived table",
     "select a.d_id, b.d_dir from (select top 10 d_id,d_classid from Vantrel_Article where  "
     "d_deleted = false) a left outer join (select d_id,d_dir from Vantrel_ArticleClass) b on "
     "a.d_classid=b.d_id order by a.d_topflag, a.d_id desc",
     "select a.d_id, b.d_dir from (select d_id,d_classid from Vantrel_Article where  d_deleted = 0 "
     "LIMIT 10) a left outer join (select d_id,d_dir from Vantrel_ArticleClass) b on "
     "a.d_classid=b.d_id order by a.d_topflag, a.d_id desc",
     "select a.d_id, b.d_dir from (select d_id,d_classid from Vantrel_Article where  d_deleted = 0 "
     "LIMIT 10) a left outer join (select d_id,d_dir from Vantrel_ArticleClass) b on "
     "a.d_classid=b.d_id order by a.d_topflag, a.d_id desc"},
    {"top in a scalar subquery",
     "select * from T where d_id = (select top 1 d_id from T order by d_id desc)",
     "select * from T where d_id = (select d_id from T order by d_id desc LIMIT 1)",
     "select * from T where d_id = (select d_id from T order by d_id desc LIMIT 1)"},
    {"flags in where and set",
     "update Vantrel_Article set d_topflag = true, d_generatedflag = false where d_id in (1,2) and "
     "d_deleted = false",
     "update Vantrel_Article set d_topflag = -1, d_generatedflag = 0 where d_id in (1,2) and "
     "d_deleted = 0",
     "update Vantrel_Article set d_topflag = -1, d_generatedflag = 0 where d_id in (1,2) and "
     "d_deleted = 0"},
    {"flags in any case",
     "select * from Vantrel_Channel where D_ShowNameFlag = TRUE and d_disabledflag = False",
     "select * from Vantrel_Channel where D_ShowNameFlag = -1 and d_disabledflag = 0",
     "select * from Vantrel_Channel where D_ShowNameFlag = -1 and d_disabledflag = 0"},
    {"datediff day of year to now", "select * from A where datediff('y', d_addtime, now) <= 7",
     "select * from A where vb_datediff('y', d_addtime, datetime('now','localtime')) <= 7",
     "select * from A where (CAST(localtimestamp(0) AS date) - CAST(d_addtime AS date)) <= 7"},
    {"datediff days and now()", "select datediff('d', d_addtime, now()) from A",
     "select vb_datediff('d', d_addtime, datetime('now','localtime')) from A",
     "select (CAST(localtimestamp(0) AS date) - CAST(d_addtime AS date)) from A"},
    {"bare now in a comparison", "select * from A where d_addtime < now",
     "select * from A where d_addtime < datetime('now','localtime')",
     "select * from A where d_addtime < localtimestamp(0)"},
    {"words inside strings stay", "select * from A where d_title = 'top 5 true now + x'",
     "select * from A where d_title = 'top 5 true now + x'",
     "select * from A where d_title = 'top 5 true now + x'"},
    {"qualified names are not literals", "select a.now, b.true from A a, B b",
     "select a.now, b.true from A a, B b", "select a.now, b.true from A a, B b"},
    {"plus joining literal and column",
     "select d_name from Vantrel_Keyword where '新闻标题' like '%'+d_name+'%' and d_channelid = 1",
     "select d_name from Vantrel_Keyword where '新闻标题' like '%'||d_name||'%' and d_channelid = "
     "1",
     "select d_name from Vantrel_Keyword where '新闻标题' ILIKE '%'||d_name||'%' ESCAPE '' and "
     "d_channelid = 1"},
    {"plus joining a qualified column",
     "select c.d_id from Vantrel_Article c,(select d_name from Vantrel_Keyword where 'x' like "
     "'%'+d_name+'%') d where c.d_title like '%'+d.d_name+'%'",
     "select c.d_id from Vantrel_Article c,(select d_name from Vantrel_Keyword where 'x' like "
     "'%'||d_name||'%') d where c.d_title like '%'||d.d_name||'%'",
     "select c.d_id from Vantrel_Article c,(select d_name from Vantrel_Keyword where 'x' ILIKE "
     "'%'||d_name||'%' ESCAPE '') d where c.d_title ILIKE '%'||d.d_name||'%' ESCAPE ''"},
    {"cstr joined with commas",
     "update Vantrel_ArticleClass set d_path = (cstr(d_rootid) + ',' + cstr(d_id) + ',') where "
     "d_rootid = 3 and d_level <> 0",
     "update Vantrel_ArticleClass set d_path = (vb_cstr(d_rootid) || ',' || vb_cstr(d_id) || ',') "
     "where d_rootid = 3 and d_level <> 0",
     "update Vantrel_ArticleClass set d_path = (CAST(d_rootid AS text) || ',' || CAST(d_id AS "
     "text) || ',') where d_rootid = 3 and d_level <> 0"},
    {"literal joined with mid",
     "update Vantrel_ArticleClass set d_path = '1,5,' + mid(d_path, 3) where d_order >= 3",
     "update Vantrel_ArticleClass set d_path = '1,5,' || substr(d_path, 3) where d_order >= 3",
     "update Vantrel_ArticleClass set d_path = '1,5,' || substr(d_path, 3) where d_order >= 3"},
    {"two text columns", "update Vantrel_ArticleClass set d_path = d_dir + d_path",
     "update Vantrel_ArticleClass set d_path = d_dir || d_path",
     "update Vantrel_ArticleClass set d_path = d_dir || d_path"},
    {"numeric plus stays",
     "update Vantrel_Channel set d_clickcount = d_clickcount + 1, d_order=(0-d_order)-3 where d_id "
     "= 1",
     "update Vantrel_Channel set d_clickcount = d_clickcount + 1, d_order=(0-d_order)-3 where d_id "
     "= 1",
     "update Vantrel_Channel set d_clickcount = d_clickcount + 1, d_order=(0-d_order)-3 where d_id "
     "= 1"},
    {"numeric columns stay numeric", "update Vantrel_ArticleClass set d_order = d_order + d_child",
     "update Vantrel_ArticleClass set d_order = d_order + d_child",
     "update Vantrel_ArticleClass set d_order = d_order + d_child"},
    {"arithmetic operand is wrapped", "select 'n' + d_order * 2 from T",
     "select 'n' || (d_order * 2) from T", "select 'n' || (d_order * 2) from T"},
    {"lcase and like",
     "select d_id from Vantrel_Article where lcase(d_uploadfiles) like '%a.jpg%' or "
     "lcase(d_picurl) like '%a.jpg%'",
     "select d_id from Vantrel_Article where lower(d_uploadfiles) like '%a.jpg%' or "
     "lower(d_picurl) like '%a.jpg%'",
     "select d_id from Vantrel_Article where lower(d_uploadfiles) ILIKE '%a.jpg%' ESCAPE '' or "
     "lower(d_picurl) ILIKE '%a.jpg%' ESCAPE ''"},
    {"like with an escape of its own, not like, a bound pattern in parentheses",
     "select d_id from T where (d_title not like ?) and d_name like 'a!%' escape '!'",
     "select d_id from T where (d_title not like ?) and d_name like 'a!%' escape '!'",
     "select d_id from T where (d_title not ILIKE ? ESCAPE '') and d_name ILIKE 'a!%' escape '!'"},
    {"ucase and len", "select ucase(d_name), len(d_name) from T",
     "select upper(d_name), length(d_name) from T", "select upper(d_name), length(d_name) from T"},
    {"count over a derived table without alias",
     "select Count(*) from (select d_id from Vantrel_Article where d_checked = true) ",
     "select Count(*) from (select d_id from Vantrel_Article where d_checked = -1)",
     "select Count(*) from (select d_id from Vantrel_Article where d_checked = -1) AS vb_dt1"},
    {"derived tables with aliases keep them",
     "select a.*, b.d_dir from (select * from A where d_id = 1) a left outer join (select "
     "d_id,d_dir from B) b on a.d_classid=b.d_id",
     "select a.*, b.d_dir from (select * from A where d_id = 1) a left outer join (select "
     "d_id,d_dir from B) b on a.d_classid=b.d_id",
     "select a.*, b.d_dir from (select * from A where d_id = 1) a left outer join (select "
     "d_id,d_dir from B) b on a.d_classid=b.d_id"},
    {"insert from a select",
     "insert into Vantrel_JS (d_channelid, d_jsname) select 12, d_jsname from Vantrel_JS where "
     "d_channelid =1",
     "insert into Vantrel_JS (d_channelid, d_jsname) select 12, d_jsname from Vantrel_JS where "
     "d_channelid =1",
     "insert into Vantrel_JS (d_channelid, d_jsname) select 12, d_jsname from Vantrel_JS where "
     "d_channelid =1"},
    {"max with alias and empty test",
     "select max(d_order) as ordernum from T where d_linkurl is null or d_linkurl = ''",
     "select max(d_order) as ordernum from T where d_linkurl is null or d_linkurl = ''",
     "select max(d_order) as ordernum from T where d_linkurl is null or d_linkurl = ''"},
    {"trailing semicolon dropped", "delete from Vantrel_Log where d_id in (1, 2);",
     "delete from Vantrel_Log where d_id in (1, 2)",
     "delete from Vantrel_Log where d_id in (1, 2)"},
    {"quotes doubled inside a literal", "select * from A where d_title = 'it''s + top 1'",
     "select * from A where d_title = 'it''s + top 1'",
     "select * from A where d_title = 'it''s + top 1'"},
};

TEST(SqlDialectTest, TranslatesEveryConstructOfThePages) {
  const SqlSchemaHints hints = Hints();
  for (const Case& c : kCases) {
    EXPECT_EQ(TranslateSql(c.input, SqlEngine::kSqlite, hints), c.sqlite) << c.name;
    EXPECT_EQ(TranslateSql(c.input, SqlEngine::kPostgres, hints), c.postgres) << c.name;
    EXPECT_EQ(TranslateSql(c.input, SqlEngine::kNone, hints), c.input) << c.name;
  }
}

TEST(SqlDialectTest, PlusWithoutSchemaKnowledgeStaysNumeric) {
  // Without hints a bare column chain cannot be known as text; literals still decide.
  EXPECT_EQ(TranslateSql("select d_dir + d_path from T", SqlEngine::kSqlite),
            "select d_dir + d_path from T");
  EXPECT_EQ(TranslateSql("select d_dir + '/' from T", SqlEngine::kSqlite),
            "select d_dir || '/' from T");
  // A parenthesised text expression makes its chain text too.
  EXPECT_EQ(TranslateSql("select (d_dir + '/') + d_path from T", SqlEngine::kSqlite),
            "select (d_dir || '/') || d_path from T");
}

TEST(SqlDialectTest, WindowAndCountForms) {
  EXPECT_EQ(TranslateWindowSql("select * from A order by d_id desc", SqlEngine::kSqlite, 40, 20),
            "select * from A order by d_id desc LIMIT 20 OFFSET 40");
  // The select's own top still bounds the window.
  EXPECT_EQ(TranslateWindowSql("select top 50 * from A order by d_id", SqlEngine::kSqlite, 40, 20),
            "select * from A order by d_id LIMIT 10 OFFSET 40");
  EXPECT_EQ(TranslateWindowSql("select top 5 * from A", SqlEngine::kSqlite, 40, 20),
            "select * from A LIMIT 0 OFFSET 40");
  EXPECT_EQ(TranslateCountSql("select * from A where d_checked = true order by d_id desc",
                              SqlEngine::kSqlite),
            "SELECT count(*) FROM (select * from A where d_checked = -1) AS vb_count");
  EXPECT_EQ(TranslateCountSql("select top 5 * from A order by d_id desc", SqlEngine::kPostgres),
            "SELECT count(*) FROM (select * from A order by d_id desc LIMIT 5) AS vb_count");
  // An ORDER BY inside a derived table is not the statement's own.
  EXPECT_EQ(TranslateCountSql("select * from (select top 2 * from A order by d_id) x",
                              SqlEngine::kSqlite),
            "SELECT count(*) FROM (select * from (select * from A order by d_id LIMIT 2) x) AS "
            "vb_count");
}

TEST(SqlDialectTest, RefusesWhatItCannotRunSafely) {
  EXPECT_THROW(TranslateSql("delete from A; delete from B", SqlEngine::kSqlite), DbError);
  EXPECT_THROW(TranslateSql("select * from A where d_title = 'open", SqlEngine::kSqlite), DbError);
  EXPECT_THROW(TranslateSql("select * from (select 1", SqlEngine::kSqlite), DbError);
  EXPECT_THROW(TranslateSql("select 1)", SqlEngine::kSqlite), DbError);
  EXPECT_THROW(TranslateSql("select datediff(x, a, b) from A", SqlEngine::kPostgres), DbError);
  EXPECT_THROW(TranslateSql("select datediff('fortnight', a, b) from A", SqlEngine::kPostgres),
               DbError);
  EXPECT_THROW(TranslateSql("select datediff('d', a) from A", SqlEngine::kSqlite), DbError);
}

TEST(SqlDialectTest, SingleTableAndLeadingKeyword) {
  EXPECT_EQ(SingleTableOf("select * from Vantrel_Article where d_id=5"), "Vantrel_Article");
  EXPECT_EQ(SingleTableOf("Select * From Vantrel_Admin Where 1 < 0"), "Vantrel_Admin");
  EXPECT_EQ(SingleTableOf("select * from Vantrel_Config"), "Vantrel_Config");
  EXPECT_EQ(SingleTableOf("select d_id, d_name from T order by d_order"), "T");
  EXPECT_EQ(SingleTableOf("select * from A, B where A.x = B.y"), "");
  EXPECT_EQ(SingleTableOf("select * from A left join B on A.x = B.y"), "");
  EXPECT_EQ(SingleTableOf("select * from (select * from A) a"), "");
  EXPECT_EQ(SingleTableOf("select d_classid, count(*) from A group by d_classid"), "");
  EXPECT_EQ(SingleTableOf("update A set x = 1"), "");
  EXPECT_EQ(LeadingKeyword("  Update A set x = 1"), "update");
  EXPECT_EQ(LeadingKeyword("(select 1)"), "select");
  EXPECT_EQ(LeadingKeyword(""), "");
}

// The target a write names, for the engines that do not say what a statement writes.
TEST(SqlDialectTest, WriteTargetOfAStatement) {
  auto target = [](std::string_view sql) {
    const WriteTarget t = WriteTargetOf(sql);
    return t.table + (t.reshapes ? " reshaped" : "");
  };
  EXPECT_EQ(target("Insert Into Vantrel_Config (d_name) values ('a')"), "Vantrel_Config");
  EXPECT_EQ(target("update public.\"vantrel_js\" set d_name = 'x'"), "vantrel_js");
  EXPECT_EQ(target("update or replace T set x = 1"), "T");
  EXPECT_EQ(target(" delete from [Vantrel_Skin] where d_id in (select 1 from Vantrel_Config)"),
            "Vantrel_Skin");
  EXPECT_EQ(target("truncate table Vantrel_Announce"), "Vantrel_Announce");
  EXPECT_EQ(target("create table if not exists Vantrel_New (d_id int)"), "Vantrel_New reshaped");
  EXPECT_EQ(target("alter table Vantrel_Config add d_x int"), "Vantrel_Config reshaped");
  EXPECT_EQ(target("drop table if exists Vantrel_Old"), "Vantrel_Old reshaped");
  EXPECT_EQ(target("create index ix on Vantrel_Config (d_id)"), "");
  EXPECT_EQ(target("select * from Vantrel_Config"), "");
  EXPECT_EQ(target("delete Vantrel_Config"), "");
  EXPECT_EQ(target("update 'unterminated"), "");
}

// The translated statements run on SQLite and give the pages' results.
class SqlDialectOnSqliteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    conn_.Open(db_.ConnectionString());
    db_.CreateSchema(conn_);
    conn_.Execute(
        "insert into Vantrel_ArticleClass (d_name, d_dir, d_path, d_rootid, d_order) "
        "values ('新闻', 'news', '1,', 1, 1)");
    conn_.Execute(
        "insert into Vantrel_ArticleClass (d_name, d_dir, d_path, d_rootid, d_pid, "
        "d_level, d_order) values ('国内', 'china', '1,2,', 1, 1, 1, 2)");
    conn_.Execute("insert into Vantrel_Keyword (d_name, d_order) values ('奥运', 1)");
    conn_.Execute("insert into Vantrel_Keyword (d_name, d_order) values ('足球', 2)");
    conn_.Execute("insert into Vantrel_Keyword (d_name, d_order) values ('Sport', 3)");
    const DateTime now = DateTime::Now();
    auto days_ago = [&now](int days) {
      return DateTime::FromSerial(std::floor(now.ToSerial()) - days + 0.5).ToStorage();
    };
    struct Row {
      const char* title;
      int classid;
      int age_days;
      bool top;
      int clicks;
      bool deleted;
    };
    const Row rows[] = {{"奥运开幕", 1, 0, false, 10, false},
                        {"足球联赛", 2, 3, true, 50, false},
                        {"sport news", 2, 10, false, 30, false},
                        {"回收的文章", 1, 1, false, 5, true},
                        {"其他", 0, 40, true, 1, false}};
    for (const Row& r : rows) {
      conn_.Execute(
          "insert into Vantrel_Article (d_title, d_classid, d_addtime, d_topflag, d_clicktimes, "
          "d_deleted) values (?, ?, ?, ?, ?, ?)",
          {Variant(r.title), Variant(r.classid), Variant(days_ago(r.age_days)), Variant(r.top),
           Variant(r.clicks), Variant(r.deleted)});
    }
  }

  std::vector<std::string> Column(const std::string& sql, const char* field) {
    Recordset rs;
    rs.Open(sql, conn_);
    std::vector<std::string> out;
    while (!rs.Eof()) {
      out.push_back(rs[field].ToString());
      rs.MoveNext();
    }
    return out;
  }

  testing::TempDatabase db_;
  Connection conn_;
};

using Strings = std::vector<std::string>;

TEST_F(SqlDialectOnSqliteTest, TopAndFlagsGiveTheListRows) {
  EXPECT_EQ(Column("select top 2 d_title from Vantrel_Article where d_deleted = false order by "
                   "d_clicktimes desc",
                   "d_title"),
            (Strings{"足球联赛", "sport news"}));
  // Flags are -1/0, so "order by d_topflag" puts the top articles first.
  EXPECT_EQ(Column("select d_title from Vantrel_Article where d_deleted = false order by "
                   "d_topflag, d_id desc",
                   "d_title"),
            (Strings{"其他", "足球联赛", "sport news", "奥运开幕"}));
  EXPECT_EQ(Column("select a.d_title, b.d_dir from (select top 2 * from Vantrel_Article where "
                   "d_deleted = false and d_classid > 0 order by d_id) a left outer join (select "
                   "d_id,d_dir, d_name from Vantrel_ArticleClass) b on a.d_classid=b.d_id "
                   "order by a.d_id desc",
                   "d_dir"),
            (Strings{"china", "news"}));
  EXPECT_EQ(Column("Select  top 1 d_id, d_title from Vantrel_Article where d_id < 3 and "
                   "d_deleted = false order by d_id desc",
                   "d_title"),
            (Strings{"足球联赛"}));
  EXPECT_EQ(conn_
                .ExecuteScalar("select Count(*) from (select d_id from Vantrel_Article where "
                               "d_topflag = true) ")
                .ToInt64(),
            2);
}

TEST_F(SqlDialectOnSqliteTest, DateDiffToNowSelectsTheNewArticles) {
  EXPECT_EQ(Column("select d_title from Vantrel_Article where d_deleted = false and "
                   "datediff('y', d_addtime, now) <= 3 order by d_id",
                   "d_title"),
            (Strings{"奥运开幕", "足球联赛"}));
  Recordset rs;
  rs.Open("select datediff('d', d_addtime, now()) as age from Vantrel_Article order by d_id",
          conn_);
  EXPECT_EQ(rs["age"].ToInt64(), 0);
  rs.MoveNext();
  EXPECT_EQ(rs["age"].ToInt64(), 3);
}

TEST_F(SqlDialectOnSqliteTest, PlusJoinsTextAndAddsNumbers) {
  // The related-articles query through the keyword library.
  EXPECT_EQ(Column("select c.d_title from Vantrel_Article c,(select d_name from Vantrel_Keyword "
                   "where '北京奥运会足球赛' like '%'+d_name+'%' and d_channelid = 1) d where "
                   "c.d_title like '%'+d.d_name+'%' and c.d_id <> 99 order by c.d_id",
                   "d_title"),
            (Strings{"奥运开幕", "足球联赛"}));
  // Text compares without regard to case.
  EXPECT_EQ(Column("select d_name from Vantrel_Keyword where 'SPORTS PAGE' like '%'+d_name+'%'",
                   "d_name"),
            (Strings{"Sport"}));
  EXPECT_EQ(conn_.Execute("update Vantrel_ArticleClass set d_path = (cstr(d_rootid) + ',' + "
                          "cstr(d_id) + ',') where d_rootid = 1 and d_level <> 0"),
            1);
  EXPECT_EQ(Column("select d_path from Vantrel_ArticleClass where d_id = 2", "d_path"),
            (Strings{"1,2,"}));
  conn_.Execute("update Vantrel_ArticleClass set d_path = '9,' + mid(d_path, 3) where d_id = 2");
  EXPECT_EQ(Column("select d_path from Vantrel_ArticleClass where d_id = 2", "d_path"),
            (Strings{"9,2,"}));
  conn_.Execute("update Vantrel_ArticleClass set d_path = d_dir + d_path where d_id = 1");
  EXPECT_EQ(Column("select d_path from Vantrel_ArticleClass where d_id = 1", "d_path"),
            (Strings{"news1,"}));
  conn_.Execute("update Vantrel_Article set d_clicktimes = d_clicktimes + 1 where d_id = 1");
  EXPECT_EQ(
      conn_.ExecuteScalar("select d_clicktimes from Vantrel_Article where d_id = 1").ToInt64(), 11);
  EXPECT_EQ(Column("select d_id from Vantrel_Article where lcase(d_title) like '%sport%'", "d_id"),
            (Strings{"3"}));
}

}  // namespace
}  // namespace folirex
