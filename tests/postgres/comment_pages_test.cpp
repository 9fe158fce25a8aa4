// Comment moderation on both database forms, through `folirex serve`: public comments stored
// with their class, found by the class and approval filters, approved, answered and deleted with
// the channel's counter kept. Every case runs on SQLite; on PostgreSQL when ./test.sh has started
// its cluster.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "pg_test_support.h"
#include "platform/db/connection.h"

namespace folirex::testing {
namespace {

namespace fsys = std::filesystem;

enum class Engine { kSqlite, kPostgres };

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class CommentPagesTest : public ::testing::TestWithParam<Engine> {
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
  Variant Value(const std::string& sql) {
    Connection conn;
    conn.Open(ConnectionString());
    return conn.ExecuteScalar(sql);
  }
  void Exec(const std::string& sql, const std::vector<Variant>& params) {
    Connection conn;
    conn.Open(ConnectionString());
    conn.Execute(sql, params);
  }
  std::string Counter() {
    return Value("select d_commentcount from Vantrel_Channel where d_id = 1").ToString() + "/" +
           Value("select count(*) from Vantrel_ArticleComment where d_channelid = 1").ToString();
  }

  PgServer pg_ = PgServer::FromEnvironment();
  std::unique_ptr<PgDatabase> db_;
  TempFolder folder_;
  fsys::path dir_ = folder_.path() / "site";
  std::unique_ptr<ServedSite> site_;
};

TEST_P(CommentPagesTest, ModeratedWithTheCounterKept) {
  Exec(
      "insert into Vantrel_ArticleClass (d_channelid, d_pid, d_name, d_commentflag, "
      "d_commentcheckflag, d_path, d_order, d_level, d_rootid) values (1, 0, ?, true, true, '', "
      "1, 0, 0)",
      {Variant("评论分类")});
  std::string class_id = Value("select max(d_id) from Vantrel_ArticleClass").ToString();
  Exec(
      "insert into Vantrel_Article (d_channelid, d_classid, d_title, d_content, d_checked, "
      "d_deleted, d_picurl) values (1, ?, ?, ?, true, false, '')",
      {Variant(std::stoll(class_id)), Variant("文章"), Variant("正文")});
  std::string article = Value("select max(d_id) from Vantrel_Article").ToString();

  HttpAnswer posted =
      site_->Post("/asp.asp?m=comment&flag=1&articleid=" + article + "&channelid=1",
                  {{"d_name", "reader"}, {"d_score", "5"}, {"d_content", "first comment"}});
  ASSERT_TRUE(Has(posted.text, "评论成功")) << posted.text;
  site_->Post("/asp.asp?m=comment&flag=1&articleid=" + article + "&channelid=1",
              {{"d_name", "reader"}, {"d_score", "4"}, {"d_content", "second comment"}});
  EXPECT_EQ(
      Value("select count(*) from Vantrel_ArticleComment where d_classid = " + class_id).ToInt64(),
      2);
  EXPECT_EQ(Counter(), "2/2");

  const std::string page = "/admin.asp?m=admin_articlecomment&channelid=1";
  std::string listed = site_->Get(page + "&qclass=" + class_id + "&qcheckstate=false").text;
  EXPECT_TRUE(Has(listed, "first comment"));
  EXPECT_TRUE(Has(listed, "second comment"));
  std::string first =
      Value("select min(d_id) from Vantrel_ArticleComment where d_channelid = 1").ToString();
  EXPECT_TRUE(
      Has(site_->Post(page + "&action=check", {{"selectdel", first}}).text, "审核信息成功！"));
  EXPECT_FALSE(Has(site_->Get(page + "&qcheckstate=false").text, "first comment"));
  EXPECT_TRUE(Has(site_->Post(page + "&action=save&id=" + first, {{"d_reply", "thanks"}}).text,
                  "回复信息成功！"));
  EXPECT_EQ(Value("select d_reply from Vantrel_ArticleComment where d_id = " + first).ToString(),
            "thanks");
  EXPECT_TRUE(
      Has(site_->Post(page + "&action=del", {{"selectdel", first}}).text, "删除信息成功！"));
  EXPECT_EQ(Counter(), "1/1");
  EXPECT_TRUE(Has(site_->Post(page + "&action=empty", {}).text, "清空信息成功！"));
  EXPECT_EQ(Counter(), "0/0");
}

INSTANTIATE_TEST_SUITE_P(BothDatabaseForms, CommentPagesTest,
                         ::testing::Values(Engine::kSqlite, Engine::kPostgres),
                         [](const ::testing::TestParamInfo<Engine>& info) {
                           return info.param == Engine::kSqlite ? std::string("Sqlite")
                                                                : std::string("Postgres");
                         });

}  // namespace
}  // namespace folirex::testing
