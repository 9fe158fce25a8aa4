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

#include "both_forms_site.h"
#include "platform/db/connection.h"
#include "platform/fs/site_path.h"
#include "platform/text/codepage.h"

namespace folirex::testing {
namespace {

namespace fsys = std::filesystem;

class SettingsPagesTest : public BothFormsSiteTest {
 protected:
  std::string FileText(const std::string& relative) {
    // Letter case ignored, as the server looks addresses up ("Js/" is the site's "js" folder).
    std::optional<fsys::path> path = fs::ResolveInside(dir_, relative);
    if (!path) return "";
    std::ifstream in(*path, std::ios::binary);
    return GbkToUtf8(std::string(std::istreambuf_iterator<char>(in), {}));
  }
};

TEST_P(SettingsPagesTest, SettingsAnnouncementsAndAdvertisementsAreStored) {
  const std::string id = ValueText("select d_ID from Vantrel_Config");
  const std::string home = ValueText("select d_templatepageid from Vantrel_Config");
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
  EXPECT_EQ(ValueText("select count(*) from Vantrel_Config"), "1");
  EXPECT_EQ(ValueText("select d_name from Vantrel_Config"), "新站");
  EXPECT_EQ(ValueText("select count(*) from Vantrel_Config where d_showadminlink = true"), "1");
  EXPECT_TRUE(Has(FileText("Js/ShowLogo.js"), "<img src='/images/logo.gif' border=0 width='160'"));

  EXPECT_TRUE(Has(Done("/admin.asp?m=admin_announce&action=save",
                       {{"d_title", "通知"}, {"d_channelid", "1"}, {"d_content", "<p>正文</p>"}}),
                  "新增信息成功！"));
  std::string notice = ValueText("select max(d_id) from Vantrel_Announce");
  EXPECT_TRUE(
      Has(Done("/admin.asp?m=admin_announce&action=setnew", {{"checkid", notice}}), "操作成功！"));
  EXPECT_EQ(ValueText("select count(*) from Vantrel_Announce where d_selectedflag = true"), "1");

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

FOLIREX_BOTH_DATABASE_FORMS(BothDatabaseForms, SettingsPagesTest);

}  // namespace
}  // namespace folirex::testing
