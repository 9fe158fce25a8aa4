// The login log through the host: the list joined to the accounts, the
// administrator filter and its select, and the pruning of chosen rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console_site.h"

namespace folirex::testing {
namespace {

const char kBack[] = "\\n\\n系统将自动返回前一页面...";

class LoginLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(site_.SignInAsAdmin().status, 302);
    site_.Sql("delete from Vantrel_Log");
    site_.Add(AdminRow{.name = "pat"});
    site_.Add(AdminRow{.name = "quinn"});
    site_.Sql("update Vantrel_Admin set d_loginnum = 2 where d_name = 'pat'");
    site_.Add(LogRow{.admin = "pat", .ip = "10.0.0.1", .login_time = "2026-01-01 08:00:00"});
    site_.Add(LogRow{.admin = "quinn", .ip = "10.0.0.2", .login_time = "2026-01-02 08:00:00"});
    site_.Add(LogRow{
        .admin = "pat", .ip = "10.0.0.3", .login_num = 2, .login_time = "2026-01-03 08:00:00"});
    site_.Add(LogRow{.admin = "gone",
                     .ip = "10.0.0.4",
                     .login_num = 5,
                     .login_time = "2026-01-04 08:00:00"});  // no such account
  }
  std::string IdOf(const std::string& ip) {
    return site_.SqlValue("select d_id from Vantrel_Log where d_ip = '" + ip + "'");
  }
  int Rows() { return site_.Number("select count(*) from Vantrel_Log"); }

  ConsoleSite site_;
};

TEST_F(LoginLogTest, ListJoinsTheAccountsNewestFirst) {
  std::string page = site_.Get("/admin.asp?m=admin_loginlog").text;
  EXPECT_TRUE(Contains(page, "当前位置：系统管理&gt;&gt;登陆日志管理"));
  EXPECT_TRUE(Contains(page,
                       "<th>管理员</th><th>登陆时间</th><th>登陆IP</th><th>登陆累计</th>"
                       "<th>登陆总数</th>"));
  EXPECT_TRUE(Contains(page, "name=\"chkSelectAll\" onclick=\"doCheckAll(this)\""));
  EXPECT_TRUE(Contains(page, "action=\"?m=admin_loginlog&amp;action=del&amp;d_name=\""));
  // Each row: the name, the time, the address, the count at that sign-in, the
  // account's total.
  EXPECT_TRUE(Contains(page,
                       "<tr><td>pat</td><td>2026-1-3 8:00:00</td><td>10.0.0.3</td>"
                       "<td>2</td><td>2</td>"));
  EXPECT_TRUE(Contains(page,
                       "<tr><td>pat</td><td>2026-1-1 8:00:00</td><td>10.0.0.1</td>"
                       "<td>1</td><td>2</td>"));
  EXPECT_TRUE(Contains(page, "name=\"selectdel\" value=\"" + IdOf("10.0.0.2") + "\""));
  EXPECT_FALSE(Contains(page, "10.0.0.4"));  // its account is gone
  EXPECT_LT(page.find("10.0.0.3"), page.find("10.0.0.2"));
  EXPECT_LT(page.find("10.0.0.2"), page.find("10.0.0.1"));
  EXPECT_TRUE(Contains(page, "共<b>3</b>个"));
  EXPECT_TRUE(Contains(page, "<select name=\"selaction\" size=\"1\"><option value=\"del\">删除"));
  EXPECT_TRUE(Contains(page, "confirm('您确定删除记录吗？')"));
  EXPECT_TRUE(Contains(page, "<input type=\"hidden\" name=\"d_name\" value=\"\">"));

  // The select: nothing chosen on a first visit, every account by name.
  EXPECT_TRUE(Contains(page, "name=\"selForm\" method=\"post\""));
  EXPECT_TRUE(Contains(page,
                       "选择管理员：<select name=\"select\" onchange=\"var jmpURL="
                       "this.options[this.selectedIndex].value ; if(jmpURL!='') "
                       "{document.selForm.action= '?m=admin_loginlog&d_name=' + jmpURL;"
                       "document.selForm.submit();} else {this.selectedIndex=0 ;}\">"
                       "<option>选择管理员</option><option value=\"0\">所有日志</option>"));
  EXPECT_TRUE(Contains(page, "<option value=\"pat\">pat</option>"));
  EXPECT_TRUE(Contains(page, "<option value=\"admin\">admin</option>"));
  std::string select = page.substr(page.find("<select name=\"select\""));
  select = select.substr(0, select.find("</select>"));
  EXPECT_FALSE(Contains(select, " selected"));
  EXPECT_EQ(CountOf(site_.Get("/admin.asp?m=admin_loginlog&d_name=0").text, " selected>所有日志"),
            1);
}

