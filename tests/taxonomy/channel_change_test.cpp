// Changing channels through the host: the update with its folder moves and menu relabelling, the
// deletion with its rows and folders, disabling and enabling, and the folder fields that must
// never lead a file step outside the channel's own folder.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "taxonomy/channel_site.h"

namespace folirex::testing {
namespace {

const char kBack[] = "\\n\\n系统将自动返回前一页面...";

class ChannelChangeTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(site_.SignInAsAdmin().status, 302); }

  void Touch(const std::string& relative) {
    std::filesystem::create_directories(site_.Disk(relative).parent_path());
    std::ofstream(site_.Disk(relative)) << "data";
  }
  int64_t Count(const std::string& sql) { return site_.Number(sql); }
  std::string Value(const std::string& sql) { return site_.SqlValue(sql); }

  ChannelSite site_;
};

TEST_F(ChannelChangeTest, UpdateMovesTheFoldersAndRenamesTheMenuItems) {
  ASSERT_TRUE(Contains(site_.AddChannel({{"d_channeldir", "news"}}).text, "新增信息成功！"));
  Touch("news/uplaodfile/a.jpg");
  site_.Add(ArticleRow{.channel = 1, .generated = true});

  // New folder, new upload folder, new item word; the hidden fields would point elsewhere.
  HttpAnswer answer = site_.UpdateChannel(11, {{"d_channeldir", "Info"},
                                               {"d_uploaddir", "Files"},
                                               {"d_projectname", "资讯"},
                                               {"hiddenchanneldir", "admin"},
                                               {"hiddenuploaddir", "../data"},
                                               {"hiddenprojectname", "管理"}});
  EXPECT_TRUE(Contains(answer.text, "修改信息成功！")) << answer.text;
  EXPECT_FALSE(Contains(answer.text, "文件操作失败"));
  EXPECT_EQ(Value("select d_channeldir || '|' || d_uploaddir from Vantrel_Channel where d_id = 11"),
            "Info|files");
  EXPECT_TRUE(site_.Exists("Info/files/a.jpg"));
  EXPECT_TRUE(site_.Exists("Info/Images/arrow.gif"));
  EXPECT_FALSE(site_.Exists("news"));
  EXPECT_TRUE(site_.Exists("admin/admin.js"));
  EXPECT_TRUE(site_.Exists("data"));
  EXPECT_EQ(Count("select count(*) from Vantrel_MenuSet where d_channelid = 11 and d_name = "
                  "'资讯管理'"),
            1);
  EXPECT_EQ(Count("select count(*) from Vantrel_MenuSet where d_name like '%资讯%' and "
                  "d_channelid <> 11"),
            0);
  EXPECT_EQ(Count("select count(*) from Vantrel_Article where d_generatedflag = true"), 0);

  // Uploads off with an empty upload folder: the channel folder keeps its name.
  answer = site_.UpdateChannel(
      11, {{"d_uploadflag", "0"}, {"d_uploaddir", ""}, {"d_channeldir", "Info"}});
  EXPECT_TRUE(Contains(answer.text, "修改信息成功！")) << answer.text;
  answer = site_.UpdateChannel(11, {{"d_uploadflag", "1"}, {"d_uploaddir", "up"}});
  EXPECT_TRUE(Contains(answer.text, "修改信息成功！")) << answer.text;
  EXPECT_TRUE(site_.Exists("Info/up"));
  EXPECT_TRUE(site_.Exists("Info/Skin/1.css"));

  // The creation's folder checks hold for the new values too; nothing changes then.
  for (const auto& [field, value, alert] :
       std::vector<std::tuple<std::string, std::string, std::string>>{
           {"d_channeldir", "article", "提示：目录[article]已经存在！"},
           {"d_channeldir", "Admin", "提示：目录[Admin]已经存在！"},
           {"d_channeldir", "js", "提示：目录[js]已经存在！"},
           {"d_channeldir", "a/b", "提示：目录请使用英文字母，最多50个字母！"},
           {"d_uploaddir", "..", "提示：上传目录请使用英文字母，最多50个字母！"},
           {"d_uploaddir", "images", "提示：上传目录[images]已经存在！"},
           {"d_channeldir", "", "提示：多个频道原来的频道目录不允许为空！"},
           {"d_maxfilesize", "0100", "上传最大文件大小为数字！"},
           {"d_projectname", "", "提示：项目名称不能为空！"}}) {
    EXPECT_EQ(AlertText(site_.UpdateChannel(11, {{field, value}}).text), alert + kBack) << value;
  }
  EXPECT_EQ(Value("select d_channeldir from Vantrel_Channel where d_id = 11"), "Info");
  EXPECT_EQ(AlertText(site_.UpdateChannel(99, {}).text), std::string("提示：参数错误！") + kBack);
}

