// A channel's life on both database forms, on a site made by `folirex init` and served by
// `folirex serve`: init writes the bar of the shipped channel; a channel is created (id 11, the
// module's rows copied), moved to another folder and deleted. Runs on SQLite always and on
// PostgreSQL when ./test.sh has started its cluster.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/db/connection.h"
#include "postgres/both_forms_site.h"

namespace folirex::testing {
namespace {

namespace fsys = std::filesystem;

class ChannelEnginesTest : public BothFormsSiteTest {
 protected:
  ChannelEnginesTest() : BothFormsSiteTest(Console::kSignedOut) {}

  std::string FileText(const std::string& relative) {
    std::ifstream in(dir_ / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_P(ChannelEnginesTest, CreateMoveAndDeleteAChannel) {
  // One shipped channel: its bar is an empty file, served rather than missing.
  ASSERT_TRUE(fsys::exists(dir_ / "js/ShowChannelMenu.js"));
  EXPECT_EQ(site_->Get("/js/ShowChannelMenu.js").status, 200);
  EXPECT_EQ(FileText("js/ShowChannelMenu.js"), "");

  ASSERT_TRUE(site_->SignIn("admin", password_));
  std::vector<std::pair<std::string, std::string>> form = {
      {"d_channelname", "体育"}, {"d_channeltype", "1"},    {"d_moduletype", "1"},
      {"d_channeldir", "Sport"}, {"d_projectname", "赛事"}, {"d_templateid", "1"},
      {"d_uploadflag", "1"},     {"d_uploaddir", "up"},     {"d_groupnum", "x"}};
  HttpAnswer created = site_->Post("/admin.asp?m=admin_channel&action=save", form);
  ASSERT_NE(created.text.find("新增信息成功！"), std::string::npos) << created.text;
  EXPECT_EQ(ValueText("select d_channeldir from Vantrel_Channel where d_id = 11"), "sport");
  EXPECT_EQ(ValueText("select d_groupnum from Vantrel_Channel where d_id = 11"), "30");
  EXPECT_EQ(ValueText("select count(*) from Vantrel_MenuSet where d_channelid = 11"),
            ValueText("select count(*) from Vantrel_MenuSet where d_channelid = 1"));
  EXPECT_EQ(ValueText("select count(*) from Vantrel_TemplatePage where d_channelid = 11"),
            ValueText("select count(*) from Vantrel_TemplatePage where d_channelid = 1"));
  EXPECT_EQ(ValueText("select d_templateid from Vantrel_Channel where d_id = 11"),
            ValueText("select d_id from Vantrel_Template where d_channelid = 11"));
  EXPECT_NE(FileText("js/ShowChannelMenu.js").find("asp.asp?channelid=11"), std::string::npos);
  // The new channel's first page is drawn with its own copied design.
  HttpAnswer first = site_->Get("/asp.asp?channelid=11");
  EXPECT_EQ(first.status, 200);
  EXPECT_NE(first.text.find("体育"), std::string::npos);
  const std::string skin = ValueText("select d_id from Vantrel_Skin where d_channelid = 11");
  EXPECT_NE(first.text.find("sport/Skin/" + skin + ".css"), std::string::npos) << first.text;

  std::ofstream(dir_ / "sport/up/a.jpg") << "jpg";
  form = {{"d_channelname", "体育"}, {"d_channeldir", "Games"}, {"d_projectname", "比赛"},
          {"d_uploadflag", "1"},     {"d_uploaddir", "up"},     {"d_maxfilesize", "10"},
          {"d_clicksofhot", "5"},    {"d_daysofnew", "2"}};
  HttpAnswer updated =
      site_->Post("/admin.asp?m=admin_channel&action=update&id=11&channeltype=1", form);
  ASSERT_NE(updated.text.find("修改信息成功！"), std::string::npos) << updated.text;
  EXPECT_TRUE(fsys::exists(dir_ / "Games/up/a.jpg"));
  EXPECT_FALSE(fsys::exists(dir_ / "sport"));
  EXPECT_EQ(ValueText("select count(*) from Vantrel_MenuSet where d_channelid = 11 and d_name = "
                      "'比赛管理'"),
            "1");

  // A class of channel 1 drawn with the new channel's list page, offered by the class form.
  const std::string list_page = ValueText(
      "select d_id from Vantrel_TemplatePage where d_channelid = 11 and d_type = 'classlist'");
  EXPECT_NE(
      site_->Get("/admin.asp?m=admin_articleclass&channelid=1&action=add")
          .text.find("<option value=\"" + list_page + "\">分类列表页（默认）（体育）</option>"),
      std::string::npos);
  Exec(
      "insert into Vantrel_ArticleClass (d_channelid, d_name, d_dir, d_templatepageid, d_path) "
      "values (1, '甲', 'a', " +
      list_page + ", '')");
  const std::string class_id = ValueText("select max(d_id) from Vantrel_ArticleClass");

  HttpAnswer deleted = site_->Post("/admin.asp?m=admin_channel&action=del", {{"selectdel", "11"}});
  ASSERT_NE(deleted.text.find("删除频道成功！"), std::string::npos) << deleted.text;
  EXPECT_FALSE(fsys::exists(dir_ / "Games"));
  EXPECT_EQ(ValueText("select count(*) from Vantrel_TemplatePage where d_channelid = 11"), "0");
  // The class takes the shipped list page and its list is drawn whole.
  EXPECT_EQ(ValueText("select d_templatepageid from Vantrel_ArticleClass where d_id = " + class_id),
            "3");
  HttpAnswer list = site_->Get("/asp.asp?m=classlist&channelid=1&classid=" + class_id);
  EXPECT_EQ(list.status, 200);
  EXPECT_NE(list.text.find("<!DOCTYPE html>"), std::string::npos) << list.text;
  EXPECT_EQ(FileText("js/ShowChannelMenu.js"), "");
  // The next channel takes a new number.
  form = {{"d_channelname", "财经"},
          {"d_channeldir", "money"},
          {"d_projectname", "财经"},
          {"d_uploadflag", "0"}};
  created = site_->Post("/admin.asp?m=admin_channel&action=save", form);
  ASSERT_NE(created.text.find("新增信息成功！"), std::string::npos) << created.text;
  EXPECT_EQ(ValueText("select max(d_id) from Vantrel_Channel"), "12");
}

FOLIREX_BOTH_DATABASE_FORMS(BothDatabaseForms, ChannelEnginesTest);

}  // namespace
}  // namespace folirex::testing
