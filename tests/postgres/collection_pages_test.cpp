// The collection pages on both database forms: a project run step by step through the served
// site (list step, content steps, the log list and the project list) stores the same rows, the
// same article and the same counters on a SQLite file and on PostgreSQL.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "pg_test_support.h"
#include "platform/db/connection.h"
#include "platform/text/codepage.h"
#include "support/http_test_server.h"

namespace folirex::testing {
namespace {

enum class Engine { kSqlite, kPostgres };

class CollectionPagesTest : public ::testing::TestWithParam<Engine> {
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

    httplib::Server& s = remote_.server();
    s.Get("/list/index.htm", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(Utf8ToGbk("<!--list--><a href=\"a1.htm\">1</a><a href=\"a2.htm\">2</a>"
                                "<!--/list-->"),
                      "text/html");
    });
    for (const char* name : {"a1", "a2"}) {
      std::string title = std::string("标题") + name;
      s.Get("/list/" + std::string(name) + ".htm",
            [title](const httplib::Request&, httplib::Response& res) {
              res.set_content(Utf8ToGbk("<h1>" + title + "</h1><div>内容'" + title + "</div>"),
                              "text/html");
            });
    }
    remote_.Start();
  }

  std::string ConnectionString() const {
    if (db_) return db_->ConnectionString();
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + (dir_ / "data/site.db").string() + ";";
  }
  void Exec(const std::string& sql, const std::vector<Variant>& params = {}) {
    Connection conn;
    conn.Open(ConnectionString());
    conn.Execute(sql, params);
  }
  std::string Value(const std::string& sql) {
    Connection conn;
    conn.Open(ConnectionString());
    return conn.ExecuteScalar(sql).ToString();
  }

  PgServer pg_ = PgServer::FromEnvironment();
  std::unique_ptr<PgDatabase> db_;
  TempFolder folder_;
  std::filesystem::path dir_ = folder_.path() / "site";
  std::unique_ptr<ServedSite> site_;
  HttpTestServer remote_;
};

TEST_P(CollectionPagesTest, AProjectIsCollectedStepByStep) {
  Exec(
      "insert into Vantrel_CollectProject (D_ChannelID, D_Name, D_PageUrl, D_FirstDiff, "
      "D_FirstFileName, D_PageHeader, D_PageFooter, D_IDUrl, D_Header, D_Footer, D_Title1, "
      "D_Title2, D_Content1, D_Content2, D_DoFlag, D_CheckFlag) values (1, ?, ?, 1, "
      "'index.htm', '<!--list-->', '<!--/list-->', 'a{id}.htm', '<h1>', '</div>', '', '</h1>', "
      "'<div>', '', 0, 1)",
      {Variant("项目"), Variant(remote_.Url("/list/{page}.htm"))});
  std::string project = Value("select max(D_ID) from Vantrel_CollectProject");
  const std::string base = "/admin.asp?m=admin_articlecollect&channelid=1";
  HttpAnswer batch =
      site_->Post(base + "&action=dochecknew", {{"d_projectid", project}, {"d_option", "all"}});
  size_t at = batch.text.find("&token=");
  ASSERT_NE(at, std::string::npos) << batch.text;
  std::string token = batch.text.substr(at + 7, 32);

  HttpAnswer list = site_->Get(base + "&action=gettinglist&projectid=" + project +
                               "&projectpage=1&doflag=all&token=" + token);
  EXPECT_NE(list.text.find("成功(有2个新的需要获取的内容资料)',true"), std::string::npos)
      << list.text;
  EXPECT_EQ(Value("select count(*) from Vantrel_CollectLog where d_projectid = " + project), "2");
  for (const char* url : {"a1.htm", "a2.htm"}) {
    std::string id = Value("select d_id from Vantrel_CollectLog where d_url = '" +
                           remote_.Url(std::string("/list/") + url) + "'");
    EXPECT_NE(site_->Get(base + "&action=gettingcontent&dataid=" + id + "&token=" + token)
                  .text.find("成功：新增"),
              std::string::npos);
  }
  EXPECT_EQ(Value("select d_content from Vantrel_Article where d_title = '标题a1'"), "内容'标题a1");
  EXPECT_EQ(Value("select d_itemcount from Vantrel_Channel where d_id = 1"), "2");
  EXPECT_EQ(Value("select d_itemcountchecked from Vantrel_Channel where d_id = 1"), "2");
  EXPECT_EQ(Value("select count(*) from Vantrel_CollectLog where d_flag = 1"), "2");

  HttpAnswer log = site_->Get(base + "&sp_title=a2&sp_flag=1");
  EXPECT_NE(log.text.find("标题a2"), std::string::npos);
  EXPECT_EQ(log.text.find("标题a1"), std::string::npos);
  HttpAnswer projects =
      site_->Get("/admin.asp?m=admin_articlecollectset&channelid=1&sp_name=" + GbkUrlEncode("项"));
  EXPECT_NE(projects.text.find(remote_.Url("/list/index.htm")), std::string::npos) << projects.text;
}

INSTANTIATE_TEST_SUITE_P(Engines, CollectionPagesTest,
                         ::testing::Values(Engine::kSqlite, Engine::kPostgres),
                         [](const ::testing::TestParamInfo<Engine>& info) {
                           return info.param == Engine::kSqlite ? std::string("Sqlite")
                                                                : std::string("Postgres");
                         });

}  // namespace
}  // namespace folirex::testing