TEST_F(ChannelChangeTest, MovingIntoAndOutOfTheInstallFolderKeepsTheUploads) {
  Touch("Article/uploadfile/photo.jpg");
  Touch("Article/Skin/own.css");
  HttpAnswer answer = site_.UpdateChannel(1, {{"d_channeldir", ""}});
  EXPECT_TRUE(Contains(answer.text, "修改信息成功！")) << answer.text;
  EXPECT_TRUE(site_.Exists("uploadfile/photo.jpg"));
  EXPECT_TRUE(site_.Exists("Skin/own.css"));
  EXPECT_FALSE(site_.Exists("Article"));

  Touch("list/List_1.html");
  Touch("default.html");
  answer = site_.UpdateChannel(1, {{"d_channeldir", "Article"}, {"d_uploaddir", "up"}});
  EXPECT_TRUE(Contains(answer.text, "修改信息成功！")) << answer.text;
  EXPECT_TRUE(site_.Exists("Article/up/photo.jpg"));
  EXPECT_TRUE(site_.Exists("Article/Skin/own.css"));
  EXPECT_FALSE(site_.Exists("uploadfile"));
  EXPECT_FALSE(site_.Exists("list"));
  EXPECT_FALSE(site_.Exists("default.html"));
  // The site's own entry page and folders stay.
  EXPECT_TRUE(site_.Exists("default.asp"));
  EXPECT_TRUE(site_.Exists("Skin/2.css"));
  EXPECT_TRUE(site_.Exists("admin/admin.js"));
}

TEST_F(ChannelChangeTest, DeletionRemovesTheChannelsRowsAndFolderOnly) {
  ASSERT_TRUE(Contains(site_.AddChannel({{"d_channeldir", "one"}}).text, "新增信息成功！"));
  ASSERT_TRUE(Contains(site_.AddChannel({{"d_channeldir", "two"}}).text, "新增信息成功！"));
  site_.Sql("insert into Vantrel_NaviMenu (d_channelid, d_name) values (11, 'n')");
  const int64_t menu_of_two = Count("select count(*) from Vantrel_MenuSet where d_channelid = 12");

  // System channels and malformed lists are refused as a whole.
  for (const auto& [list, alert] : std::vector<std::pair<std::string, std::string>>{
           {"11, 5", "系统带的频道不能删除，自己新增的频道才可以删除！"},
           {"11, 1=1", "提示：参数错误！"},
           {"", "提示：参数错误！"}}) {
    EXPECT_EQ(
        AlertText(site_.Post("/admin.asp?m=admin_channel&action=del", {{"selectdel", list}}).text),
        alert + kBack);
  }
  EXPECT_EQ(AlertText(site_.Get("/admin.asp?m=admin_channel&action=del&selectdel=11").text),
            std::string("提示：参数错误！") + kBack);
  ASSERT_EQ(Count("select count(*) from Vantrel_Channel where d_id = 11"), 1);

  HttpAnswer answer = site_.Post("/admin.asp?m=admin_channel&action=del", {{"selectdel", "11"}});
  EXPECT_TRUE(Contains(answer.text, "删除频道成功！")) << answer.text;
  EXPECT_FALSE(site_.Exists("one"));
  EXPECT_TRUE(site_.Exists("two/uplaodfile"));
  EXPECT_TRUE(site_.Exists("Article/Skin/1.css"));
  for (const char* table :
       {"Vantrel_Channel where d_id", "Vantrel_MenuSet where d_channelid",
        "Vantrel_NaviMenu where d_channelid", "Vantrel_Template where d_channelid",
        "Vantrel_TemplatePage where d_channelid", "Vantrel_TemplateAndPage where d_channelid",
        "Vantrel_Skin where d_channelid"}) {
    EXPECT_EQ(Count(std::string("select count(*) from ") + table + " = 11"), 0) << table;
  }
  EXPECT_EQ(Count("select count(*) from Vantrel_MenuSet where d_channelid = 12"), menu_of_two);
  EXPECT_EQ(Value("select group_concat(d_order) from (select d_order from Vantrel_Channel order "
                  "by d_order)"),
            "1,2");
  EXPECT_EQ(Count("select max(d_order) from Vantrel_MenuSet"),
            Count("select count(*) from Vantrel_MenuSet"));

  // A stored folder that is the site's own is never removed with its channel.
  site_.Sql("update Vantrel_Channel set d_channeldir = 'admin' where d_id = 12");
  answer = site_.Post("/admin.asp?m=admin_channel&action=del", {{"selectdel", "12"}});
  EXPECT_TRUE(Contains(answer.text, "删除频道成功！"));
  EXPECT_TRUE(Contains(answer.text, "文件操作失败：admin"));
  EXPECT_TRUE(site_.Exists("admin/admin.js"));
}

