// Creating channels through the host: the copy of the module channel's rows and files, the id
// from the autonumber, the checks that refuse a posted channel, and an outside link.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "core/menu_stylesheets.h"
#include "taxonomy/channel_site.h"

namespace folirex::testing {
namespace {

class ChannelCreateTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(site_.SignInAsAdmin().status, 302); }

  int64_t Count(const std::string& sql) { return site_.Number(sql); }
  std::string Value(const std::string& sql) { return site_.SqlValue(sql); }

  ChannelSite site_;
};

TEST_F(ChannelCreateTest, InternalChannelCopiesTheModuleRowsAndFiles) {
  // The module's snippet definition and its own default.js; no menu stylesheets (a site made
  // before they shipped).
  site_.Sql(
      "insert into Vantrel_JS (d_channelid, d_jsname, d_desc, d_typeflag, d_filename, d_config) "
      "values (1, '最新文章', 'desc', 1, 'new.js', 'cfg')");
  std::filesystem::create_directories(site_.Disk("Article/Js"));
  std::ofstream(site_.Disk("Article/Js/default.js")) << "document.write('x');";
  for (const char* sheet : {"default", "menu", "menu-3d", "menu-extended"}) {
    std::filesystem::remove(site_.Disk("Article/Skin/" + std::string(sheet) + ".css"));
  }
  const int64_t menu_rows = Count("select count(*) from Vantrel_MenuSet");
  const int64_t module_items = Count("select count(*) from Vantrel_MenuSet where d_channelid = 1");
  const int64_t first_after = Count(
      "select min(d_order) from Vantrel_MenuSet where d_order > "
      "(select max(d_order) from Vantrel_MenuSet where d_channelid = 1)");

  HttpAnswer answer = site_.AddChannel({{"d_desc", "要闻"}});
  ASSERT_EQ(answer.status, 200);
  EXPECT_TRUE(Contains(answer.text, "新增信息成功！")) << answer.text;
  EXPECT_TRUE(Contains(answer.text, "action=showchange&channelid=11'>更新频道数据</a>"));
  EXPECT_TRUE(Contains(answer.text, "top.frame_left.location.href='?m=admin_menu'"));
  EXPECT_FALSE(Contains(answer.text, "文件操作失败"));

  // The row: the first created id, after the last channel, folder in lower case.
  EXPECT_EQ(Value("select d_order || '|' || d_channeldir || '|' || d_projectname || '|' || "
                  "d_uploaddir || '|' || d_upfiletype || '|' || d_disabledflag || '|' || "
                  "d_shownameflag from Vantrel_Channel where d_id = 11"),
            "2|news|新闻|uplaodfile|jpg|bmp|gif|png|0|-1");

  // The menu block follows the module's, named and linked for the new channel; later items move.
  EXPECT_EQ(Count("select count(*) from Vantrel_MenuSet"), menu_rows + module_items);
  EXPECT_EQ(Count("select count(*) from Vantrel_MenuSet where d_channelid = 11"), module_items);
  EXPECT_EQ(Value("select d_linkurl from Vantrel_MenuSet where d_channelid = 11 and d_name = "
                  "'新闻管理'"),
            "?m=admin_article&channelid=11");
  EXPECT_EQ(Count("select count(*) from Vantrel_MenuSet where d_channelid = 11 and "
                  "(d_name like '%文章%' or d_linkurl like '%channelid=1&%' or d_linkurl like "
                  "'%channelid=1')"),
            0);
  EXPECT_EQ(Count("select min(d_order) from Vantrel_MenuSet where d_channelid = 11"), first_after);
  EXPECT_EQ(Count("select count(*) from (select d_order from Vantrel_MenuSet group by d_order "
                  "having count(*) > 1)"),
            0);

  // Template pages, sets, links and skins are copies that point at one another.
  EXPECT_EQ(Count("select count(*) from Vantrel_TemplatePage where d_channelid = 11"),
            Count("select count(*) from Vantrel_TemplatePage where d_channelid = 1"));
  EXPECT_EQ(Count("select count(*) from Vantrel_Template where d_channelid = 11"), 1);
  const std::string set = Value("select d_id from Vantrel_Template where d_channelid = 11");
  EXPECT_EQ(Value("select d_templateid from Vantrel_Channel where d_id = 11"), set);
  EXPECT_EQ(Count("select count(*) from Vantrel_TemplateAndPage where d_channelid = 11"),
            Count("select count(*) from Vantrel_TemplateAndPage where d_templateid = 1"));
  EXPECT_EQ(Count("select count(*) from Vantrel_TemplateAndPage t where d_channelid = 11 and "
                  "(d_templateid <> " +
                  set +
                  " or not exists (select 1 from Vantrel_TemplatePage p where p.d_id = t.d_pageid "
                  "and p.d_channelid = 11))"),
            0);
  const std::string skin = Value("select d_id from Vantrel_Skin where d_channelid = 11");
  EXPECT_EQ(Count("select count(*) from Vantrel_TemplatePage where d_channelid = 11 and "
                  "d_skinid <> " +
                  skin),
            0);
  EXPECT_EQ(Value("select d_jsname || d_filename || d_config from Vantrel_JS where d_channelid = "
                  "11"),
            "最新文章new.jscfg");

  // Files: the folder with its upload folder, the skin's sheet under the copy's id, the
  // snippet file, and the module's images and sheets.
  EXPECT_TRUE(site_.Exists("news/uplaodfile"));
  EXPECT_EQ(site_.FileText("news/Skin/" + skin + ".css"), site_.FileText("Article/Skin/1.css"));
  EXPECT_FALSE(site_.FileText("news/Skin/" + skin + ".css").empty());
  EXPECT_EQ(site_.FileText("news/Js/default.js"), "document.write('x');");
  EXPECT_TRUE(site_.Exists("news/Images/arrow.gif"));
  EXPECT_TRUE(site_.Exists("news/Skin/1.css"));
  // The menu stylesheets its pages link, of the skin the menu console shows chosen.
  for (const std::string sheet : {"default", "menu", "menu-3d", "menu-extended"}) {
    const std::string source = sheet == "default" ? "skin-xp" : sheet;
    EXPECT_EQ(site_.FileText("news/Skin/" + sheet + ".css"),
              RewriteMenuCss(site_.FileText("NaviMenu/Css/" + source + ".css"), true))
        << sheet;
  }
  EXPECT_TRUE(Contains(site_.FileText("news/Skin/menu.css"), "url(../../NaviMenu/Images/"));

  // The bar now holds the home link and both channels; the console page shows it in the list.
  const std::string bar = site_.FileText("js/ShowChannelMenu.js");
  EXPECT_TRUE(Contains(bar, "href='/asp.asp?channelid=11' title=\\\"要闻\\\" >新闻中心</a>"))
      << bar;
  EXPECT_TRUE(Contains(site_.Get("/admin.asp?m=admin_channel").text, ">新闻中心</a>"));
}