TEST_F(LoginLogTest, FilterShowsOneAdministrator) {
  std::string page = site_.Get("/admin.asp?m=admin_loginlog&d_name=pat").text;
  EXPECT_TRUE(Contains(page, "10.0.0.1"));
  EXPECT_TRUE(Contains(page, "10.0.0.3"));
  EXPECT_FALSE(Contains(page, "10.0.0.2"));
  EXPECT_TRUE(Contains(page, "共<b>2</b>个"));
  EXPECT_TRUE(Contains(page, "<option value=\"pat\" selected>pat</option>"));
  EXPECT_TRUE(Contains(page, "action=\"?m=admin_loginlog&amp;action=del&amp;d_name=pat\""));
  EXPECT_TRUE(Contains(page, "name=\"d_name\" value=\"pat\""));

  // The select's own post: the name in the address, the form posted with it.
  std::string posted =
      site_.Post("/admin.asp?m=admin_loginlog&d_name=quinn", {{"select", "quinn"}}).text;
  EXPECT_TRUE(Contains(posted, "10.0.0.2"));
  EXPECT_FALSE(Contains(posted, "10.0.0.1"));

  // A name with no log rows (or no account) shows the empty row.
  std::string none = site_.Get("/admin.asp?m=admin_loginlog&d_name=gone").text;
  EXPECT_TRUE(Contains(none, "<td colspan=\"6\" align=\"center\">暂无此类数据！</td>"));
  EXPECT_FALSE(Contains(none, "selaction"));
  // Quotes cannot reach the statement.
  EXPECT_TRUE(Contains(site_.Get("/admin.asp?m=admin_loginlog&d_name=p'at").text, "10.0.0.3"));
}

TEST_F(LoginLogTest, PagesKeepTheFilter) {
  for (int i = 0; i < 25; ++i) {
    site_.Add(LogRow{.admin = "pat",
                     .ip = "10.1.0." + std::to_string(i),
                     .login_num = i,
                     .login_time = "2025-12-01 08:00:" + std::to_string(10 + i)});
  }
  std::string first = site_.Get("/admin.asp?m=admin_loginlog&d_name=pat").text;
  EXPECT_TRUE(Contains(first, "共<b>27</b>个"));
  EXPECT_EQ(CountOf(first, "name=\"selectdel\""), 20);
  EXPECT_TRUE(Contains(first, "href=\"?m=admin_loginlog&amp;d_name=pat&amp;page=2\""));
  std::string second = site_.Get("/admin.asp?m=admin_loginlog&d_name=pat&page=2").text;
  EXPECT_EQ(CountOf(second, "name=\"selectdel\""), 7);
  // Past the last page: page 1.
  std::string past = site_.Get("/admin.asp?m=admin_loginlog&d_name=pat&page=9").text;
  EXPECT_EQ(CountOf(past, "name=\"selectdel\""), 20);
}

TEST_F(LoginLogTest, DeletePrunesTheChosenRowsAndKeepsTheFilter) {
  HttpAnswer answer = site_.Post(
      "/admin.asp?m=admin_loginlog&action=del&d_name=pat",
      {{"selectdel", IdOf("10.0.0.1")}, {"selectdel", IdOf("10.0.0.3")}, {"d_name", "pat"}});
  EXPECT_EQ(answer.status, 302);
  EXPECT_EQ(answer.Header("location"), "?m=admin_loginlog&d_name=pat");
  EXPECT_EQ(Rows(), 2);
  EXPECT_EQ(IdOf("10.0.0.1"), "");
  EXPECT_NE(IdOf("10.0.0.2"), "");

  // Without a filter the address still carries the empty one.
  HttpAnswer all = site_.Post("/admin.asp?m=admin_loginlog&action=del&d_name=",
                              {{"selectdel", IdOf("10.0.0.2")}});
  EXPECT_EQ(all.Header("location"), "?m=admin_loginlog&d_name=");
  EXPECT_EQ(Rows(), 1);
}

