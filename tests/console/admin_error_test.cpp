// The console's error page, for each code, and while the database cannot be opened.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "console_site.h"

namespace folirex::testing {
namespace {

constexpr const char* kLoginLink = "<a href=\"?m=admin_login\" target=\"_parent\">登陆页面</a>";
constexpr const char* kBackLink = "<a href=\"javascript:history.go(-1)\">上一页</a>";

std::string Message(const std::string& page) {
  size_t begin = page.find("bgcolor=\"#f7f7f7\"><b>");
  if (begin == std::string::npos) return "";
  begin += std::string("bgcolor=\"#f7f7f7\"><b>").size();
  return page.substr(begin, page.find("</b></td>", begin) - begin);
}

TEST(ErrorPage, ShowsTheMessageOfEachCode) {
  ConsoleSite site;
  const std::string unknown =
      std::string("出现未知错误，请返回") + kLoginLink + "或者返回" + kBackLink + "！";
  struct Case {
    std::string query;
    std::string message;
  } cases[] = {
      {"&errnum=0", "数据库连接错误，请联系网站管理员！"},
      {"&errnum=1", std::string("对不起您没有权限访问该页面，请返回") + kLoginLink + "或者返回" +
                        kBackLink + "！"},
      {"&errnum=2", std::string("参数错误，请返回") + kBackLink + "！"},
      {"&errnum=01", unknown},
      {"&errnum=1.0", unknown},
      {"&errnum=7", unknown},
      {"", unknown},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    HttpAnswer page = site.Get("/admin.asp?m=admin_error" + c.query);
    ASSERT_EQ(page.status, 200);
    EXPECT_EQ(Message(page.text), c.message);
    EXPECT_TRUE(Contains(page.text, "<title>出错提示页面</title>"));
    EXPECT_FALSE(Contains(page.text, "admin/admin.js"));  // not the console frame
  }
}

TEST(ErrorPage, NonNumericCodeGoesBack) {
  ConsoleSite site;
  for (const char* query : {"&errnum=", "&errnum=x", "&errnum=1x"}) {
    SCOPED_TRACE(query);
    HttpAnswer page = site.Get(std::string("/admin.asp?m=admin_error") + query);
    EXPECT_EQ(AlertText(page.text), "提示：参数错误！\\n\\n系统将自动返回前一页面...");
    EXPECT_FALSE(Contains(page.text, "出错提示页面"));
  }
  // The code is read from the query string only.
  HttpAnswer posted = site.Post("/admin.asp?m=admin_error", {{"errnum", "x"}});
  EXPECT_EQ(AlertText(posted.text), "");
}

TEST(ErrorPage, AddressesAreAbsoluteFromTheInstallFolder) {
  ConsoleSite site;
  std::string page = site.Get("/admin.asp?m=admin_error&errnum=1").text;
  EXPECT_TRUE(Contains(page, "href=\"/admin/login.css\""));
  EXPECT_TRUE(Contains(page, "src=\"/Admin/error/center_error.gif\""));
  for (const char* image :
       {"error_r1_c1.gif", "error_r2_c1.gif", "error_r2_c3.gif", "error_r3_c2.gif", "spacer.gif"}) {
    EXPECT_TRUE(Contains(page, std::string("src=\"/Admin/error/") + image + "\"")) << image;
    // The site serves them under the capitals the page uses.
    EXPECT_EQ(site.Get(std::string("/Admin/error/") + image).status, 200) << image;
  }
  EXPECT_EQ(site.Get("/admin/login.css").status, 200);
}

TEST(ErrorPage, ShownWhileTheDatabaseCannotBeOpened) {
  ConsoleSite site;
  std::filesystem::remove(site.root() / site.settings().DBPath);
  HttpAnswer redirect = site.Get("/admin.asp?m=admin_main");
  EXPECT_EQ(redirect.status, 302);
  EXPECT_EQ(redirect.Header("location"), "?m=admin_error&errnum=0");
  // The error page itself is served, not sent to itself again.
  HttpAnswer page = site.Get("/admin.asp?m=admin_error&errnum=0");
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(Message(page.text), "数据库连接错误，请联系网站管理员！");
  EXPECT_TRUE(Contains(page.text, "/Admin/error/center_error.gif"));
  HttpAnswer bad = site.Get("/admin.asp?m=admin_error&errnum=x");
  EXPECT_EQ(AlertText(bad.text), "提示：参数错误！\\n\\n系统将自动返回前一页面...");
}

}  // namespace
}  // namespace folirex::testing
