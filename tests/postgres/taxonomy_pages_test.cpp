// The subject and keyword pages on both database forms: a site made by `folirex init` (a SQLite
// file, or an empty PostgreSQL database through ODBC) and served by `folirex serve`. Their
// statements (bound numbers and texts, "top 1" moves, counters lowered by a bound count, the
// renumbering) give the same rows on both.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "pg_test_support.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"

namespace folirex::testing {
namespace {

enum class Engine { kSqlite, kPostgres };

class TaxonomyPagesTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    std::vector<std::string> args = {"init", dir_.string()};
    if (GetParam() == Engine::kPostgres) {
      FOLIREX_REQUIRE_POSTGRES(pg_);
      db_ = std::make_unique<PgDatabase>(pg_);
      for (const std::string& a :
           {std::string("--DbType"), std::string("1"), std::string("--DBServer"), pg_.server,
            std::string("--DBPath"), db_->name(), std::string("--DBUser"), pg_.user,
            std::string("--DBPwd"), pg_.password}) {
        args.push_back(a);
      }
    }
    ProgramRun init = RunFolirex(args);
    ASSERT_EQ(init.code, 0) << init.output;
    site_ = std::make_unique<ServedSite>(dir_);
    ASSERT_TRUE(site_->SignIn("admin", PrintedPassword(init.output)));
  }

  std::string ConnectionString() const {
    if (db_) return db_->ConnectionString();
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + (dir_ / "data/site.db").string() + ";";
  }
  void Exec(const std::string& sql) {
    Connection conn;
    conn.Open(ConnectionString());
    conn.Execute(sql);
  }
  std::string Value(const std::string& sql) {
    Connection conn;
    conn.Open(ConnectionString());
    return conn.ExecuteScalar(sql).ToString();
  }
  // "name:order" of a table's rows of channel 1, by order.
  std::string Orders(const std::string& table) {
    Connection conn;
    conn.Open(ConnectionString());
    Recordset rs;
    rs.Open("select d_name, d_order from " + table + " where d_channelid = 1 order by d_order",
            conn, 0, 1);
    std::string out;
    for (; !rs.Eof(); rs.MoveNext()) {
      out += (out.empty() ? "" : ",") + rs["d_name"].ToString() + ":" + rs["d_order"].ToString();
    }
    return out;
  }
  HttpAnswer Post(const std::string& page, const std::string& query,
                  const std::vector<std::pair<std::string, std::string>>& form) {
    return site_->Post("/admin.asp?m=" + page + "&channelid=1&action=" + query, form);
  }

  PgServer pg_ = PgServer::FromEnvironment();
  std::unique_ptr<PgDatabase> db_;
  TempFolder folder_;
  std::filesystem::path dir_ = folder_.path() / "site";
  std::unique_ptr<ServedSite> site_;
};

TEST_P(TaxonomyPagesTest, KeywordsAreAddedMovedRenamedAndDeleted) {
  for (const char* name : {"a", "b", "c"}) {
    ASSERT_NE(Post("admin_articlekeyword", "save", {{"d_name", name}}).text.find("新增信息成功"),
              std::string::npos);
  }
  EXPECT_EQ(Orders("Vantrel_Keyword"), "a:1,b:2,c:3");
  std::string a = Value("select d_id from Vantrel_Keyword where d_name = 'a'");
  Post("admin_articlekeyword", "down&order=1&id=" + a, {});
  EXPECT_EQ(Orders("Vantrel_Keyword"), "b:1,a:2,c:3");

  Exec("insert into Vantrel_Article (d_channelid, d_title, d_keyword) values (1, 't', '|a|')");
  Exec("insert into Vantrel_Article (d_channelid, d_title, d_keyword) values (1, 't', '|a|b|')");
  Post("admin_articlekeyword", "update&id=" + a, {{"d_name", "100%"}});
  EXPECT_EQ(Value("select count(*) from Vantrel_Article where d_keyword = '|100%|'"), "1");
  EXPECT_EQ(Value("select count(*) from Vantrel_Article where d_keyword = '|a|b|'"), "1");

  std::string b = Value("select d_id from Vantrel_Keyword where d_name = 'b'");
  Post("admin_articlekeyword", "del", {{"checkid", b}});
  EXPECT_EQ(Orders("Vantrel_Keyword"), "100%:1,c:2");
}

TEST_P(TaxonomyPagesTest, SubjectsAreSavedMovedMergedAndDeletedWithTheirCount) {
  for (const char* name : {"x", "y", "z"}) {
    HttpAnswer saved = Post("admin_articlesubject", "save",
                            {{"d_name", name}, {"d_dir", name}, {"d_pagenum", "10"}});
    ASSERT_NE(saved.text.find("新增信息成功"), std::string::npos) << saved.text;
  }
  EXPECT_EQ(Value("select d_subjectcount from Vantrel_Channel where d_id = 1"), "3");
  std::string x = Value("select d_id from Vantrel_ArticleSubject where d_name = 'x'");
  std::string z = Value("select d_id from Vantrel_ArticleSubject where d_name = 'z'");
  Post("admin_articlesubject", "down&order=1&id=" + x, {});
  EXPECT_EQ(Orders("Vantrel_ArticleSubject"), "y:1,x:2,z:3");

  Exec("insert into Vantrel_Article (d_channelid, d_title, d_subjectid) values (1, 't', " + x +
       ")");
  HttpAnswer merged = Post("admin_articlesubject", "savejoin", {{"d_fromid", x}, {"d_toid", z}});
  EXPECT_NE(merged.text.find("专题合并成功"), std::string::npos) << merged.text;
  EXPECT_EQ(Orders("Vantrel_ArticleSubject"), "y:1,z:2");
  EXPECT_EQ(Value("select d_subjectid from Vantrel_Article where d_title = 't'"), z);
  EXPECT_EQ(Value("select d_subjectcount from Vantrel_Channel where d_id = 1"), "2");

  Post("admin_articlesubject", "del", {{"checkid", z}});
  EXPECT_EQ(Orders("Vantrel_ArticleSubject"), "y:1");
  EXPECT_EQ(Value("select d_subjectid from Vantrel_Article where d_title = 't'"), "0");
  EXPECT_EQ(Value("select d_subjectcount from Vantrel_Channel where d_id = 1"), "1");
}

INSTANTIATE_TEST_SUITE_P(BothDatabaseForms, TaxonomyPagesTest,
                         ::testing::Values(Engine::kSqlite, Engine::kPostgres),
                         [](const ::testing::TestParamInfo<Engine>& info) {
                           return info.param == Engine::kSqlite ? std::string("Sqlite")
                                                                : std::string("Postgres");
                         });

}  // namespace
}  // namespace folirex::testing
