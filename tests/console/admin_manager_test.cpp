// Administrator accounts through the host: the list and its name filter,
// adding, editing and deleting accounts, with the name and password rules and
// the stored digest, and the sessions a new password, a new name or a deletion ends.
#include <gtest/gtest.h>
#include <httplib.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "console_site.h"

namespace folirex::testing {
namespace {

using Form = std::vector<std::pair<std::string, std::string>>;

const char kBack[] = "\\n\\n系统将自动返回前一页面...";

class ManagerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(site_.SignInAsAdmin().status, 302); }

  HttpAnswer Add(const std::string& name, const std::string& password) {
    return site_.Post("/admin.asp?m=admin_manager&action=save",
                      {{"username", name}, {"password", password}});
  }
  HttpAnswer EditSave(const std::string& id, const std::string& name, const std::string& password) {
    return site_.Post("/admin.asp?m=admin_manager&action=edit&id=" + id + "&save=1",
                      {{"username", name}, {"password", password}});
  }
  std::string IdOf(const std::string& name) {
    return site_.SqlValue("select d_id from Vantrel_Admin where d_name = '" + name + "'");
  }
  std::string DigestOf(const std::string& name) {
    return site_.SqlValue("select d_password from Vantrel_Admin where d_name = '" + name + "'");
  }
  int Accounts() { return site_.Number("select count(*) from Vantrel_Admin"); }
  int Grants(const std::string& name) {
    return site_.Number("select count(*) from Vantrel_ManagerFunction where d_adminname = '" +
                        name + "'");
  }
  // Another browser signed in under `name`; answers where the console sends it from `m`.
  std::function<std::string(const std::string&)> Browser(
      const std::string& name, const std::string& password = "password1") {
    auto client = std::make_shared<httplib::Client>("127.0.0.1", site_.port());
    auto signed_in = client->Post("/admin.asp?m=admin_login&action=check",
                                  "usercode=" + name + "&password=" + password,
                                  "application/x-www-form-urlencoded");
    std::string cookie = signed_in ? signed_in->get_header_value("Set-Cookie") : "";
    cookie = cookie.substr(0, cookie.find(';'));
    return [client, cookie](const std::string& m) -> std::string {
      auto answer = client->Get("/admin.asp?m=" + m, {{"Cookie", cookie}});
      return !answer                 ? "no answer"
             : answer->status == 200 ? "page"
                                     : answer->get_header_value("Location");
    };
  }

  ConsoleSite site_;
};

TEST_F(ManagerTest, ListShowsAccountsNewestFirstWithTheSearchBar) {
  site_.Add(AdminRow{.name = "older", .regtime = "2026-01-01 10:00:00"});
  site_.Add(AdminRow{.name = "newer", .regtime = "2026-03-01 10:00:00"});
  site_.Sql("update Vantrel_Admin set d_loginnum = 7 where d_name = 'newer'");
  HttpAnswer page = site_.Get("/admin.asp?m=admin_manager");
  ASSERT_EQ(page.status, 200);
  const std::string& text = page.text;
  EXPECT_TRUE(Contains(text, "当前位置：用户管理>>管理后台用户"));
  EXPECT_TRUE(Contains(text, "name=\"myForm\" method=\"post\" action=\"?m=admin_manager\""));
  EXPECT_TRUE(
      Contains(text, "用户名：<input type=\"text\" name=\"username\" size=\"6\" value=\"\""));
  EXPECT_TRUE(Contains(text, "action=add\">新增管理用户</a>"));
  EXPECT_TRUE(Contains(text,
                       "<th>用户名</th><th>注册时间</th><th>添加人</th><th>登陆次数</th>"
                       "<th>最后一次时间</th>"));
  EXPECT_TRUE(Contains(text, "name=\"chkSelectAll\" onclick=\"doCheckAll(this)\""));
  std::string newer_id = IdOf("newer");
  EXPECT_TRUE(Contains(text, "<a href=\"?m=admin_manager&amp;action=edit&amp;id=" + newer_id +
                                 "\">newer</a></td><td>2026-3-1 10:00:00</td><td>admin</td>"
                                 "<td>7</td>"));
  EXPECT_TRUE(Contains(text, "name=\"selectdel\" value=\"" + newer_id + "\""));
  EXPECT_LT(text.find(">newer</a>"), text.find(">older</a>"));
  EXPECT_TRUE(Contains(text, "<option value=\"del\">删除</option>"));
  EXPECT_TRUE(Contains(text, "f.action='?m=admin_manager&action='+sAction;"));
  EXPECT_TRUE(Contains(text, "共<b>3</b>个"));
}

