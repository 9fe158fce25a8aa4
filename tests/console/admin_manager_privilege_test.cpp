// Granting rights by function code: the list, the grant form for several administrators, the
// per-administrator page and their saves.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "console_site.h"

namespace folirex::testing {
namespace {

using Form = std::vector<std::pair<std::string, std::string>>;

class PrivilegeTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(site_.SignInAsAdmin().status, 302); }

  // The codes a name holds, sorted and joined by ",".
  std::string Codes(const std::string& name) {
    return site_.SqlValue(
        "select ifnull(group_concat(c, ','), '') from (select d_functioncode c from "
        "Vantrel_ManagerFunction where d_adminname = '" +
        name + "' order by c)");
  }

  ConsoleSite site_;
};

TEST_F(PrivilegeTest, ListShowsEveryAdministratorWithEncodedNamesAndLinks) {
  site_.Add(AdminRow{.name = "a&id=admin"});
  site_.Add(AdminRow{.name = "<b>bold</b>"});
  std::string page = site_.Get("/admin.asp?m=admin_managerprivilege").text;
  EXPECT_TRUE(Contains(page, "当前位置：用户管理&gt;&gt;后台用户权限管理"));
  EXPECT_TRUE(Contains(page, "<th>用户名</th><th>注册时间</th><th>添加人</th><th>登陆次数</th>"));
  EXPECT_TRUE(Contains(page, "name=\"chkSelectAll\" onclick=\"doCheckAll(this)\""));
  EXPECT_TRUE(Contains(page, "action=\"?m=admin_managerprivilege&action=privilege\""));
  EXPECT_TRUE(Contains(page, "<td>&lt;b&gt;bold&lt;/b&gt;</td>"));
  EXPECT_FALSE(Contains(page, "<b>bold</b>"));
  EXPECT_TRUE(Contains(page, "<td>a&amp;id=admin</td>"));
  // The name in the link is one query value: "&" and "=" are percent-encoded.
  EXPECT_TRUE(Contains(page, "action=set&amp;id=a%26id%3Dadmin\">设置权限</a>"));
  EXPECT_TRUE(Contains(page, "name=\"selectdel\" value=\"a&amp;id=admin\""));
  EXPECT_TRUE(Contains(page, "<option value=\"privilege\">下一步</option>"));
  EXPECT_TRUE(Contains(page, "function checkAction(sAction)"));
  EXPECT_TRUE(Contains(page, "f.action='?m=admin_managerprivilege&action='+sAction;"));
  EXPECT_TRUE(Contains(page, "请选择至少一条记录再操作！"));
}

TEST_F(PrivilegeTest, GrantFormListsTheOfferedCodesUnchecked) {
  site_.Sql("update Vantrel_Function set d_desc = '' where d_code = 'XT_Manage_Set'");
  site_.Sql("update Vantrel_Function set d_flag = 0 where d_code = 'XT_Manage_Skin'");
  site_.Sql("update Vantrel_Function set d_name = '<i>x</i>' where d_code = 'XT_Manage_Announce'");
  std::string page =
      site_.Post("/admin.asp?m=admin_managerprivilege&action=privilege", {{"selectdel", "admin"}})
          .text;
  EXPECT_TRUE(Contains(page, "action=\"?m=admin_managerprivilege&action=authorization\""));
  EXPECT_TRUE(Contains(page, "<th>功能名称</th><th>说明</th>"));
  EXPECT_TRUE(Contains(page, "value=\"XT_Manage_Main\">"));
  EXPECT_FALSE(Contains(page, "XT_Manage_Skin"));
  EXPECT_FALSE(Contains(page, "checked"));
  EXPECT_TRUE(Contains(page, "<td>网站基本设置</td><td>&nbsp;</td>"));
  EXPECT_TRUE(Contains(page, "<td>&lt;i&gt;x&lt;/i&gt;</td>"));
  // Rows in d_order.
  EXPECT_LT(page.find("XT_Manage_Main"), page.find("XT_Manage_ChangePwd"));
  EXPECT_LT(page.find("XT_Manage_ChangePwd"), page.find("XT_Manage_ArticleCollectSet"));

  site_.Sql("update Vantrel_Function set d_flag = 0");
  page =
      site_.Post("/admin.asp?m=admin_managerprivilege&action=privilege", {{"selectdel", "admin"}})
          .text;
  EXPECT_TRUE(Contains(page, "请先添加后台权限"));
  EXPECT_FALSE(Contains(page, "disabled"));
}

TEST_F(PrivilegeTest, GrantFormNeedsAChosenName) {
  HttpAnswer page = site_.Post("/admin.asp?m=admin_managerprivilege&action=privilege", {});
  EXPECT_EQ(AlertText(page.text), "提示：请先选择用户再授权！\\n\\n系统将自动返回前一页面...");
}

