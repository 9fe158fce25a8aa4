// The settings, announcement and advertisement pages on both database forms: the settings saved
// into the one configuration row with its logo script, an announcement added and flagged, an
// advertisement added and written as its script. Every case runs on SQLite; on PostgreSQL when
// ./test.sh has started its cluster.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pg_test_support.h"
#include "platform/db/connection.h"
#include "platform/fs/site_path.h"
#include "platform/text/codepage.h"

namespace folirex::testing {
namespace {

namespace fsys = std::filesystem;

enum class Engine { kSqlite, kPostgres };

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class SettingsPagesTest : public ::testing::TestWithParam<Engine> {
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
  std::string Done(const std::string& path,
                   const std::vector<std::pair<std::string, std::string>>& form) {
    return site_->Post(path, form).text;
  }
  std::string FileText(const std::string& relative) {
    // Letter case ignored, as the server looks addresses up ("Js/" is the site's "js" folder).
    std::optional<fsys::path> path = fs::ResolveInside(dir_, relative);
    if (!path) return "";
    std::ifstream in(*path, std::ios::binary);
    return GbkToUtf8(std::string(std::istreambuf_iterator<char>(in), {}));
  }

  PgServer pg_ = PgServer::FromEnvironment();
  std::unique_ptr<PgDatabase> db_;
  TempFolder folder_;
  fsys::path dir_ = folder_.path() / "site";
  std::unique_ptr<ServedSite> site_;
};

TEST_P(SettingsPagesTest, SettingsAnnouncementsAndAdvertisementsAreStored) {
  const std::string id = Value("select d_ID from Vantrel_Config");
  const std::string home = Value("select d_templatepageid from Vantrel_Config");
  std::string saved =
      Done("/admin.asp?m=admin_set&action=edit&id=" + id, {{"d_name", "新站"},
                                                           {"d_selectedmailflag", "2"},
                                                           {"d_mailserver", "127.0.0.1:25"},
                                                           {"d_mailuser", "site@example.com"},
                                                           {"d_mailpassword", "pw"},
                                                           {"d_showadminlink", "1"},
                                                           {"d_installdir", "/"},
                                                           {"d_defaultfileext", "0"},
                                                           {"d_templatepageid", home},
                                                           {"d_logo", "/images/logo.gif"}});
  EXPECT_TRUE(Has(saved, "修改成功")) << saved;
  EXPECT_EQ(Value("select count(*) from Vantrel_Config"), "1");
  EXPECT_EQ(Value("select d_name from Vantrel_Config"), "新站");
  EXPECT_EQ(Value("select count(*) from Vantrel_Config where d_showadminlink = true"), "1");
  EXPECT_TRUE(Has(FileText("Js/ShowLogo.js"), "<img src='/images/logo.gif' border=0 width='160'"));

  EXPECT_TRUE(Has(Done("/admin.asp?m=admin_announce&action=save",
                       {{"d_title", "通知"}, {"d_channelid", "1"}, {"d_content", "<p>正文</p>"}}),
                  "新增信息成功！"));
  std::string notice = Value("select max(d_id) from Vantrel_Announce");
  EXPECT_TRUE(
      Has(Done("/admin.asp?m=admin_announce&action=setnew", {{"checkid", notice}}), "操作成功！"));
  EXPECT_EQ(Value("select count(*) from Vantrel_Announce where d_selectedflag = true"), "1");

  EXPECT_TRUE(Has(Done("/admin.asp?m=admin_ad&action=addsave",
                       {{"d_code", "side"}, {"d_type", "2"}, {"d_text", "文字"}, {"d_url", ""}}),
                  "广告增加保存成功！"));
  EXPECT_TRUE(
      Has(Done("/admin.asp?m=admin_ad&action=addsave", {{"d_code", "SIDE"}, {"d_type", "0"}}),
          "已被其他广告使用"));
  EXPECT_TRUE(Has(Done("/admin.asp?m=admin_ad&action=js", {}), "前台JS文件生成成功！"));
  // js/ad is found inside the Js folder the settings save made: folder names match without
  // regard to letter case, as the site's addresses do.
  EXPECT_EQ(FileText("Js/ad/side.js"), "document.write(\"文字\");\r\n");
  EXPECT_EQ(site_->Get("/js/ad/side.js").status, 200);
}

INSTANTIATE_TEST_SUITE_P(BothDatabaseForms, SettingsPagesTest,
                         ::testing::Values(Engine::kSqlite, Engine::kPostgres),
                         [](const ::testing::TestParamInfo<Engine>& info) {
                           return info.param == Engine::kSqlite ? std::string("Sqlite")
                                                                : std::string("Postgres");
                         });

}  // namespace
}  // namespace folirex::testing