TEST_F(ManagerTest, NameFilterIsAPrefixKeptInThePagingLinks) {
  for (int i = 0; i < 22; ++i) site_.Add(AdminRow{.name = "ed" + std::to_string(i)});
  site_.Add(AdminRow{.name = "other"});
  HttpAnswer page = site_.Post("/admin.asp?m=admin_manager", {{"username", "ed"}});
  EXPECT_TRUE(Contains(page.text, "name=\"username\" size=\"6\" value=\"ed\""));
  EXPECT_TRUE(Contains(page.text, "共<b>22</b>个"));
  EXPECT_FALSE(Contains(page.text, ">other</a>"));
  EXPECT_TRUE(Contains(page.text, "href=\"?m=admin_manager&amp;username=ed&amp;page=2\""));
  // The second page through the link's address.
  HttpAnswer second = site_.Get("/admin.asp?m=admin_manager&username=ed&page=2");
  EXPECT_TRUE(Contains(second.text, "页次[<b><span class=highlight2>2</span>/2</b>]"));
  // "%" stands for anything; a prefix nothing starts with lists nothing.
  EXPECT_TRUE(Contains(site_.Get("/admin.asp?m=admin_manager&username=%25").text, "共<b>24</b>个"));
  HttpAnswer none = site_.Get("/admin.asp?m=admin_manager&username=zz");
  EXPECT_TRUE(Contains(none.text, "<td colspan=\"6\" align=\"center\">暂无此类数据！</td>"));
  EXPECT_FALSE(Contains(none.text, "name=\"actionform\""));
  // Quotes in the filter are dropped before it reaches the statement.
  EXPECT_TRUE(
      Contains(site_.Get("/admin.asp?m=admin_manager&username=o'th%22er").text, ">other</a>"));
}

TEST_F(ManagerTest, NamesAreEncodedWhereTheyAreShown) {
  site_.Add(AdminRow{.name = "<b>x</b>"});
  site_.Add(AdminRow{.name = "a&b"});
  site_.Sql(
      "update Vantrel_Admin set d_adduser = '<i>boss</i>' where d_name = "
      "'a&b'");
  std::string page = site_.Get("/admin.asp?m=admin_manager").text;
  EXPECT_TRUE(Contains(page, ">&lt;b&gt;x&lt;/b&gt;</a>"));
  EXPECT_FALSE(Contains(page, "<b>x</b>"));
  EXPECT_TRUE(Contains(page, ">a&amp;b</a>"));
  EXPECT_TRUE(Contains(page, "<td>&lt;i&gt;boss&lt;/i&gt;</td>"));

  std::string edit =
      site_.Get("/admin.asp?m=admin_manager&action=edit&id=" + IdOf("<b>x</b>")).text;
  EXPECT_TRUE(Contains(edit, "value=\"&lt;b&gt;x&lt;/b&gt;\""));
  // The search field shows the posted filter encoded.
  std::string search = site_.Post("/admin.asp?m=admin_manager", {{"username", "<x>&"}}).text;
  EXPECT_TRUE(Contains(search, "size=\"6\" value=\"&lt;x&gt;&amp;\""));
}