TEST_F(ChannelCreateTest, NewIdsComeFromTheAutonumberAndAreNeverHandedOutAgain) {
  ASSERT_TRUE(Contains(site_.AddChannel({{"d_channeldir", "one"}}).text, "新增信息成功！"));
  ASSERT_TRUE(Contains(site_.AddChannel({{"d_channeldir", "two"}}).text, "新增信息成功！"));
  EXPECT_EQ(Value("select d_id from Vantrel_Channel where d_channeldir = 'two'"), "12");
  // The highest channel goes; an article of it stays behind.
  site_.Add(ArticleRow{.title = "旧频道的文章", .channel = 12});
  site_.Post("/admin.asp?m=admin_channel&action=del", {{"selectdel", "12"}});
  ASSERT_EQ(Count("select count(*) from Vantrel_Channel where d_id = 12"), 0);
  ASSERT_TRUE(Contains(site_.AddChannel({{"d_channeldir", "three"}}).text, "新增信息成功！"));
  EXPECT_EQ(Value("select d_id from Vantrel_Channel where d_channeldir = 'three'"), "13");

  // A table whose autonumber was never set past the system ids still gives 11 and up.
  ChannelSite bare;
  ASSERT_EQ(bare.SignInAsAdmin().status, 302);
  bare.Sql("delete from sqlite_sequence where name = 'Vantrel_Channel'");
  ASSERT_TRUE(Contains(bare.AddChannel({{"d_channeldir", "four"}}).text, "新增信息成功！"));
  EXPECT_EQ(bare.SqlValue("select max(d_id) from Vantrel_Channel"), "11");
  EXPECT_EQ(bare.SqlValue("select count(*) from Vantrel_Channel"), "2");
}

