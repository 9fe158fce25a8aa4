// The JS snippet and navigation menu pages of the console on both database forms, through
// `folirex serve`: snippets saved with their files, a file name taken without regard to case,
// an update and a delete; the menu built from custom items and the class tree, moved, pruned
// and written as the channel's menu file. Every case runs on SQLite; on PostgreSQL when
// ./test.sh has started its cluster.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "pg_test_support.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/text/codepage.h"

namespace folirex::testing {
namespace {

namespace fsys = std::filesystem;

enum class Engine { kSqlite, kPostgres };

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class PublishingPagesTest : public ::testing::TestWithParam<Engine> {
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
  std::string Value(const std::string& sql) {
    Connection conn;
    conn.Open(ConnectionString());
    return conn.ExecuteScalar(sql).ToString();
  }
  void Exec(const std::string& sql) {
    Connection conn;
    conn.Open(ConnectionString());
    conn.Execute(sql);
  }
  std::string Done(const std::string& path,
                   const std::vector<std::pair<std::string, std::string>>& form) {
    return site_->Post(path, form).text;
  }
  std::string FileText(const std::string& relative) {
    std::ifstream in(dir_ / relative, std::ios::binary);
    return GbkToUtf8(std::string(std::istreambuf_iterator<char>(in), {}));
  }

  PgServer pg_ = PgServer::FromEnvironment();
  std::unique_ptr<PgDatabase> db_;
  TempFolder folder_;
  fsys::path dir_ = folder_.path() / "site";
  std::unique_ptr<ServedSite> site_;
};

TEST_P(PublishingPagesTest, SnippetsAndMenuWrittenChangedAndDeleted) {
  Exec(
      "insert into Vantrel_ArticleClass (d_id, d_channelid, d_name, d_dir, d_rootid, d_pid, "
      "d_level, d_path, d_child, d_order) values (50, 1, '国内', 'china', 50, 0, 0, '50,', 1, 1), "
      "(51, 1, '北京', 'beijing', 50, 50, 1, '50,51,', 0, 2)");

  const std::string js = "/admin.asp?m=admin_articlejs&channelid=1&action=";
  EXPECT_TRUE(Has(Done(js + "save&flag=3", {{"d_jsname", "导航"}, {"d_filename", "Navi"}}),
                  "新增信息成功！"));
  EXPECT_TRUE(Has(FileText("Article/Js/Navi.js"), "北京"));
  EXPECT_TRUE(Has(Done(js + "save&flag=2", {{"d_jsname", "重名"}, {"d_filename", "NAVI"}}),
                  "提示：文件NAVI.js已经存在！"));
  const std::string id = Value("select d_id from Vantrel_JS where d_filename = 'Navi.js'");
  EXPECT_TRUE(Has(Done(js + "update&flag=5&id=" + id,
                       {{"d_jsname", "专题"}, {"d_filename", "subjects"}, {"d_cols", "2"}}),
                  "修改信息成功！"));
  EXPECT_FALSE(fsys::exists(dir_ / "Article/Js/Navi.js"));
  EXPECT_TRUE(fsys::exists(dir_ / "Article/Js/subjects.js"));
  EXPECT_TRUE(Has(Done(js + "del", {{"checkid", id}}), "删除成功！"));
  EXPECT_FALSE(fsys::exists(dir_ / "Article/Js/subjects.js"));
  EXPECT_EQ(Value("select count(*) from Vantrel_JS"), "0");

  const std::string navi = "/admin.asp?m=admin_articlenavi&channelid=1&action=";
  EXPECT_TRUE(Has(Done(navi + "save", {{"d_pid", "0"}, {"d_name", "帮助"}, {"d_openflag", "0"}}),
                  "新增信息成功！"));
  const std::string help = Value("select d_id from Vantrel_NaviMenu where d_name = '帮助'");
  EXPECT_TRUE(Has(
      Done(navi + "save",
           {{"d_pid", help}, {"d_name", "联系"}, {"d_openflag", "1"}, {"d_linkurl", "/c.html"}}),
      "新增信息成功！"));
  EXPECT_TRUE(Has(Done(navi + "import", {}), "导入分类数据成功！"));
  const std::string home = Value("select d_id from Vantrel_NaviMenu where d_name = '首 页'");
  EXPECT_TRUE(Has(Done(navi + "up&id=" + home, {}), "排序移动操作成功！"));
  EXPECT_TRUE(Has(Done(navi + "del&id=" + help, {}), "删除菜单成功！"));
  Connection conn;
  conn.Open(ConnectionString());
  std::string tree;
  Recordset rs;
  rs.Open("select d_name, d_level, d_order, d_child from Vantrel_NaviMenu order by d_order", conn,
          0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    tree += rs["d_order"].ToString() + ":" + rs["d_name"].ToString() + ":" +
            rs["d_level"].ToString() + ":" + rs["d_child"].ToString() + " ";
  }
  rs.Close();
  EXPECT_EQ(tree, "1:首 页:0:0 2:国内:0:1 3:北京:1:0 ");
  EXPECT_TRUE(Has(Done(navi + "js", {}), "生成成功！"));
  EXPECT_EQ(
      FileText("Article/Js/default.js"),
      "document.write(\"<ul id='menu' style='display:none'><li><a href='/asp.asp?channelid=1' "
      ">首 页</a></li><li><a href='/asp.asp?m=classlist&amp;classid=50&amp;channelid=1&amp;' "
      ">国内</a><ul><li><a href='/asp.asp?m=classlist&amp;classid=51&amp;channelid=1&amp;' "
      ">北京</a></li></ul></li></ul>\");\r\n");
}

INSTANTIATE_TEST_SUITE_P(BothDatabaseForms, PublishingPagesTest,
                         ::testing::Values(Engine::kSqlite, Engine::kPostgres),
                         [](const ::testing::TestParamInfo<Engine>& info) {
                           return info.param == Engine::kSqlite ? std::string("Sqlite")
                                                                : std::string("Postgres");
                         });

}  // namespace
}  // namespace folirex::testing
