// Console pages under requests that try to get more than the page offers: saves that would
// change nothing, rights left behind by deleted accounts, and changes asked for by a plain link.
#include <gtest/gtest.h>
#include <httplib.h>

#include <string>

#include "console_site.h"
#include "platform/host/session.h"

namespace folirex::testing {
namespace {

int GrantsOf(ConsoleSite& site, const std::string& name) {
  return site.CountSql("select count(*) from Vantrel_ManagerFunction where d_adminname = '" + name +
                       "'");
}

TEST(ConsoleHostile, GrantSaveWithoutChosenNamesIsNotReportedAsDone) {
  ConsoleSite site;
  ASSERT_EQ(site.SignInAsAdmin().status, 302);
  site.AddAdmin("nora", "password1", {"XT_Manage_Main"});
  site.Post("/admin.asp?m=admin_managerprivilege&action=privilege", {{"selectdel", "nora"}});
  // The list shown again (another window) forgets the chosen names.
  ASSERT_EQ(site.Get("/admin.asp?m=admin_managerprivilege").status, 200);
  HttpAnswer saved = site.Post("/admin.asp?m=admin_managerprivilege&action=authorization",
                               {{"functioncode", "XT_Manage_Set"}});
  EXPECT_FALSE(Contains(saved.text, "授权成功！"));
  EXPECT_TRUE(Contains(AlertText(saved.text), "提示：请先选择用户再授权！"));
  EXPECT_EQ(site.SqlValue("select group_concat(d_functioncode) from Vantrel_ManagerFunction "
                          "where d_adminname = 'nora'"),
            "XT_Manage_Main");
}

TEST(ConsoleHostile, DeletedAccountTakesItsGrantsAlong) {
  ConsoleSite site;
  site.AddAdmin("olga", "password1", {"XT_Manage_Main", "XT_Manage_Manager"});
  site.AddAdmin("twin", "password1", {"XT_Manage_Main"});
  site.AddAdmin("twin", "password2", {});
  std::string olga = site.SqlValue("select d_id from Vantrel_Admin where d_name = 'olga'");
  std::string twin = site.SqlValue("select min(d_id) from Vantrel_Admin where d_name = 'twin'");

  // Olga signs in elsewhere and is still signed in when her account is deleted.
  ASSERT_EQ(site.SignIn("olga", "password1").status, 302);
  const std::string cookie_name = SessionStore::kCookieName;
  ASSERT_EQ(site.cookies().count(cookie_name), 1u);
  std::string olga_session = cookie_name + "=" + site.cookies().at(cookie_name);
  httplib::Client olga_browser("127.0.0.1", site.port());
  auto before = olga_browser.Get("/admin.asp?m=admin_manager", {{"Cookie", olga_session}});
  ASSERT_TRUE(before);
  ASSERT_EQ(before->status, 200);

  site.ClearCookies();
  ASSERT_EQ(site.SignInAsAdmin().status, 302);
  HttpAnswer deleted = site.Post("/admin.asp?m=admin_manager&action=del",
                                 {{"selectdel", olga}, {"selectdel", twin}});
  ASSERT_EQ(deleted.status, 302);
  EXPECT_EQ(GrantsOf(site, "olga"), 0);
  // Another account still holds the name "twin": its grants stay.
  EXPECT_EQ(GrantsOf(site, "twin"), 1);

  // Her open session has no rights left.
  auto after = olga_browser.Get("/admin.asp?m=admin_manager", {{"Cookie", olga_session}});
  ASSERT_TRUE(after);
  EXPECT_EQ(after->status, 302);
  EXPECT_EQ(after->get_header_value("Location"), "?m=admin_error&errnum=1");

  // A new account under the old name starts without rights.
  site.Post("/admin.asp?m=admin_manager&action=save",
            {{"username", "olga"}, {"password", "another1"}});
  EXPECT_EQ(site.CountSql("select count(*) from Vantrel_Admin where d_name = 'olga'"), 1);
  EXPECT_EQ(GrantsOf(site, "olga"), 0);
}

TEST(ConsoleHostile, PlainAddressesChangeNothing) {
  ConsoleSite site;
  ASSERT_EQ(site.SignInAsAdmin().status, 302);
  site.AddAdmin("pete", "password1", {"XT_Manage_Main"});
  std::string pete = site.SqlValue("select d_id from Vantrel_Admin where d_name = 'pete'");
  std::string own =
      site.SqlValue("select d_id from Vantrel_Admin where d_name = '" + site.admin_name() + "'");
  site.Sql("insert into Vantrel_Log (d_ip, d_adminname) values ('10.0.0.1', 'pete')");
  std::string log = site.SqlValue("select max(d_id) from Vantrel_Log");
  const std::string admin_digest =
      site.SqlValue("select d_password from Vantrel_Admin where d_id = " + own);
  auto snapshot = [&] {
    return site.SqlValue(
               "select group_concat(d_id || ':' || d_name || ':' || d_password, ';') "
               "from Vantrel_Admin") +
           "|" +
           site.SqlValue(
               "select group_concat(d_adminname || ':' || d_functioncode, ';') from "
               "Vantrel_ManagerFunction") +
           "|" + site.SqlValue("select group_concat(d_id) from Vantrel_Log");
  };
  const std::string before = snapshot();

  // What a link followed from another page (the session cookie goes along) could ask for.
  const std::string links[] = {
      "/admin.asp?m=admin_manager&action=save&username=intruder&password=intruder1",
      "/admin.asp?m=admin_manager&action=edit&save=1&id=" + own +
          "&username=admin&password=taken123",
      "/admin.asp?m=admin_manager&action=del&selectdel=" + pete,
      "/admin.asp?m=admin_managerprivilege&action=set&save=1&id=" + site.admin_name(),
      "/admin.asp?m=admin_loginlog&action=del&selectdel=" + log,
      "/admin.asp?m=admin_changepassword&action=save&password=" + site.admin_password() +
          "&password1=taken123&password2=taken123",
  };
  for (const std::string& link : links) {
    SCOPED_TRACE(link);
    HttpAnswer answer = site.Get(link);
    EXPECT_EQ(answer.status, 200);
    EXPECT_TRUE(Contains(AlertText(answer.text), "提示：参数错误！"));
  }
  // The grant save reads the names chosen on the grant form.
  site.Post("/admin.asp?m=admin_managerprivilege&action=privilege",
            {{"selectdel", site.admin_name()}});
  HttpAnswer grant = site.Get("/admin.asp?m=admin_managerprivilege&action=authorization");
  EXPECT_TRUE(Contains(AlertText(grant.text), "提示：参数错误！"));
  EXPECT_EQ(snapshot(), before);
  EXPECT_EQ(site.SqlValue("select d_password from Vantrel_Admin where d_id = " + own),
            admin_digest);

  // The forms themselves post, and still work.
  EXPECT_TRUE(Contains(site.Post("/admin.asp?m=admin_managerprivilege&action=authorization",
                                 {{"functioncode", "XT_Manage_Main"},
                                  {"functioncode", "XT_Manage_ManagerPrivilege"}})
                           .text,
                       "授权成功！"));
  EXPECT_EQ(GrantsOf(site, site.admin_name()), 2);
}

}  // namespace
}  // namespace folirex::testing
