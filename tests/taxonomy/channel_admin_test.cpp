// The channel page through the host: the list and its order moves, the add and edit forms, and
// the channel bar file as `folirex init` and the channel changes write it.
#include <gtest/gtest.h>

#include <string>

#include "taxonomy/channel_bar.h"
#include "taxonomy/channel_record.h"
#include "taxonomy/channel_site.h"

namespace folirex::testing {
namespace {

const char kBack[] = "\\n\\n系统将自动返回前一页面...";

class ChannelAdminTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(site_.SignInAsAdmin().status, 302); }

  ChannelSite site_;
};

TEST_F(ChannelAdminTest, ListShowsEveryChannelInOrderAndMovesPostTheirStoredPlace) {
  site_.Add(ChannelRow{.name = "外链<b>", .dir = "", .id = 20, .order = 2, .type = 2});
  site_.Sql(
      "update Vantrel_Channel set d_linkurl = 'http://x.test/\"a', d_disabledflag = -1, "
      "d_generatehtml = 3 where d_id = 20");
  HttpAnswer page = site_.Get("/admin.asp?m=admin_channel");
  ASSERT_EQ(page.status, 200);
  const std::string& text = page.text;
  EXPECT_TRUE(Contains(text, "当前位置：系统管理>>频道管理"));
  EXPECT_TRUE(Contains(text, "【<a href='?m=admin_channel&action=add'>增加频道</a>】"));
  EXPECT_TRUE(Contains(text, "<th width=\"14%\">频道目录/链接地址</th>"));
  EXPECT_TRUE(Contains(text,
                       "<td>1</td><td><a href=\"?m=admin_channel&amp;action=edit&amp;id=1\">"
                       "文章中心</a></td><td>原窗口</td><td>系统频道</td><td>Article</td>"
                       "<td>文章</td><td>不生成</td><td>正常</td>"));
  EXPECT_TRUE(Contains(text,
                       ">外链&lt;b&gt;</a></td><td>原窗口</td><td>外部频道</td><td><a "
                       "href=\"http://x.test/&quot;a\" target=\"_blank\">http://x.test/"
                       "&quot;a</a></td>"));
  EXPECT_TRUE(
      Contains(text, "<td>首页、列表和内容生成</td><td><font color=red>已禁用</font></td>"));
  EXPECT_LT(text.find(">文章中心</a>"), text.find(">外链&lt;b&gt;</a>"));
  EXPECT_TRUE(Contains(text,
                       "<option value=\"del\">删除</option><option value=\"disa\">禁用"
                       "</option><option value=\"ena\">启用</option>"));
  // The page script follows the foot.
  EXPECT_LT(text.find("</body></html>"), text.find("function checkAction(sAction)"));

  // A move posts; its place is the stored one, whatever the address says.
  EXPECT_EQ(AlertText(site_.Get("/admin.asp?m=admin_channel&action=up&order=2&id=20").text),
            std::string("提示：参数错误！") + kBack);
  for (const char* bad : {"&order=02&id=20", "&order=2&id=x", "&order=2&id=55"}) {
    EXPECT_EQ(
        AlertText(site_.Post(std::string("/admin.asp?m=admin_channel&action=up") + bad, {}).text),
        std::string("提示：参数错误，请返回！") + kBack)
        << bad;
  }
  HttpAnswer moved = site_.Post("/admin.asp?m=admin_channel&action=UP&order=7&id=20", {});
  EXPECT_EQ(AlertText(moved.text), "排序成功！");
  EXPECT_TRUE(Contains(moved.text, "location.href='?m=admin_channel'"));
  EXPECT_EQ(site_.SqlValue("select group_concat(d_id) from (select d_id from Vantrel_Channel "
                           "order by d_order)"),
            "20,1");
  // The first channel moved up again: nothing changes, no message.
  HttpAnswer none = site_.Post("/admin.asp?m=admin_channel&action=up&order=1&id=20", {});
  EXPECT_FALSE(Contains(none.text, "排序成功！"));
  EXPECT_TRUE(Contains(none.text, "location.href='?m=admin_channel'"));
  EXPECT_EQ(site_.SqlValue("select d_order from Vantrel_Channel where d_id = 20"), "1");
  site_.Post("/admin.asp?m=admin_channel&action=down&order=1&id=20", {});
  EXPECT_EQ(site_.SqlValue("select d_order from Vantrel_Channel where d_id = 1"), "1");

  // An empty table: one row saying so, no action bar.
  site_.Sql("delete from Vantrel_Channel");
  page = site_.Get("/admin.asp?m=admin_channel");
  EXPECT_TRUE(Contains(page.text, "<td colspan=\"10\" align=\"center\">没有记录</td>"));
  EXPECT_FALSE(Contains(page.text, "name=\"actionform\""));
}