TEST_F(ChannelCreateTest, RefusedChannelsChangeNothing) {
  struct Case {
    Fields fields;
    std::string alert;
  };
  const std::vector<Case> cases = {
      {{{"d_channelname", ""}}, "提示：名称不能为空"},
      {{{"d_channeltype", "2"}, {"d_linkurl", ""}}, "提示：链接地址不能为空"},
      {{{"d_channeldir", "../x"}}, "提示：目录请使用英文字母，最多50个字母！"},
      {{{"d_channeldir", "new s"}}, "提示：目录请使用英文字母，最多50个字母！"},
      {{{"d_channeldir", "Admin"}}, "提示：目录[admin]已经存在！"},
      {{{"d_channeldir", "JS"}}, "提示：目录[js]已经存在！"},
      {{{"d_channeldir", "Images"}}, "提示：目录[images]已经存在！"},
      {{{"d_channeldir", "skin"}}, "提示：目录[skin]已经存在！"},
      {{{"d_channeldir", "Data"}}, "提示：目录[data]已经存在！"},
      {{{"d_channeldir", "NaviMenu"}}, "提示：目录[navimenu]已经存在！"},
      {{{"d_channeldir", "Kelmira"}}, "提示：目录[kelmira]已经存在！"},
      {{{"d_channeldir", "Uploads"}}, "提示：目录[uploads]已经存在！"},
      {{{"d_channeldir", "subject"}}, "提示：目录[subject]已经存在！"},
      {{{"d_channeldir", "ARTICLE"}}, "提示：目录[article]已经存在！"},
      {{{"d_channeldir", "Leftover"}}, "提示：目录[leftover]已经存在！"},
      {{{"d_projectname", ""}}, "提示：项目名称不能为空！"},
      {{{"d_uploaddir", ""}}, "提示：上传目录请使用英文字母，最多50个字母！"},
      {{{"d_uploaddir", "../../x"}}, "提示：上传目录请使用英文字母，最多50个字母！"},
      {{{"d_uploaddir", "Skin"}}, "提示：上传目录[Skin]已经存在！"},
      {{{"d_opentype", "9"}}, "提示：参数错误！"},
      {{{"d_moduletype", "11"}}, "提示：参数错误！"},
      {{{"d_channelname", std::string(51, 'a')}}, "提示：频道名称超过最大长度！"},
  };
  std::filesystem::create_directories(site_.Disk("leftover/keep"));
  const int64_t channels = Count("select count(*) from Vantrel_Channel");
  const int64_t menu = Count("select count(*) from Vantrel_MenuSet");
  for (const Case& c : cases) {
    HttpAnswer answer = site_.AddChannel(c.fields);
    EXPECT_EQ(AlertText(answer.text), c.alert + "\\n\\n系统将自动返回前一页面...")
        << c.fields.begin()->first << "=" << c.fields.begin()->second;
  }
  // A plain address changes nothing either: the fields count only when posted.
  EXPECT_EQ(AlertText(site_
                          .Get("/admin.asp?m=admin_channel&action=save&d_channelname=x&"
                               "d_channeldir=viaget&d_projectname=p&d_uploaddir=u")
                          .text),
            "提示：名称不能为空\\n\\n系统将自动返回前一页面...");
  EXPECT_EQ(Count("select count(*) from Vantrel_Channel"), channels);
  EXPECT_EQ(Count("select count(*) from Vantrel_MenuSet"), menu);
  EXPECT_TRUE(site_.Exists("leftover/keep"));
  for (const char* folder : {"x", "new s", "viaget", "Admin/uplaodfile", "JS/uplaodfile"}) {
    EXPECT_FALSE(site_.Exists(folder)) << folder;
  }

  // While the only internal channel lies in the install folder, a second one is refused; an
  // outside link is still taken, with its number fields zero and no folder.
  site_.Sql("update Vantrel_Channel set d_channeldir = '' where d_id = 1");
  EXPECT_EQ(AlertText(site_.AddChannel({}).text),
            "提示：多个频道原来的频道目录不允许为空，请先修改原来频道的目录，再进行增加频道！"
            "\\n\\n系统将自动返回前一页面...");
  HttpAnswer link = site_.AddChannel({{"d_channeltype", "2"},
                                      {"d_linkurl", "http://example.com/?a=1&b='2'"},
                                      {"d_channeldir", "admin"},
                                      {"d_maxfilesize", "99"},
                                      {"d_clicksofhot", "abc"}});
  EXPECT_TRUE(Contains(link.text, "新增信息成功！"));
  EXPECT_FALSE(Contains(link.text, "更新频道数据"));
  EXPECT_FALSE(Contains(link.text, "frame_left"));
  EXPECT_EQ(Value("select d_channeldir || '|' || d_maxfilesize || '|' || d_clicksofhot || '|' || "
                  "d_daysofnew from Vantrel_Channel where d_id = 11"),
            "|0|0|0");
  EXPECT_EQ(Count("select count(*) from Vantrel_MenuSet where d_channelid = 11"), 0);
  EXPECT_EQ(Count("select count(*) from Vantrel_Template where d_channelid = 11"), 0);
  EXPECT_TRUE(Contains(site_.FileText("js/ShowChannelMenu.js"),
                       "<a href='http://example.com/?a=1&amp;b=&#39;2&#39;'>新闻中心</a>"));
}

}  // namespace
}  // namespace folirex::testing
