// An administrator's own password through the host: the form, the server's
// checks, signing in with the new password, and the other sessions it ends.
#include <gtest/gtest.h>
#include <httplib.h>

#include <string>

#include "console_site.h"

namespace folirex::testing {
namespace {

const char kBack[] = "\\n\\n系统将自动返回前一页面...";

class ChangePasswordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.Add(AdminRow{.name = "nina",
                       .password = "old-pass",
                       .rights = {"XT_Manage_ChangePwd", "XT_Manage_Main"}});
    ASSERT_EQ(site_.SignIn("nina", "old-pass").status, 302);
  }
  HttpAnswer Change(const std::string& current, const std::string& new1, const std::string& new2) {
    return site_.Post("/admin.asp?m=admin_changepassword&action=save",
                      {{"password", current}, {"password1", new1}, {"password2", new2}});
  }
  std::string Digest() {
    return site_.SqlValue("select d_password from Vantrel_Admin where d_name = 'nina'");
  }

  ConsoleSite site_;
};

TEST_F(ChangePasswordTest, FormShowsTheNameAndTheChecks) {
  std::string page = site_.Get("/admin.asp?m=admin_changepassword").text;
  EXPECT_TRUE(Contains(page, "当前位置：首选服务&gt;&gt;修改密码"));
  EXPECT_TRUE(Contains(page,
                       "name=\"renpassword\" method=\"post\" "
                       "action=\"?m=admin_changepassword&amp;action=save\""));
  EXPECT_TRUE(Contains(page, "<th>设置说明</th>"));
  EXPECT_TRUE(Contains(page, "<td align=\"right\">用 户 名：</td><td>nina</td>"));
  for (const char* field : {"password", "password1", "password2"}) {
    EXPECT_TRUE(Contains(
        page, std::string("name=\"") + field + "\" class=\"input\" size=\"20\" maxlength=\"20\""));
  }
  EXPECT_TRUE(Contains(page, "name=\"Submit\" value=\"确定更改\" onclick=\"return checks()\""));
  EXPECT_TRUE(Contains(page, "bgcolor=\"#DEE7FF\""));
  EXPECT_TRUE(Contains(page, "function checkspace(s)"));
  EXPECT_TRUE(Contains(page, "alert('新密码和确认密码不相同，请重新输入');"));
}

TEST_F(ChangePasswordTest, NameIsEncodedOnTheForm) {
  site_.Add(
      AdminRow{.name = "<u>o</u>", .password = "old-pass", .rights = {"XT_Manage_ChangePwd"}});
  site_.ClearCookies();
  ASSERT_EQ(site_.SignIn("<u>o</u>", "old-pass").status, 302);
  std::string page = site_.Get("/admin.asp?m=admin_changepassword").text;
  EXPECT_TRUE(Contains(page, "<td>&lt;u&gt;o&lt;/u&gt;</td>"));
  EXPECT_FALSE(Contains(page, "<u>o</u>"));
}

TEST_F(ChangePasswordTest, NewPasswordIsStoredTrimmedAndSignsIn) {
  HttpAnswer saved = Change(" old-pass ", "  n1 ", "n1");
  EXPECT_TRUE(Contains(saved.text, "<b>密码修改成功！</b>"));
  EXPECT_TRUE(Contains(saved.text, "<a href=\"?m=admin_changepassword\">返回重新修改</a>"));
  // A one-character password is allowed here.
  EXPECT_EQ(Digest(), MD5("n1"));

  site_.ClearCookies();
  EXPECT_EQ(AlertText(site_.SignIn("nina", "old-pass").text),
            "提示：您输入的密码不正确！" + std::string(kBack));
  HttpAnswer signed_in = site_.SignIn("nina", "n1");
  EXPECT_EQ(signed_in.Header("location"), "?m=admin_index");
}