TEST_F(PrivilegeTest, GrantsAreSavedForSeveralNamesAndCodes) {
  site_.Add(AdminRow{.name = "alice", .rights = {"XT_Manage_Skin"}});
  site_.Add(AdminRow{.name = "bob"});
  site_.Add(AdminRow{.name = "carol", .rights = {"XT_Manage_Set"}});
  ASSERT_EQ(site_
                .Post("/admin.asp?m=admin_managerprivilege&action=privilege",
                      {{"selectdel", "alice"}, {"selectdel", "bob"}})
                .status,
            200);
  HttpAnswer saved = site_.Post("/admin.asp?m=admin_managerprivilege&action=authorization",
                                {{"functioncode", "XT_Manage_Main"},
                                 {"functioncode", "XT_Manage_Article"},
                                 {"functioncode", "XT_Manage_Main"},
                                 {"functioncode", "XT_Manage_Ar'ticle;Add"}});
  EXPECT_TRUE(Contains(saved.text, "<b>授权成功！</b>"));
  EXPECT_TRUE(Contains(saved.text, "<a href=\"?m=admin_managerprivilege\">返回列表</a>"));
  EXPECT_EQ(Codes("alice"), "XT_Manage_Article,XT_Manage_ArticleAdd,XT_Manage_Main");
  EXPECT_EQ(Codes("bob"), "XT_Manage_Article,XT_Manage_ArticleAdd,XT_Manage_Main");
  EXPECT_EQ(Codes("carol"), "XT_Manage_Set");  // not chosen, untouched

  // The chosen names were used up: saving again changes nothing and says so.
  HttpAnswer again = site_.Post("/admin.asp?m=admin_managerprivilege&action=authorization",
                                {{"functioncode", "XT_Manage_Set"}});
  EXPECT_FALSE(Contains(again.text, "授权成功！"));
  EXPECT_TRUE(Contains(AlertText(again.text), "提示：请先选择用户再授权！"));
  EXPECT_EQ(Codes("alice"), "XT_Manage_Article,XT_Manage_ArticleAdd,XT_Manage_Main");

  // Blanks around a chosen name are dropped; no code checked takes every right away.
  site_.Post("/admin.asp?m=admin_managerprivilege&action=privilege",
             {{"selectdel", "alice"}, {"selectdel", " carol "}});
  site_.Post("/admin.asp?m=admin_managerprivilege&action=authorization", {});
  EXPECT_EQ(Codes("alice"), "");
  EXPECT_EQ(Codes("carol"), "");
  EXPECT_EQ(Codes("bob"), "XT_Manage_Article,XT_Manage_ArticleAdd,XT_Manage_Main");
}

TEST_F(PrivilegeTest, NameHoldingACommaStaysOneName) {
  site_.Add(AdminRow{.name = "x,bob"});
  site_.Add(AdminRow{.name = "bob", .rights = {"XT_Manage_Set"}});
  site_.Post("/admin.asp?m=admin_managerprivilege&action=privilege", {{"selectdel", "x,bob"}});
  site_.Post("/admin.asp?m=admin_managerprivilege&action=authorization",
             {{"functioncode", "XT_Manage_Main"}});
  EXPECT_EQ(Codes("x,bob"), "XT_Manage_Main");
  EXPECT_EQ(Codes("bob"), "XT_Manage_Set");
  EXPECT_EQ(Codes("x"), "");
}

TEST_F(PrivilegeTest, PerAdministratorPageShowsAndSavesTheGrants) {
  site_.Add(AdminRow{.name = "dave", .rights = {"XT_Manage_Main", "XT_Manage_Set"}});
  std::string page = site_.Get("/admin.asp?m=admin_managerprivilege&action=set&id=dave").text;
  EXPECT_TRUE(Contains(page, "以下为用户dave所具有的功能"));
  EXPECT_TRUE(Contains(page, "action=\"?m=admin_managerprivilege&action=set&save=1&id=dave\""));
  EXPECT_TRUE(Contains(page, "value=\"XT_Manage_Main\" checked>"));
  EXPECT_TRUE(Contains(page, "value=\"XT_Manage_Set\" checked>"));
  EXPECT_TRUE(Contains(page, "value=\"XT_Manage_Skin\">"));
  size_t checked = 0;
  for (size_t at = page.find(" checked>"); at != std::string::npos;
       at = page.find(" checked>", at + 1)) {
    ++checked;
  }
  EXPECT_EQ(checked, 2u);

  HttpAnswer saved =
      site_.Post("/admin.asp?m=admin_managerprivilege&action=set&save=1&id=dave",
                 {{"functioncode", "XT_Manage_Skin"}, {"functioncode", "XT_Manage_Template"}});
  EXPECT_TRUE(Contains(saved.text, "授权成功！"));
  EXPECT_TRUE(
      Contains(saved.text, "?m=admin_managerprivilege&action=set&id=dave\">返回重新修改</a>"));
  EXPECT_EQ(Codes("dave"), "XT_Manage_Skin,XT_Manage_Template");

  // A name without an account: every box unchecked, and saving creates its rows.
  page = site_.Get("/admin.asp?m=admin_managerprivilege&action=set&id=ghost").text;
  EXPECT_FALSE(Contains(page, "checked"));
  site_.Post("/admin.asp?m=admin_managerprivilege&action=set&save=1&id=ghost",
             {{"functioncode", "XT_Manage_Main"}});
  EXPECT_EQ(Codes("ghost"), "XT_Manage_Main");
}