TEST_F(ManagerTest, AddFormAndSaveStoreTheDigest) {
  std::string form = site_.Get("/admin.asp?m=admin_manager&action=add").text;
  EXPECT_TRUE(Contains(form, "action=\"?m=admin_manager&amp;action=save\""));
  EXPECT_TRUE(Contains(form, ">设置名称</th><th width=\"45%\">基本参数设置</th><th>相关说明</th>"));
  EXPECT_TRUE(Contains(form, "name=\"username\" maxlength=\"20\" size=\"35\""));
  EXPECT_TRUE(Contains(form, "name=\"password\" maxlength=\"20\" size=\"35\""));
  EXPECT_TRUE(Contains(form, "<font color=\"red\">*</font> <font color=\"#888888\">密码最少六位"));
  EXPECT_TRUE(Contains(form, "name=\"btnOk\" value=\"提交\""));

  HttpAnswer saved = Add("  carol ", "secret7");
  EXPECT_TRUE(Contains(saved.text, "<b>新增用户成功！</b>"));
  EXPECT_TRUE(Contains(saved.text, "<a href=\"?m=admin_manager&amp;action=add\">返回新增</a>"));
  EXPECT_TRUE(Contains(saved.text, "<a href=\"?m=admin_manager\">返回列表</a>"));
  // After a save the search bar shows the posted name, as it reads the same
  // value.
  EXPECT_TRUE(Contains(saved.text, "size=\"6\" value=\"carol\""));
  EXPECT_EQ(DigestOf("carol"), MD5("secret7"));
  EXPECT_EQ(site_.SqlValue("select d_adduser from Vantrel_Admin where d_name = 'carol'"), "admin");
  EXPECT_EQ(site_.SqlValue("select d_loginnum from Vantrel_Admin where d_name = 'carol'"), "0");
  EXPECT_EQ(site_.SqlValue("select length(d_regtime) from Vantrel_Admin where d_name = 'carol'"),
            "19");

  // A password is stored as posted, blanks included; quotes leave the name.
  Add("o'neil;", " pass word ");
  EXPECT_EQ(DigestOf("oneil"), MD5(" pass word "));

  // The new account signs in with its password.
  site_.ClearCookies();
  EXPECT_EQ(site_.SignIn("carol", "secret7").Header("location"), "?m=admin_index");
}

