// The console home page and the console's static files.
#include <gtest/gtest.h>

#include <string>

#include "console_site.h"

namespace folirex::testing {
namespace {

TEST(HomePage, GuidesTheFirstStepsAndOffersShortcuts) {
  ConsoleSite site;
  ASSERT_EQ(site.SignInAsAdmin().status, 302);
  HttpAnswer page = site.Get("/admin.asp?m=admin_main");
  ASSERT_EQ(page.status, 200);
  const std::string& text = page.text;
  EXPECT_TRUE(Contains(text, "<title>管理平台</title>"));
  EXPECT_TRUE(Contains(text, "当前位置：系统主页面"));
  EXPECT_TRUE(Contains(text, "初次使用指导流程"));
  EXPECT_TRUE(Contains(text,
                       "<a href=\"?m=admin_changepassword\">修改密码</a> -> "
                       "<a href=\"?m=admin_set\">系统设置</a> -> "
                       "<a href=\"?m=admin_channel\">频道设置</a> -> "
                       "<a href=\"?m=admin_articleclass&channelid=1\">分类管理</a> -> "
                       "<a href=\"?m=admin_articlenavi&channelid=1\">导航菜单管理</a> -> "
                       "<a href=\"?m=admin_articleadd&channelid=1\">新增文章</a> -> "
                       "<a href=\"?m=admin_article&channelid=1\">文章管理</a>"));
  EXPECT_TRUE(Contains(text, "<th colspan=\"2\">常用功能快捷入口</th>"));
  EXPECT_TRUE(Contains(text,
                       "<li><a href=\"?m=admin_uploadfile&channelid=1\">上传文件管理</a><br>"
                       "对于上传文件的清理，可以智能清理无用的垃圾文件</li>"));
  EXPECT_TRUE(Contains(text, "<a href=\"?m=admin_managerprivilege\">后台用户权限管理</a>"));
  // Shortcuts come two to a row, the first row's cells half the width each.
  EXPECT_TRUE(
      Contains(text, "<tr><td width=\"50%\"><li><a href=\"?m=admin_article&channelid=1\">"));
  EXPECT_FALSE(Contains(text, "target="));
  // The console frame: its script and stylesheet, and the foot.
  EXPECT_TRUE(Contains(text, "admin/admin.js"));
  EXPECT_TRUE(Contains(text, "</body></html>"));
}

TEST(ConsoleFiles, EveryFileThePagesNameIsServed) {
  ConsoleSite site;
  for (const char* path : {"/admin/admin.css",
                           "/admin/admin.js",
                           "/admin/login.css",
                           "/admin/softkeyboard.js",
                           "/admin/2_10.gif",
                           "/admin/2_11.gif",
                           "/admin/1_12.gif",
                           "/admin/1_13.gif",
                           "/admin/1_14.gif",
                           "/admin/spacer.gif",
                           "/admin/admin_login_button.gif",
                           "/admin/menu_1_Tb.gif",
                           "/admin/up.gif",
                           "/admin/down.gif",
                           "/admin/tree_folder3.gif",
                           "/admin/tree_folder4.gif",
                           "/admin/edit2.gif",
                           "/admin/copy2.gif",
                           "/admin/test2.gif",
                           "/Admin/error/center_error.gif"}) {
    SCOPED_TRACE(path);
    HttpAnswer answer = site.Get(path);
    EXPECT_EQ(answer.status, 200);
    if (std::string(path).ends_with(".gif")) {
      EXPECT_EQ(answer.bytes.substr(0, 6), "GIF89a");
    }
  }
  std::string script = site.Get("/admin/admin.js").text;
  for (const char* function :
       {"function doCheckAll(", "function doAction(", "function g_OpenWindow(", "function ChkText(",
        "function BASEisNotInt(", "function BaseAlert("}) {
    EXPECT_TRUE(Contains(script, function)) << function;
  }
  std::string keyboard = site.Get("/admin/softkeyboard.js").text;
  EXPECT_TRUE(Contains(keyboard, "var password1"));
  EXPECT_TRUE(Contains(keyboard, "function showkeyboard("));
  EXPECT_TRUE(Contains(keyboard, "'Calc'"));
  std::string login_css = site.Get("/admin/login.css").text;
  EXPECT_TRUE(Contains(login_css, ".c92"));
  EXPECT_TRUE(Contains(login_css, ".unnamed1"));
  std::string admin_css = site.Get("/admin/admin.css").text;
  for (const char* cls : {".navi", ".list", ".form", ".Msg", ".red", ".gray", ".Menu"}) {
    EXPECT_TRUE(Contains(admin_css, cls)) << cls;
  }
}

}  // namespace
}  // namespace folirex::testing