TEST_F(PrivilegeTest, SaveDropsCodesKeptOffThePages) {
  site_.Sql("update Vantrel_Function set d_flag = 0 where d_code = 'XT_Manage_Skin'");
  site_.Add(AdminRow{.name = "erin", .rights = {"XT_Manage_Skin"}});
  site_.Post("/admin.asp?m=admin_managerprivilege&action=set&save=1&id=erin",
             {{"functioncode", "XT_Manage_Main"}});
  EXPECT_EQ(Codes("erin"), "XT_Manage_Main");
}

TEST_F(PrivilegeTest, EmptyCatalogueDisablesTheGrantButtonOfOneAdministrator) {
  site_.Sql("update Vantrel_Function set d_flag = 0");
  std::string page = site_.Get("/admin.asp?m=admin_managerprivilege&action=set&id=admin").text;
  EXPECT_TRUE(Contains(page, "value=\"授权\" disabled>"));
  EXPECT_FALSE(Contains(page, "请先添加后台权限"));
}

TEST_F(PrivilegeTest, NameWithAmpersandGetsTheRightsItself) {
  // Before link encoding, "set&id=bob&x" would have put the rights on another name.
  site_.Add(AdminRow{.name = "bob", .rights = {"XT_Manage_Set"}});
  site_.Add(AdminRow{.name = "x&save=1&id=bob"});
  std::string list = site_.Get("/admin.asp?m=admin_managerprivilege").text;
  const std::string link =
      "?m=admin_managerprivilege&amp;action=set&amp;id=x%26save%3D1%26id%3Dbob";
  ASSERT_TRUE(Contains(list, link));

  // Follow the link as a browser would, then post the form it shows.
  std::string page =
      site_.Get("/admin.asp?m=admin_managerprivilege&action=set&id=x%26save%3D1%26id%3Dbob").text;
  EXPECT_TRUE(Contains(page, "以下为用户x&amp;save=1&amp;id=bob所具有的功能"));
  EXPECT_TRUE(Contains(
      page, "action=\"?m=admin_managerprivilege&action=set&save=1&id=x%26save%3D1%26id%3Dbob\""));
  site_.Post("/admin.asp?m=admin_managerprivilege&action=set&save=1&id=x%26save%3D1%26id%3Dbob",
             {{"functioncode", "XT_Manage_Main"}});
  EXPECT_EQ(Codes("x&save=1&id=bob"), "XT_Manage_Main");
  EXPECT_EQ(Codes("bob"), "XT_Manage_Set");
}

TEST_F(PrivilegeTest, TakingTheRightFromOneselfLocksThePage) {
  site_.Post("/admin.asp?m=admin_managerprivilege&action=set&save=1&id=admin",
             {{"functioncode", "XT_Manage_Main"}});
  HttpAnswer answer = site_.Get("/admin.asp?m=admin_managerprivilege");
  EXPECT_EQ(answer.status, 302);
  EXPECT_EQ(answer.Header("location"), "?m=admin_error&errnum=1");
}

TEST_F(PrivilegeTest, ListPagesPastTheLastPageShowPageOne) {
  for (int i = 0; i < 25; ++i) {
    site_.Add(AdminRow{.name = "user" + std::to_string(100 + i),
                       .regtime = "2026-03-01 00:00:" + std::to_string(10 + i)});
  }
  std::string first = site_.Get("/admin.asp?m=admin_managerprivilege").text;
  EXPECT_TRUE(Contains(first, "<td>user124</td>"));  // newest first
  EXPECT_FALSE(Contains(first, "<td>user104</td>"));
  std::string second = site_.Get("/admin.asp?m=admin_managerprivilege&page=2").text;
  EXPECT_TRUE(Contains(second, "<td>user104</td>"));
  EXPECT_TRUE(Contains(second, "<td>admin</td>"));
  std::string past = site_.Get("/admin.asp?m=admin_managerprivilege&page=9").text;
  EXPECT_TRUE(Contains(past, "<td>user124</td>"));
}

}  // namespace
}  // namespace folirex::testing