TEST_F(ManagerTest, AddRefusesBadNamesAndPasswordsInOrder) {
  int before = Accounts();
  struct Case {
    std::string name, password, message;
  };
  const std::vector<Case> cases = {
      {"", "", "提示：用户名不允许为空！"},
      {"'\";", "secret7", "提示：用户名不允许为空！"},
      {std::string(21, 'n'), "", "提示：用户名超过最大长度！"},
      {"十一个汉字十一个汉字十", "secret7", "提示：用户名超过最大长度！"},
      {"dave", "", "提示：密码不允许为空！"},
      {"dave", "12345", "提示：用户密码最小六位！"},
      {"dave", "汉字", "提示：用户密码最小六位！"},
      {"dave", std::string(21, 'p'), "提示：用户密码超过最大长度！"},
      {"admin", "secret7", "提示：您选择的用户名admin已经存在！"},
      {"ADMIN", "secret7", "提示：您选择的用户名ADMIN已经存在！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " / " + c.password);
    HttpAnswer answer = Add(c.name, c.password);
    EXPECT_EQ(AlertText(answer.text), c.message + kBack);
    EXPECT_TRUE(Contains(answer.text, "history.back()"));
    EXPECT_FALSE(Contains(answer.text, "新增用户成功！"));
  }
  EXPECT_EQ(Accounts(), before);

  // The limits themselves are allowed: 20 single-byte or ten double-width
  // characters, a password of 6 or 20 characters, three Chinese characters
  // counting 6.
  EXPECT_TRUE(Contains(Add(std::string(20, 'n'), "123456").text, "新增用户成功！"));
  EXPECT_TRUE(Contains(Add("十个汉字十个汉字十个", std::string(20, 'p')).text, "新增用户成功！"));
  EXPECT_TRUE(Contains(Add("eve", "三个字").text, "新增用户成功！"));
  EXPECT_EQ(Accounts(), before + 3);
  EXPECT_EQ(DigestOf("eve"), MD5("三个字"));
}

TEST_F(ManagerTest, DuplicateNameInTheAlertCannotEndTheScript) {
  site_.Add(AdminRow{.name = "a</script>"});
  HttpAnswer answer = Add("a</script>", "secret7");
  std::string alert = AlertText(answer.text);
  EXPECT_EQ(alert, "提示：您选择的用户名a\\x3C/script\\x3E已经存在！" + std::string(kBack));
  EXPECT_TRUE(
      Contains(answer.text, "已经存在！" + std::string(kBack) + "');history.back();</script>"));
  EXPECT_FALSE(Contains(answer.text, "a</script>"));
}

TEST_F(ManagerTest, EditFormShowsTheAccountAndRefusesBadIds) {
  site_.Add(AdminRow{.name = "frank"});
  std::string id = IdOf("frank");
  std::string form = site_.Get("/admin.asp?m=admin_manager&action=edit&id=" + id).text;
  EXPECT_TRUE(
      Contains(form, "action=\"?m=admin_manager&amp;action=edit&amp;id=" + id + "&amp;save=1\""));
  EXPECT_TRUE(Contains(form, "name=\"username\" maxlength=\"50\" size=\"35\" value=\"frank\""));
  // The password field starts empty: the stored digest never reaches the browser.
  EXPECT_TRUE(Contains(form,
                       "type=\"password\" name=\"password\" maxlength=\"20\" size=\"35\" "
                       "value=\"\""));
  EXPECT_FALSE(Contains(form, MD5("password1")));
  EXPECT_FALSE(Contains(form, "<font color=\"red\">*</font>"));

  for (std::string bad : {"", "abc", "1%20or%201=1", "01", "99999", "99999999999999999999"}) {
    SCOPED_TRACE(bad);
    HttpAnswer answer = site_.Get("/admin.asp?m=admin_manager&action=edit&id=" + bad);
    EXPECT_EQ(AlertText(answer.text), "提示：参数错误！" + std::string(kBack));
    EXPECT_FALSE(Contains(answer.text, "name=\"password\""));
  }
}

TEST_F(ManagerTest, EditSaveKeepsOrReplacesThePassword) {
  site_.Add(AdminRow{.name = "gina", .rights = {"XT_Manage_Main"}});
  std::string id = IdOf("gina");

  // An empty password keeps the password; the name changes.
  HttpAnswer same = EditSave(id, "gina2", "");
  EXPECT_TRUE(Contains(same.text, "<b>信息更新成功！</b>"));
  EXPECT_TRUE(Contains(same.text, "action=edit&amp;id=" + id + "\">返回重新修改</a>"));
  EXPECT_EQ(IdOf("gina2"), id);
  EXPECT_EQ(DigestOf("gina2"), MD5("password1"));
  // Its grants follow it to the new name; none stay with the old one.
  EXPECT_EQ(Grants("gina2"), 1);
  EXPECT_EQ(Grants("gina"), 0);

  // Anything else typed is the new password.
  EditSave(id, "gina2", "newpass9");
  EXPECT_EQ(DigestOf("gina2"), MD5("newpass9"));
  site_.ClearCookies();
  EXPECT_EQ(site_.SignIn("gina2", "newpass9").status, 302);
  ASSERT_EQ(site_.SignInAsAdmin().status, 302);

  // The digest posted back is a password like any other.
  EditSave(id, "gina2", MD5("newpass9"));
  EXPECT_EQ(DigestOf("gina2"), MD5(MD5("newpass9")));
}

TEST_F(ManagerTest, EditSaveRefusesANameAnotherAccountHolds) {
  site_.Add(AdminRow{.name = "gina", .rights = {"XT_Manage_Main"}});
  std::string id = IdOf("gina");
  for (std::string taken : {"admin", "ADMIN", "Admin"}) {
    SCOPED_TRACE(taken);
    EXPECT_EQ(AlertText(EditSave(id, taken, "newpass9").text),
              "提示：您选择的用户名" + taken + "已经存在！" + kBack);
  }
  // Nothing changed: the name, the password, the grants.
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_Admin where d_name = 'admin'"), 1);
  EXPECT_EQ(DigestOf("gina"), MD5("password1"));
  EXPECT_EQ(IdOf("gina"), id);
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_ManagerFunction where d_adminname = 'gina'"),
            1);
  // Its own name in another letter case is not taken.
  EXPECT_TRUE(Contains(EditSave(id, "GINA", "").text, "信息更新成功！"));
  EXPECT_EQ(IdOf("GINA"), id);
}