TEST_F(ChangePasswordTest, RefusalsLeaveThePasswordAsItWas) {
  const std::string before = Digest();
  struct Case {
    std::string current, new1, new2, message;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"wrong", "abc", "abc", "原密码错误，请返回重新输入"},
           {"", "abc", "abc", "原密码错误，请返回重新输入"},
           {"old-pass", "", "", "新密码不能为空！"},
           {"old-pass", "   ", "   ", "新密码不能为空！"},
           {"old-pass", "", "abc", "新密码不能为空！"},
           {"old-pass", "abc", "", "新密码和确认密码不相同，请重新输入"},
           {"old-pass", "abc", "abd", "新密码和确认密码不相同，请重新输入"},
       }) {
    SCOPED_TRACE(c.current + "/" + c.new1 + "/" + c.new2);
    HttpAnswer answer = Change(c.current, c.new1, c.new2);
    EXPECT_EQ(AlertText(answer.text), c.message + kBack);
    EXPECT_FALSE(Contains(answer.text, "密码修改成功！"));
    EXPECT_EQ(Digest(), before);
  }
}

// Renamed by another host since this browser signed in: the session has ended, and the save
// changes nothing.
TEST_F(ChangePasswordTest, AccountRenamedSinceSignInIsSignedOut) {
  site_.Sql("update Vantrel_Admin set d_name = 'nina-renamed' where d_name = 'nina'");
  HttpAnswer answer = Change("old-pass", "abc", "abc");
  EXPECT_EQ(answer.status, 302);
  EXPECT_EQ(answer.Header("location"), "admin.asp?m=admin_login");
  EXPECT_EQ(site_.SqlValue("select d_password from Vantrel_Admin where d_name = 'nina-renamed'"),
            MD5("old-pass"));
}

TEST_F(ChangePasswordTest, OnlyTheSignedInAccountChanges) {
  site_.Add(AdminRow{.name = "oscar", .password = "old-pass"});
  ASSERT_TRUE(Contains(Change("old-pass", "fresh1", "fresh1").text, "密码修改成功！"));
  EXPECT_EQ(Digest(), MD5("fresh1"));
  EXPECT_EQ(site_.SqlValue("select d_password from Vantrel_Admin where d_name = 'oscar'"),
            MD5("old-pass"));
}

TEST_F(ChangePasswordTest, OtherBrowsersOfTheAccountAreSignedOutThisOneStays) {
  // Nina is signed in on another browser too (perhaps someone who learnt the old password).
  const std::string cookie_name = SessionStore::kCookieName;
  const std::string elsewhere = cookie_name + "=" + site_.cookies().at(cookie_name);
  site_.ClearCookies();
  ASSERT_EQ(site_.SignIn("nina", "old-pass").status, 302);
  site_.Add(AdminRow{.name = "oscar", .password = "old-pass", .rights = {"XT_Manage_Main"}});
  httplib::Client oscar_browser("127.0.0.1", site_.port());
  auto oscar_in =
      oscar_browser.Post("/admin.asp?m=admin_login&action=check",
                         "usercode=oscar&password=old-pass", "application/x-www-form-urlencoded");
  ASSERT_TRUE(oscar_in);
  std::string oscar = oscar_in->get_header_value("Set-Cookie");
  oscar = oscar.substr(0, oscar.find(';'));

  ASSERT_TRUE(Contains(Change("old-pass", "fresh1", "fresh1").text, "密码修改成功！"));
  httplib::Client other("127.0.0.1", site_.port());
  auto gone = other.Get("/admin.asp?m=admin_main", {{"Cookie", elsewhere}});
  ASSERT_TRUE(gone);
  EXPECT_EQ(gone->status, 302);
  EXPECT_EQ(gone->get_header_value("Location"), "admin.asp?m=admin_login");
  EXPECT_EQ(site_.Get("/admin.asp?m=admin_main").status, 200);
  // Another account's session is not touched.
  auto kept = other.Get("/admin.asp?m=admin_main", {{"Cookie", oscar}});
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->status, 200);
}

}  // namespace
}  // namespace folirex::testing