TEST_F(LoginLogTest, DeleteRefusesEmptyAndMalformedLists) {
  EXPECT_EQ(AlertText(site_.Post("/admin.asp?m=admin_loginlog&action=del", {}).text),
            "提示：您没有选择要删除的记录，请返回！" + std::string(kBack));
  std::string id = IdOf("10.0.0.1");
  for (std::string bad :
       std::vector<std::string>{id + ",x", id + ") or (1=1", "1;delete from Vantrel_Admin", "+1"}) {
    SCOPED_TRACE(bad);
    HttpAnswer answer = site_.Post("/admin.asp?m=admin_loginlog&action=del", {{"selectdel", bad}});
    EXPECT_EQ(AlertText(answer.text), "提示：参数错误！" + std::string(kBack));
  }
  EXPECT_EQ(Rows(), 4);
}

TEST_F(LoginLogTest, NamesAndAddressesAreEncoded) {
  site_.Add(AdminRow{.name = "r&d <x>"});
  site_.Add(AdminRow{.name = "李四"});
  site_.Add(LogRow{
      .admin = "r&d <x>", .ip = "<script>alert(1)</script>", .login_time = "2026-02-01 08:00:00"});
  site_.Add(LogRow{.admin = "李四", .ip = "10.0.0.9", .login_time = "2026-02-02 08:00:00"});
  std::string page = site_.Get("/admin.asp?m=admin_loginlog").text;
  EXPECT_TRUE(Contains(page, "<td>r&amp;d &lt;x&gt;</td>"));
  EXPECT_TRUE(Contains(page, "<td>&lt;script&gt;alert(1)&lt;/script&gt;</td>"));
  EXPECT_FALSE(Contains(page, "<script>alert(1)"));
  // The option's value is the name ready for the address the select builds.
  EXPECT_TRUE(Contains(page, "<option value=\"r%26d+%3Cx%3E\">r&amp;d &lt;x&gt;</option>"));
  EXPECT_TRUE(Contains(page, "<option value=\"%C0%EE%CB%C4\">李四</option>"));

  // That address brings the filter back whole.
  // (This client sends a "+" as %2B, so the space goes as %20 here.)
  std::string filtered = site_.Get("/admin.asp?m=admin_loginlog&d_name=r%26d%20%3Cx%3E").text;
  EXPECT_TRUE(Contains(filtered, "共<b>1</b>个"));
  EXPECT_TRUE(Contains(filtered, "<option value=\"r%26d+%3Cx%3E\" selected>"));
  EXPECT_TRUE(Contains(filtered, "name=\"d_name\" value=\"r&amp;d &lt;x&gt;\""));
  std::string chinese = site_.Get("/admin.asp?m=admin_loginlog&d_name=%C0%EE%CB%C4").text;
  EXPECT_TRUE(Contains(chinese, "10.0.0.9"));
  EXPECT_FALSE(Contains(chinese, "10.0.0.1"));

  // The redirect after a delete carries the filter encoded. (This client decodes a Location
  // header, all but "+", so the encoded form shows through the "+" of the space.)
  HttpAnswer deleted = site_.Post("/admin.asp?m=admin_loginlog&action=del&d_name=r%26d%20%3Cx%3E",
                                  {{"selectdel", IdOf("<script>alert(1)</script>")}});
  EXPECT_EQ(deleted.status, 302);
  EXPECT_EQ(deleted.Header("location"), "?m=admin_loginlog&d_name=r&d+<x>");
  EXPECT_EQ(IdOf("<script>alert(1)</script>"), "");
}

TEST_F(LoginLogTest, SignInsAppearInTheLog) {
  site_.ClearCookies();
  ASSERT_EQ(site_.SignIn("quinn", "password1").status, 302);
  ASSERT_EQ(site_.SignInAsAdmin().status, 302);
  std::string page = site_.Get("/admin.asp?m=admin_loginlog&d_name=quinn").text;
  EXPECT_TRUE(Contains(page, "共<b>2</b>个"));
  EXPECT_TRUE(Contains(page, "<td>127.0.0.1</td><td>1</td><td>1</td>"));
}

}  // namespace
}  // namespace folirex::testing