TEST_F(ManagerTest, EditSaveRefusesWithItsOwnMessages) {
  site_.Add(AdminRow{.name = "hank"});
  std::string id = IdOf("hank");
  struct Case {
    std::string id, name, password, message;
  };
  const std::vector<Case> cases = {
      {id, "", "secret7", "提示：用户姓名不允许为空！"},
      {id, std::string(21, 'n'), "secret7", "提示：用户姓名超过最大长度！"},
      {id, "hank", "12345", "提示：用户密码最小六位！"},
      {id, "hank", std::string(21, 'p'), "提示：用户密码超过最大长度！"},
      {"x1", "hank", "secret7", "提示：参数错误！"},
      {"99999", "hank", "secret7", "提示：参数错误！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(AlertText(EditSave(c.id, c.name, c.password).text), c.message + kBack);
  }
  EXPECT_EQ(DigestOf("hank"), MD5("password1"));
  EXPECT_EQ(IdOf("hank"), id);
}

TEST_F(ManagerTest, DeleteRemovesTheChosenAccountsOnly) {
  site_.Add(AdminRow{.name = "ivan", .rights = {"XT_Manage_Main"}});
  site_.Add(AdminRow{.name = "judy"});
  site_.Add(AdminRow{.name = "karl"});
  int before = Accounts();
  HttpAnswer answer = site_.Post("/admin.asp?m=admin_manager&action=del",
                                 {{"selectdel", IdOf("ivan")}, {"selectdel", IdOf("karl")}});
  EXPECT_EQ(answer.status, 302);
  EXPECT_EQ(answer.Header("location"), "?m=admin_manager");
  EXPECT_EQ(Accounts(), before - 2);
  EXPECT_EQ(IdOf("ivan"), "");
  EXPECT_NE(IdOf("judy"), "");
  // The grants of a deleted account go with it.
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_ManagerFunction where "
                         "d_adminname = 'ivan'"),
            0);
}