TEST_F(ChannelAdminTest, FormsShowTheirDefaultsAndTheStoredValuesEncoded) {
  HttpAnswer add = site_.Get("/admin.asp?m=admin_channel&action=add");
  const std::string& a = add.text;
  EXPECT_TRUE(Contains(a,
                       "action=\"?m=admin_channel&amp;action=save\" onsubmit=\"return "
                       "checkForm()\""));
  EXPECT_TRUE(Contains(a, "<tr id=\"outerclass\" style=\"display:none\">"));
  EXPECT_TRUE(Contains(a, "<tr id=\"innerclass26\">"));
  EXPECT_FALSE(Contains(a, "id=\"innerclass27\""));
  EXPECT_TRUE(Contains(a, "name=\"d_uploaddir\" size=\"20\" value=\"uplaodfile\""));
  EXPECT_TRUE(Contains(a, "name=\"d_maxfilesize\" size=\"20\" value=\"1024\""));
  EXPECT_TRUE(Contains(a, "name=\"d_groupnum\" size=\"20\" value=\"30\""));
  EXPECT_TRUE(Contains(a, "name=\"d_disabledflag\" value=\"0\" checked>否"));
  EXPECT_TRUE(Contains(a, "name=\"d_channeltype\" value=\"1\" checked onclick="));
  // The add form offers every channel's sets, told apart by their channel.
  EXPECT_TRUE(Contains(
      a, "<select name='d_templateid' size=1><option value=\"1\">默认方案（文章中心）</option>"));
  EXPECT_FALSE(Contains(a, "hiddenchanneldir"));

  site_.Sql(
      "update Vantrel_Channel set d_channelname = 'A\"B''C<&>', d_desc = '</textarea>x', "
      "d_generatehtml = 3 where d_id = 1");
  HttpAnswer edit = site_.Get("/admin.asp?m=admin_channel&action=edit&id=1");
  const std::string& e = edit.text;
  EXPECT_TRUE(Contains(e,
                       "action=\"?m=admin_channel&amp;action=update&amp;id=1&amp;channeltype=1"
                       "\" style"));
  EXPECT_TRUE(
      Contains(e, "name=\"d_channelname\" size=\"50\" value=\"A&quot;B&#39;C&lt;&amp;&gt;\""));
  EXPECT_TRUE(Contains(e, ">&lt;/textarea&gt;x</textarea>"));
  // The edit form offers the channel's own sets only, by their names.
  EXPECT_TRUE(Contains(e, "<option value=\"1\">默认方案</option>"));
  EXPECT_TRUE(Contains(e, "name=\"d_channeltype\" value=\"1\" checked disabled"));
  EXPECT_TRUE(Contains(e, "<select name='d_moduletype' size=1 disabled>"));
  EXPECT_FALSE(Contains(e, "name=\"d_generatehtml\" value=\"0\" checked"));
  EXPECT_TRUE(Contains(e, "name=\"hiddenchanneldir\" value=\"Article\""));
  EXPECT_FALSE(Contains(e, "checkForm()\""));
  // The edit form offers only the channel's own template sets.
  site_.Sql("insert into Vantrel_Template (d_channelid, d_name) values (5, '别的频道的方案')");
  EXPECT_TRUE(Contains(site_.Get("/admin.asp?m=admin_channel&action=add").text, "别的频道的方案"));
  EXPECT_FALSE(
      Contains(site_.Get("/admin.asp?m=admin_channel&action=edit&id=1").text, "别的频道的方案"));
  // An outside link shows its link row and hides the internal rows.
  site_.Add(ChannelRow{.name = "外链", .dir = "", .id = 30, .type = 2});
  const std::string link = site_.Get("/admin.asp?m=admin_channel&action=edit&id=30").text;
  EXPECT_TRUE(Contains(link, "<tr id=\"outerclass\">"));
  EXPECT_TRUE(Contains(link, "<tr id=\"innerclass1\" style=\"display:none\">"));
  for (const char* bad : {"", "x", "01", "404"}) {
    EXPECT_EQ(
        AlertText(site_.Get(std::string("/admin.asp?m=admin_channel&action=edit&id=") + bad).text),
        std::string("提示：参数错误，请返回！") + kBack)
        << bad;
  }
}