TEST_F(ChannelChangeTest, DeletionRepointsWhatOtherChannelsUseAndTheirPagesStayWhole) {
  // Channel 12 made on channel 11's set; channel 1's class, article and set and channel 12's
  // subject given channel 11's pages, as the forms that list every channel's allow.
  site_.SetChannel(1, "d_templateid = 1");
  ASSERT_TRUE(Contains(site_.AddChannel({{"d_channeldir", "eleven"}}).text, "新增信息成功！"));
  const std::string set11 = Value("select d_id from Vantrel_Template where d_channelid = 11");
  const std::string add_form = site_.Get("/admin.asp?m=admin_channel&action=add").text;
  EXPECT_TRUE(Contains(add_form, "<option value=\"1\">默认方案（文章中心）</option>"));
  EXPECT_TRUE(Contains(add_form, "<option value=\"" + set11 + "\">默认方案（新闻中心）</option>"));
  ASSERT_TRUE(Contains(
      site_
          .AddChannel(
              {{"d_channelname", "体育"}, {"d_channeldir", "twelve"}, {"d_templateid", set11}})
          .text,
      "新增信息成功！"));
  ASSERT_EQ(Value("select d_templateid from Vantrel_Channel where d_id = 12"), set11);
  auto page_of = [&](int channel, const std::string& type) {
    return Count("select d_id from Vantrel_TemplatePage where d_channelid = " +
                 std::to_string(channel) + " and d_type = '" + type + "'");
  };
  EXPECT_TRUE(Contains(site_.Get("/admin.asp?m=admin_articleclass&channelid=1&action=add").text,
                       "<option value=\"" + std::to_string(page_of(11, "classlist")) +
                           "\">分类列表页（默认）（新闻中心）</option>"));
  // Every template page shows its own id, so a page tells which template drew it.
  site_.Sql(
      "update Vantrel_TemplatePage set d_content = '<html><body>模板' || d_id || '</body></html>'");
  const int64_t own_class =
      site_.Add(ClassRow{.name = "甲", .dir = "a", .template_page = page_of(11, "classlist")});
  const int64_t class12 = site_.Add(ClassRow{.name = "乙", .dir = "b", .channel = 12});
  const int64_t subject12 = site_.Add(SubjectRow{.channel = 12});
  site_.Sql("update Vantrel_ArticleSubject set d_templatepageid = " +
            std::to_string(page_of(11, "subjectlist")));
  const int64_t article1 = site_.Add(ArticleRow{
      .class_id = own_class, .template_page = page_of(11, "content"), .generated = true});
  const int64_t article12 = site_.Add(ArticleRow{.channel = 12, .class_id = class12});
  site_.Sql(
      "update Vantrel_TemplateAndPage set d_pageid = " + std::to_string(page_of(11, "search")) +
      " where d_templateid = 1 and d_type = 'search'");
  const std::vector<std::pair<std::string, std::string>> pages = {
      {"/asp.asp?channelid=12", "first"},
      {"/asp.asp?m=classlist&channelid=1&classid=" + std::to_string(own_class), "classlist"},
      {"/asp.asp?m=classlist&channelid=12&classid=" + std::to_string(class12), "classlist"},
      {"/asp.asp?m=content&channelid=1&articleid=" + std::to_string(article1), "content"},
      {"/asp.asp?m=content&channelid=12&articleid=" + std::to_string(article12), "content"},
      {"/asp.asp?m=subjectlist&channelid=12&subjectid=" + std::to_string(subject12), "subjectlist"},
      {"/asp.asp?m=search&channelid=1", "search"}};
  for (const auto& [url, type] : pages) {
    EXPECT_TRUE(Contains(site_.Page(url), "模板" + std::to_string(page_of(11, type)) + "<")) << url;
  }

  // Without a system set, or a system page of a type, outside the channel to take the place of
  // one that a remaining row names, nothing goes.
  for (const auto& [table, kind] : std::vector<std::pair<std::string, std::string>>{
           {"Vantrel_Template", "1 = 1"}, {"Vantrel_TemplatePage", "d_type = 'search'"}}) {
    site_.Sql("update " + table + " set d_sysflag = 0 where d_channelid <> 11 and " + kind);
    EXPECT_TRUE(Contains(
        AlertText(site_.Post("/admin.asp?m=admin_channel&action=del", {{"selectdel", "11"}}).text),
        "没有可以代替的系统模板"))
        << table;
    EXPECT_EQ(Count("select count(*) from Vantrel_Channel where d_id = 11"), 1);
    site_.Sql("update " + table + " set d_sysflag = -1 where d_channelid <> 11 and " + kind);
  }

  HttpAnswer answer = site_.Post("/admin.asp?m=admin_channel&action=del", {{"selectdel", "11"}});
  EXPECT_TRUE(Contains(answer.text, "删除频道成功！")) << answer.text;
  // Nothing names a set or page that is gone: channel 12 takes the lowest system set, the rest
  // the lowest system page of the type, and what was drawn with the old page is drawn again.
  EXPECT_EQ(Value("select d_templateid from Vantrel_Channel where d_id = 12"), "1");
  for (const char* dangling :
       {"Vantrel_Channel where d_templateid not in (select d_id from Vantrel_Template)",
        "Vantrel_TemplateAndPage where d_pageid not in (select d_id from Vantrel_TemplatePage)",
        "Vantrel_ArticleClass where d_templatepageid <> 0 and d_templatepageid not in (select "
        "d_id from Vantrel_TemplatePage)",
        "Vantrel_ArticleSubject where d_templatepageid <> 0 and d_templatepageid not in (select "
        "d_id from Vantrel_TemplatePage)",
        "Vantrel_Article where d_templatepageid <> 0 and d_templatepageid not in (select d_id "
        "from Vantrel_TemplatePage)",
        "Vantrel_Article where d_generatedflag <> 0"}) {
    EXPECT_EQ(Count(std::string("select count(*) from ") + dangling), 0) << dangling;
  }
  for (const auto& [url, type] : pages) {
    EXPECT_TRUE(Contains(site_.Page(url), "模板" + std::to_string(page_of(1, type)) + "<")) << url;
  }
}