TEST_F(ManagerTest, DeleteRefusesEmptyMalformedAndOwnAccountLists) {
  site_.Add(AdminRow{.name = "lucy"});
  std::string lucy = IdOf("lucy");
  std::string own = IdOf(site_.admin_name());
  int before = Accounts();

  EXPECT_EQ(AlertText(site_.Post("/admin.asp?m=admin_manager&action=del", {}).text),
            "提示：请选择记录再删除！" + std::string(kBack));
  EXPECT_EQ(
      AlertText(site_.Post("/admin.asp?m=admin_manager&action=del", {{"selectdel", " "}}).text),
      "提示：请选择记录再删除！" + std::string(kBack));
  for (std::string bad : std::vector<std::string>{lucy + ",abc", lucy + ") or (1=1", "0x10",
                                                  lucy + ",,", "-1", "1.5"}) {
    SCOPED_TRACE(bad);
    HttpAnswer answer = site_.Post("/admin.asp?m=admin_manager&action=del", {{"selectdel", bad}});
    EXPECT_EQ(AlertText(answer.text), "提示：参数错误！" + std::string(kBack));
  }
  EXPECT_EQ(Accounts(), before);

  // The account this browser is signed in with cannot go, alone or among
  // others.
  HttpAnswer mine = site_.Post("/admin.asp?m=admin_manager&action=del",
                               {{"selectdel", lucy}, {"selectdel", own}});
  EXPECT_EQ(AlertText(mine.text), "提示：不能删除当前登录的用户！" + std::string(kBack));
  EXPECT_EQ(Accounts(), before);

  // Another administrator may delete it.
  site_.Add(AdminRow{.name = "mia", .rights = {"XT_Manage_Manager"}});
  site_.ClearCookies();
  ASSERT_EQ(site_.SignIn("mia", "password1").status, 302);
  EXPECT_EQ(site_.Post("/admin.asp?m=admin_manager&action=del", {{"selectdel", own}}).status, 302);
  EXPECT_EQ(IdOf(site_.admin_name()), "");
}

TEST_F(ManagerTest, ANewPasswordSignsTheAccountOutEverywhere) {
  site_.Add(AdminRow{.name = "gina", .rights = {"XT_Manage_Main"}});
  std::string id = IdOf("gina");
  httplib::Client gina("127.0.0.1", site_.port());
  auto signed_in =
      gina.Post("/admin.asp?m=admin_login&action=check", "usercode=GINA&password=password1",
                "application/x-www-form-urlencoded");
  ASSERT_TRUE(signed_in);
  std::string cookie = signed_in->get_header_value("Set-Cookie");
  cookie = cookie.substr(0, cookie.find(';'));
  auto status = [&gina, &cookie] {
    auto answer = gina.Get("/admin.asp?m=admin_main", {{"Cookie", cookie}});
    return answer ? answer->status : -1;
  };
  ASSERT_EQ(status(), 200);

  // An empty password: the password stays, and so does her session.
  EXPECT_TRUE(Contains(EditSave(id, "gina", "").text, "信息更新成功！"));
  EXPECT_EQ(status(), 200);
  EXPECT_TRUE(Contains(EditSave(id, "gina", "newpass9").text, "信息更新成功！"));
  EXPECT_EQ(status(), 302);
  // The administrator who made the change is still signed in.
  EXPECT_EQ(site_.Get("/admin.asp?m=admin_main").status, 200);
}

TEST_F(ManagerTest, ARenamedAccountTakesItsGrantsAndADeletedOneLeavesNone) {
  const std::string kLogin = "admin.asp?m=admin_login";
  site_.Add(AdminRow{.name = "gina", .rights = {"XT_Manage_Main"}});
  auto gina = Browser("gina");
  ASSERT_EQ(gina("admin_main"), "page");
  // Only the letter case changes: the same name, her session stays.
  EXPECT_TRUE(Contains(EditSave(IdOf("gina"), "Gina", "").text, "信息更新成功！"));
  EXPECT_EQ(gina("admin_main"), "page");
  // Renamed with the same password: her session ends, her grants go with the account.
  EXPECT_TRUE(Contains(EditSave(IdOf("gina"), "hanna", "").text, "信息更新成功！"));
  EXPECT_EQ(gina("admin_main"), kLogin);
  EXPECT_EQ(Grants("gina"), 0);
  EXPECT_EQ(Grants("hanna"), 1);
  EXPECT_EQ(Browser("hanna")("admin_main"), "page");
  // An account given the old name later starts without rights.
  EXPECT_TRUE(Contains(Add("gina", "password1").text, "新增用户成功！"));
  EXPECT_EQ(Browser("gina")("admin_main"), "?m=admin_error&errnum=1");
  // A name taken by a rename starts without what was left under it (an older version left a
  // renamed account's rows under its old name).
  site_.Exec(
      "insert into Vantrel_ManagerFunction (d_adminname, d_functioncode) values "
      "('ghost', 'XT_Manage_Manager')");
  EXPECT_TRUE(Contains(EditSave(IdOf("hanna"), "ghost", "").text, "信息更新成功！"));
  EXPECT_EQ(Grants("ghost"), 1);
  EXPECT_EQ(Browser("ghost")("admin_manager"), "?m=admin_error&errnum=1");

  // A deleted account's browsers are signed out.
  site_.Add(AdminRow{.name = "ivy", .rights = {"XT_Manage_Main"}});
  auto ivy = Browser("ivy");
  ASSERT_EQ(ivy("admin_main"), "page");
  ASSERT_EQ(
      site_.Post("/admin.asp?m=admin_manager&action=del", {{"selectdel", IdOf("ivy")}}).status,
      302);
  EXPECT_EQ(ivy("admin_main"), kLogin);
  EXPECT_EQ(Grants("ivy"), 0);
}

