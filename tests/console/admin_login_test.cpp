// Signing in and out of the console through the real host, and the brake on guessing.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <sstream>

#include "console/login_throttle.h"
#include "console_site.h"
#include "support/manual_clock.h"

namespace folirex::testing {
namespace {

TEST(LoginPage, ShowsTheFormWithAPlainPasswordFieldByDefault) {
  ConsoleSite site;
  HttpAnswer page = site.Get("/admin.asp");
  ASSERT_EQ(page.status, 200);
  EXPECT_TRUE(Contains(page.text, "<title>后台管理系统</title>"));
  EXPECT_TRUE(Contains(page.text, "admin/login.css"));
  EXPECT_TRUE(Contains(page.text, "admin/softkeyboard.js"));
  EXPECT_TRUE(Contains(page.text, "name=\"loginform\""));
  EXPECT_TRUE(Contains(page.text, "action=\"?m=admin_login&action=check\""));
  EXPECT_TRUE(Contains(page.text, "target=\"_top\""));
  EXPECT_TRUE(Contains(page.text, "name=\"usercode\" id=\"usercode\""));
  EXPECT_TRUE(Contains(page.text, "密　码"));
  EXPECT_TRUE(Contains(page.text, "admin/admin_login_button.gif"));
  EXPECT_TRUE(Contains(page.text, "function checkForm()"));
  EXPECT_TRUE(Contains(page.text, "用户名不允许为空"));
  EXPECT_TRUE(Contains(page.text, "用户密码不允许为空"));
  EXPECT_FALSE(Contains(page.text, "showkeyboard()"));
  EXPECT_FALSE(Contains(page.text, "readonly"));
  // An unknown m and the login m itself show the same page.
  EXPECT_TRUE(Contains(site.Get("/admin.asp?m=no_such_page").text, "name=\"loginform\""));
  EXPECT_TRUE(Contains(site.Get("/admin.asp?m=admin_login").text, "name=\"loginform\""));
}

TEST(LoginPage, OnScreenKeyboardMakesThePasswordFieldReadOnly) {
  ConsoleSite site;
  site.Sql("update Vantrel_Config set d_enablesoftkey = 1");
  HttpAnswer page = site.Get("/admin.asp?m=admin_login");
  EXPECT_TRUE(Contains(page.text,
                       "readonly onfocus=\"password1=this;showkeyboard();this.readOnly=1;"
                       "Calc.password.value=''\""));
  // A site without its settings row takes the password the plain way.
  site.Sql("delete from Vantrel_Config");
  HttpAnswer plain = site.Get("/admin.asp?m=admin_login");
  EXPECT_TRUE(Contains(plain.text, "name=\"loginform\""));
  EXPECT_FALSE(Contains(plain.text, "showkeyboard()"));
}

TEST(SignIn, RightPasswordSignsInCountsAndLogs) {
  ConsoleSite site;
  HttpAnswer answer = site.SignInAsAdmin();
  ASSERT_EQ(answer.status, 302);
  EXPECT_EQ(answer.Header("location"), "?m=admin_index");
  EXPECT_FALSE(site.cookies().empty());

  HttpAnswer frames = site.Get("/admin.asp");
  ASSERT_EQ(frames.status, 200);
  EXPECT_TRUE(Contains(frames.text, "<frameset"));

  EXPECT_EQ(site.SqlValue("select d_loginnum from Vantrel_Admin where d_name = 'admin'"), "1");
  EXPECT_EQ(site.SqlValue("select d_lastloginip from Vantrel_Admin where d_name = 'admin'"),
            "127.0.0.1");
  EXPECT_NE(site.SqlValue("select d_lastlogintime from Vantrel_Admin where d_name = 'admin'"),
            "NULL");
  EXPECT_EQ(site.Number("select count(*) from Vantrel_Log"), 1);
  EXPECT_EQ(site.SqlValue("select d_adminname from Vantrel_Log"), "admin");
  EXPECT_EQ(site.SqlValue("select d_thisloginnum from Vantrel_Log"), "1");
  EXPECT_EQ(site.SqlValue("select d_ip from Vantrel_Log"), "127.0.0.1");
  EXPECT_EQ(site.SqlValue("select d_logintime from Vantrel_Log").size(),
            std::string("yyyy-mm-dd hh:mm:ss").size());
}

TEST(SignIn, WrongPasswordOrUnknownNameChangesNothing) {
  ConsoleSite site;
  HttpAnswer wrong = site.SignIn(site.admin_name(), site.admin_password() + "x");
  EXPECT_EQ(wrong.status, 200);
  EXPECT_EQ(AlertText(wrong.text), "提示：您输入的密码不正确！\\n\\n系统将自动返回前一页面...");
  EXPECT_TRUE(Contains(wrong.text, "history.back()"));

  HttpAnswer unknown = site.SignIn("nobody", site.admin_password());
  EXPECT_EQ(AlertText(unknown.text), "提示：您输入的用户不存在！\\n\\n系统将自动返回前一页面...");

  HttpAnswer empty = site.SignIn("", "");
  EXPECT_TRUE(Contains(AlertText(empty.text), "提示：您输入的用户不存在！"));

  // The digest is compared as it is: the password in other capitals is another password.
  HttpAnswer capitals = site.SignIn(site.admin_name(), "X" + site.admin_password());
  EXPECT_TRUE(Contains(AlertText(capitals.text), "提示：您输入的密码不正确！"));

  EXPECT_EQ(site.SqlValue("select d_loginnum from Vantrel_Admin where d_name = 'admin'"), "0");
  EXPECT_EQ(site.Number("select count(*) from Vantrel_Log"), 0);
  // Still signed out: the frame set sends the browser to the login page.
  HttpAnswer frames = site.Get("/admin.asp?m=admin_index");
  EXPECT_EQ(frames.status, 302);
  EXPECT_EQ(frames.Header("location"), "admin.asp?m=admin_login");
}

TEST(SignIn, NameInOtherCapitalsKeepsTheTypedForm) {
  ConsoleSite site;
  HttpAnswer answer = site.SignIn("ADMIN", site.admin_password());
  ASSERT_EQ(answer.status, 302);
  EXPECT_EQ(site.SqlValue("select d_adminname from Vantrel_Log"), "ADMIN");
  EXPECT_EQ(site.SqlValue("select d_loginnum from Vantrel_Admin where d_name = 'admin'"), "1");
  // The grants are found for the typed name too, as the database compares names.
  HttpAnswer home = site.Get("/admin.asp?m=admin_main");
  EXPECT_EQ(home.status, 200);
  EXPECT_TRUE(Contains(home.text, "当前位置：系统主页面"));
}

TEST(SignIn, NameAndPasswordAreTrimmedAndTheNameFiltered) {
  ConsoleSite site;
  site.Add(AdminRow{.name = "editor", .password = "in ner pw", .rights = {"XT_Manage_Main"}});
  HttpAnswer answer = site.SignIn("  ed'it\"or;  ", "  in ner pw  ");
  ASSERT_EQ(answer.status, 302);
  EXPECT_EQ(site.SqlValue("select d_adminname from Vantrel_Log"), "editor");
  site.ClearCookies();
  // Inner blanks of the password count.
  HttpAnswer inner = site.SignIn("editor", "innerpw");
  EXPECT_TRUE(Contains(AlertText(inner.text), "提示：您输入的密码不正确！"));
}

TEST(SignIn, OnlyThePostedFormSignsInAndARefusedGetIsNeitherCountedNorLogged) {
  ConsoleSite site;
  const std::string target =
      "/admin.asp?m=admin_login&action=check&usercode=admin&password=" + site.admin_password();
  const std::string count_before =
      site.SqlValue("select d_loginnum from Vantrel_Admin where d_name = 'admin'");
  ::testing::internal::CaptureStderr();
  // More GETs than the brake allows failures: none of them counts against the name.
  for (int i = 0; i < 6; ++i) {
    HttpAnswer answer = site.Get(target);
    EXPECT_EQ(answer.status, 200);
    EXPECT_TRUE(Contains(AlertText(answer.text), "提示：参数错误！")) << answer.text;
    EXPECT_EQ(answer.Header("location"), "");
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(site.Number("select count(*) from Vantrel_Log"), 0);
  EXPECT_EQ(site.SqlValue("select d_loginnum from Vantrel_Admin where d_name = 'admin'"),
            count_before);
  EXPECT_EQ(site.Get("/admin.asp?m=admin_main").status, 302);

  // The posted form still signs in.
  HttpAnswer posted = site.SignInAsAdmin();
  ASSERT_EQ(posted.status, 302);
  EXPECT_EQ(posted.Header("location"), "?m=admin_index");
  EXPECT_EQ(site.Number("select count(*) from Vantrel_Log"), 1);
  EXPECT_EQ(site.Get("/admin.asp?m=admin_main").status, 200);
}

TEST(SignIn, NewAccountCountsItsSignInsInTheLog) {
  ConsoleSite site;
  site.Add(AdminRow{.name = "writer", .password = "secret1", .rights = {"XT_Manage_Main"}});
  ASSERT_EQ(site.SignIn("writer", "secret1").status, 302);
  site.ClearCookies();
  ASSERT_EQ(site.SignIn("writer", "secret1").status, 302);
  EXPECT_EQ(site.SqlValue("select d_loginnum from Vantrel_Admin where d_name = 'writer'"), "2");
  EXPECT_EQ(site.SqlValue("select group_concat(d_thisloginnum) from (select d_thisloginnum from "
                          "Vantrel_Log where d_adminname = 'writer' order by d_id)"),
            "1,2");
}

TEST(SignIn, TheAddressIsThePeersNotAForwardingHeader) {
  ConsoleSite site;
  // The host puts a trusted proxy's forwarded address into REMOTE_ADDR; the page reads nothing
  // else, so a header the client wrote itself is not taken for its address.
  httplib::Client client("127.0.0.1", site.port());
  httplib::Headers headers{{"X-Forwarded-For", "203.0.113.7'); drop table Vantrel_Log; --"}};
  std::string body = "usercode=admin&password=" + GbkUrlEncode(site.admin_password());
  auto result = client.Post("/admin.asp?m=admin_login&action=check", headers, body,
                            "application/x-www-form-urlencoded");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 302);
  EXPECT_EQ(site.SqlValue("select d_ip from Vantrel_Log"), "127.0.0.1");
  EXPECT_EQ(site.SqlValue("select d_lastloginip from Vantrel_Admin where d_name = 'admin'"),
            "127.0.0.1");
}

TEST(SignIn, IssuesANewSessionId) {
  ConsoleSite site;
  ASSERT_EQ(site.SignInAsAdmin().status, 302);
  ASSERT_EQ(site.cookies().size(), 1u);
  const std::string cookie_name = site.cookies().begin()->first;
  const std::string first_id = site.cookies().begin()->second;

  // Signing in again from the same browser hands out another id; the old one is worth nothing.
  ASSERT_EQ(site.SignInAsAdmin().status, 302);
  const std::string second_id = site.cookies().at(cookie_name);
  EXPECT_NE(first_id, second_id);
  EXPECT_EQ(site.Get("/admin.asp?m=admin_main").status, 200);

  httplib::Client client("127.0.0.1", site.port());
  auto old = client.Get("/admin.asp?m=admin_main", {{"Cookie", cookie_name + "=" + first_id}});
  ASSERT_TRUE(old);
  EXPECT_EQ(old->status, 302);
  EXPECT_EQ(old->get_header_value("Location"), "admin.asp?m=admin_login");
}

TEST(SignOut, EndsTheSessionAndLeadsBackToTheLoginPage) {
  ConsoleSite site;
  ASSERT_EQ(site.SignInAsAdmin().status, 302);
  ASSERT_EQ(site.Get("/admin.asp?m=admin_main").status, 200);

  HttpAnswer out = site.Get("/admin.asp?m=admin_login&action=out");
  EXPECT_EQ(out.status, 200);
  EXPECT_EQ(out.text,
            "<script>alert('您已经成功注销，欢迎您下次光临本网站！');"
            "window.location.href='?m=admin_index'</script>");
  HttpAnswer after = site.Get("/admin.asp?m=admin_index");
  EXPECT_EQ(after.status, 302);
  EXPECT_EQ(after.Header("location"), "admin.asp?m=admin_login");
  // An empty m now leads to the login page, not to the frame set.
  EXPECT_TRUE(Contains(site.Get("/admin.asp").text, "name=\"loginform\""));

  // Signing out while signed out still says so.
  HttpAnswer again = site.Get("/admin.asp?m=admin_login&action=out");
  EXPECT_TRUE(Contains(again.text, "您已经成功注销"));
}

TEST(SignIn, RepeatedFailuresMakeThePairWaitUncheckedAndEachIsLogged) {
  using std::chrono::seconds;
  ConsoleSite site;
  auto clock = std::make_shared<ManualClock>();
  site.application().Shared<LoginThrottle>(LoginThrottle::kSharedName).SetClock(clock);
  site.Add(AdminRow{.name = "other", .password = "secret1", .rights = {"XT_Manage_Main"}});
  const std::string name = site.admin_name();
  const std::string& password = site.admin_password();
  auto refused = [&site](const std::string& user, const std::string& pw) {
    HttpAnswer answer = site.SignIn(user, pw);
    return answer.status == 200 && Contains(AlertText(answer.text), "提示：您输入的密码不正确！");
  };

  ::testing::internal::CaptureStderr();
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(refused(name, "guess"));
  // Now even the right password is refused, unchecked, for 2 s; another name is not held back.
  EXPECT_TRUE(refused(name, password));
  EXPECT_EQ(site.SignIn("other", "secret1").status, 302);
  site.ClearCookies();
  clock->Advance(seconds(2));
  // Each further failure doubles the wait, up to 15 minutes.
  seconds wait(2);
  for (int failures = 6; failures <= 15; ++failures) {
    SCOPED_TRACE(failures);
    EXPECT_TRUE(refused(name, "guess"));
    wait = std::min(wait * 2, seconds(900));
    clock->Advance(wait - seconds(1));
    EXPECT_TRUE(refused(name, password));
    clock->Advance(seconds(1));
  }
  EXPECT_EQ(wait, seconds(900));
  ASSERT_EQ(site.SignIn(name, password).status, 302);
  // Signing in cleared the pair: five failures again before it waits.
  site.ClearCookies();
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(refused(name, "guess"));
  EXPECT_EQ(site.SignIn(name, password).status, 302);
  // A name cannot write a line of its own into the log.
  site.ClearCookies();
  EXPECT_FALSE(refused("x\nfolirex: forged", "guess"));
  std::string log = ::testing::internal::GetCapturedStderr();

  int wrong = 0, unchecked = 0;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    EXPECT_FALSE(line.starts_with("folirex: forged")) << line;
    if (!Contains(line, " console sign-in failed: \"" + name + "\" from 127.0.0.1 (")) continue;
    wrong += Contains(line, "(wrong password, failure ");
    unchecked += Contains(line, "(refused unchecked, ");
  }
  EXPECT_EQ(wrong, 19);
  EXPECT_EQ(unchecked, 11);
  EXPECT_TRUE(Contains(log,
                       "console sign-in failed: \"x\\x0afolirex: forged\" from 127.0.0.1 "
                       "(no such name, failure 1)"))
      << log;
}

}  // namespace
}  // namespace folirex::testing