TEST_F(ChannelChangeTest, DisablingHidesTheChannelEverywhereAndEnablingBringsItBack) {
  ASSERT_TRUE(Contains(site_.AddChannel({{"d_channeldir", "news"}}).text, "新增信息成功！"));
  site_.Sql(
      "update Vantrel_MenuSet set d_displayflag = 0 where d_channelid = 11 and d_id = "
      "(select max(d_id) from Vantrel_MenuSet where d_channelid = 11)");
  ASSERT_TRUE(Contains(site_.FileText("js/ShowChannelMenu.js"), "新闻中心"));

  HttpAnswer answer =
      site_.Post("/admin.asp?m=admin_channel&action=disa", {{"selectdel", "1, 11"}});
  EXPECT_TRUE(Contains(answer.text, "禁用频道成功！"));
  EXPECT_EQ(Count("select count(*) from Vantrel_MenuSet where d_channelid in (1, 11) and "
                  "d_displayflag <> 0"),
            0);
  EXPECT_EQ(Count("select count(*) from Vantrel_Channel where d_id in (1, 11) and "
                  "(d_disabledflag = 0 or d_shownameflag <> 0)"),
            0);
  const std::string bar = site_.FileText("js/ShowChannelMenu.js");
  EXPECT_TRUE(Contains(bar, "网站首页"));
  EXPECT_FALSE(Contains(bar, "新闻中心"));
  EXPECT_FALSE(Contains(site_.Get("/admin.asp?m=admin_menu").text, "新闻管理"));

  answer = site_.Post("/admin.asp?m=admin_channel&action=ena", {{"selectdel", "11"}});
  EXPECT_TRUE(Contains(answer.text, "启用频道成功！"));
  EXPECT_EQ(Count("select count(*) from Vantrel_MenuSet where d_channelid = 11 and "
                  "d_displayflag <> 1"),
            0);
  EXPECT_TRUE(Contains(site_.Get("/admin.asp?m=admin_menu").text, "新闻管理"));
  // Channel 1 is still off: one shown channel makes no bar.
  EXPECT_TRUE(site_.Exists("js/ShowChannelMenu.js"));
  EXPECT_EQ(site_.FileText("js/ShowChannelMenu.js"), "");
  EXPECT_EQ(
      AlertText(site_.Post("/admin.asp?m=admin_channel&action=ena", {{"selectdel", "x"}}).text),
      std::string("提示：参数错误！") + kBack);
}

}  // namespace
}  // namespace folirex::testing