TEST_F(ChannelAdminTest, ChannelBarFollowsTheLinkRules) {
  // A new site carries the bar of its one shipped channel: an empty file, served.
  ASSERT_TRUE(site_.Exists("js/ShowChannelMenu.js"));
  HttpAnswer served = site_.Get("/js/ShowChannelMenu.js");
  EXPECT_EQ(served.status, 200);
  EXPECT_EQ(served.bytes, "");

  site_.Add(ChannelRow{.name = "静态",
                       .dir = "stat",
                       .order = 2,
                       .open_type = 1,
                       .generate_html = 1,
                       .first_file_ext = 1});
  site_.Add(
      ChannelRow{.name = "根", .dir = "", .order = 3, .generate_html = 2, .first_file_ext = 7});
  site_.Add(ChannelRow{.name = "不显示", .dir = "hide", .order = 4, .show_name = false});
  site_.Add(ChannelRow{.name = "模式三", .dir = "three", .order = 5, .generate_html = 3});
  const int64_t outside =
      site_.Add(ChannelRow{.name = "外\"链", .dir = "", .order = 6, .type = 2, .open_type = 1});
  site_.Sql("update Vantrel_Channel set d_linkurl = 'http://o.test/' where d_id = " +
            std::to_string(outside));
  site_.Sql("update Vantrel_Channel set d_desc = '说\"明' where d_channelname = '静态'");
  const std::string html = ChannelMenuHtml(*site_.state.db.Conn, "/site/");
  EXPECT_EQ(html,
            "<table align=center class='table_channelmenu_main' cellspacing=0 cellpadding=0><tr>"
            "<td class='table_channelmenu_content'>|&nbsp;<a class='table_channelmenu_link' "
            "href='/site/'>网站首页</a>&nbsp;"
            "|&nbsp;<a class='table_channelmenu_link' href='/site/asp.asp?channelid=1' "
            "title=\"新闻与文章\" >文章中心</a>&nbsp;"
            "|&nbsp;<a class='table_channelmenu_link' href='/site/stat/default.htm' "
            "title=\"说&quot;明\" target='_blank'>静态</a>&nbsp;"
            "|&nbsp;<a class='table_channelmenu_link' href='/site/default.html' title=\"\" >根"
            "</a>&nbsp;"
            "|&nbsp;<a href='http://o.test/'>外&quot;链</a>&nbsp;"
            "|&nbsp;</td></tr></table>");
  // The file is the same HTML as script lines.
  const std::string script = ChannelMenuScript(*site_.state.db.Conn, "/");
  EXPECT_EQ(script.rfind("document.write(\"", 0), 0u);
  EXPECT_TRUE(Contains(script, "title=\\\"说&quot;明\\\""));
  EXPECT_EQ(script.substr(script.size() - 13), "</table>\");\r\n");
}

TEST_F(ChannelAdminTest, ScriptLinksAreRefusedOnSaveAndStoredOnesAreDrawnHarmless) {
  const std::string refused = std::string(kScriptLinkRefused) + kBack;
  const int64_t channels = site_.Number("select count(*) from Vantrel_Channel");
  for (const char* link : {"javascript:alert(1)", " JavaScript:alert(1)", "java\tscript:x",
                           "\x01vbscript:msgbox(1)", "DATA:text/html,<script>x</script>"}) {
    EXPECT_EQ(AlertText(site_.AddChannel({{"d_channeltype", "2"}, {"d_linkurl", link}}).text),
              refused)
        << link;
  }
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_Channel"), channels);
  // Other addresses stay as typed, a colon after a path included.
  ASSERT_TRUE(
      Contains(site_.AddChannel({{"d_channeltype", "2"}, {"d_linkurl", "/go/a:b.html"}}).text,
               "新增信息成功！"));
  const std::string outside = site_.SqlValue("select max(d_id) from Vantrel_Channel");
  const int64_t id = std::stoll(outside);
  EXPECT_EQ(site_.SqlValue("select d_linkurl from Vantrel_Channel where d_id = " + outside),
            "/go/a:b.html");

  // The edit save refuses too, and keeps the stored link.
  EXPECT_EQ(AlertText(site_.UpdateChannel(id, {{"d_linkurl", "javascript:x"}}).text), refused);
  EXPECT_EQ(site_.SqlValue("select d_linkurl from Vantrel_Channel where d_id = " + outside),
            "/go/a:b.html");
  EXPECT_TRUE(
      Contains(site_.UpdateChannel(id, {{"d_linkurl", "mailto:a@b.test"}}).text, "修改信息成功！"));
  EXPECT_EQ(site_.SqlValue("select d_linkurl from Vantrel_Channel where d_id = " + outside),
            "mailto:a@b.test");

  // A link stored before is left as it is, and drawn as "#" in the bar and the console's list.
  site_.Sql("update Vantrel_Channel set d_linkurl = ' javascript:alert(1)' where d_id = " +
            outside);
  EXPECT_TRUE(
      Contains(ChannelMenuHtml(*site_.state.db.Conn, "/"), "|&nbsp;<a href='#'>新闻中心</a>"));
  const std::string list = site_.Get("/admin.asp?m=admin_channel").text;
  EXPECT_TRUE(Contains(list, "<a href=\"#\" target=\"_blank\"> javascript:alert(1)</a>")) << list;
  EXPECT_EQ(site_.SqlValue("select d_linkurl from Vantrel_Channel where d_id = " + outside),
            " javascript:alert(1)");
}

}  // namespace
}  // namespace folirex::testing