// The administrator renames the account he is using: he keeps his rights, and the name he gave up
// carries nothing to the account that takes it next.
TEST_F(ManagerTest, ASelfRenameKeepsOnesGrantsAndLeavesNoneUnderTheOldName) {
  const std::string old_name = site_.admin_name();
  const int own_grants = Grants(old_name);
  ASSERT_GT(own_grants, 20);
  EXPECT_TRUE(Contains(EditSave(IdOf(old_name), "boss", "").text, "信息更新成功！"));
  EXPECT_EQ(Grants("boss"), own_grants);
  EXPECT_EQ(Grants(old_name), 0);
  EXPECT_EQ(site_.Get("/admin.asp?m=admin_managerprivilege").status, 200);

  EXPECT_TRUE(Contains(Add(old_name, "password1").text, "新增用户成功！"));
  auto newcomer = Browser(old_name);
  for (const char* m : {"admin_main", "admin_manager", "admin_uploadfile"}) {
    EXPECT_EQ(newcomer(m), "?m=admin_error&errnum=1") << m;
  }
  // This browser is still the renamed account: it cannot delete itself under its new name, and
  // its password page finds it.
  EXPECT_EQ(
      AlertText(
          site_.Post("/admin.asp?m=admin_manager&action=del", {{"selectdel", IdOf("boss")}}).text),
      std::string("提示：不能删除当前登录的用户！") + kBack);
  EXPECT_TRUE(Contains(site_.Get("/admin.asp?m=admin_changepassword").text, "boss"));
  EXPECT_TRUE(Contains(site_
                           .Post("/admin.asp?m=admin_changepassword&action=save",
                                 {{"password", site_.admin_password()},
                                  {"password1", "newpass9"},
                                  {"password2", "newpass9"}})
                           .text,
                       "密码修改成功！"));
  EXPECT_EQ(site_.Get("/admin.asp?m=admin_main").status, 200);
}

// Another host sharing the database renames the account or changes its password: this host's
// sessions of it end at their next request.
TEST_F(ManagerTest, ARenameOrNewPasswordWrittenElsewhereEndsTheSessions) {
  const std::string kLogin = "admin.asp?m=admin_login";
  site_.Add(AdminRow{.name = "gina", .rights = {"XT_Manage_Main"}});
  auto gina = Browser("gina");
  ASSERT_EQ(gina("admin_main"), "page");
  site_.Exec("update Vantrel_Admin set d_password = ? where d_name = 'gina'",
             {Variant(MD5("newpass9"))});
  EXPECT_EQ(gina("admin_main"), kLogin);
  auto again = Browser("gina", "newpass9");
  ASSERT_EQ(again("admin_main"), "page");
  site_.Exec("update Vantrel_Admin set d_name = 'hanna' where d_name = 'gina'");
  EXPECT_EQ(again("admin_main"), kLogin);
}

}  // namespace
}  // namespace folirex::testing
