// Who may open which console page: every guarded m sends a browser that is not signed in to the
// login page, and a signed-in administrator without the page's function code to the error page.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "console_site.h"

namespace folirex::testing {
namespace {

struct GuardedPage {
  const char* m;
  const char* code;
  const char* shows;  // a text the page shows to an administrator who holds the code
};

// Every guarded page whose module is installed; add a row as each module arrives.
const std::vector<GuardedPage>& GuardedPages() {
  static const std::vector<GuardedPage> pages = {
      {"admin_index", "XT_Manage_Main", "<frameset"},
      {"admin_menu", "XT_Manage_Main", "function menu_tree(meval)"},
      {"admin_main", "XT_Manage_Main", "当前位置：系统主页面"},
      {"admin_managerprivilege", "XT_Manage_ManagerPrivilege",
       "当前位置：用户管理&gt;&gt;后台用户权限管理"},
      {"admin_managerprivilege&action=set&id=admin", "XT_Manage_ManagerPrivilege",
       "以下为用户admin所具有的功能"},
      {"admin_managerprivilege&action=privilege&selectdel=admin", "XT_Manage_ManagerPrivilege",
       "action=authorization"},
      {"admin_manager", "XT_Manage_Manager", "当前位置：用户管理>>管理后台用户"},
      {"admin_manager&action=add", "XT_Manage_Manager",
       "action=\"?m=admin_manager&amp;action=save\""},
      {"admin_manager&action=del", "XT_Manage_Manager", "提示：请选择记录再删除！"},
      {"admin_changepassword", "XT_Manage_ChangePwd", "当前位置：首选服务&gt;&gt;修改密码"},
      {"admin_changepassword&action=save", "XT_Manage_ChangePwd", "原密码错误，请返回重新输入"},
      {"admin_loginlog", "XT_Manage_LoginLog", "当前位置：系统管理&gt;&gt;登陆日志管理"},
      {"admin_loginlog&action=del", "XT_Manage_LoginLog", "提示：您没有选择要删除的记录，请返回！"},
      {"admin_servercheck", "XT_Manage_ServerCheck",
       "当前位置：系统管理&gt;&gt;远程服务器环境检测"},
      {"admin_articlesubject&channelid=1", "XT_Manage_ArticleSubject",
       "当前位置：文章管理>>专题管理"},
      {"admin_articlesubject&channelid=1&action=join", "XT_Manage_ArticleSubject", "合并文章专题"},
      {"admin_articlekeyword&channelid=1", "XT_Manage_ArticleKeyword",
       "当前位置：文章管理>>关键字库管理"},
      {"admin_articleclass&channelid=1", "XT_Manage_ArticleClass", "当前位置：文章管理>>分类管理"},
      {"admin_channel", "XT_Manage_ChannelSet", "当前位置：系统管理>>频道管理"},
      {"admin_article&channelid=1", "XT_Manage_Article", "当前位置：文章管理>>文章管理"},
      {"admin_articleadd&channelid=1", "XT_Manage_ArticleAdd", "当前位置：文章管理>>添加文章"},
      {"admin_uploadfile&channelid=1", "XT_Manage_ArticleUpload",
       "当前位置：文章管理>>上传文件管理"},
      {"admin_articlecomment&channelid=1", "XT_Manage_ArticleComment",
       "当前位置：文章管理>>评论管理"},
      {"admin_template&channelid=1", "XT_Manage_Template", "当前位置：文章管理>>模板方案管理"},
      {"admin_templatepage&channelid=0", "XT_Manage_TemplatePage",
       "当前位置：系统管理>>模板页管理"},
      {"admin_skin&channelid=0", "XT_Manage_Skin", "当前位置：系统管理>>风格管理"},
      {"admin_set", "XT_Manage_Set", "当前位置：系统管理 &gt;&gt;基本设置"},
      {"admin_announce", "XT_Manage_Announce", "当前位置：系统管理>>公告管理"},
      {"admin_ad", "XT_Manage_AD", "当前位置：系统管理&gt;&gt;广告管理"},
      {"admin_articlejs&channelid=1", "XT_Manage_ArticleJs", "当前位置：文章管理>>JS文件管理"},
      {"admin_articlenavi&channelid=1", "XT_Manage_ArticleNavi",
       "当前位置：文章管理>>导航菜单管理"},
      {"admin_articlehtml&channelid=1", "XT_Manage_ArticleHtml",
       "当前位置：文章管理&gt;&gt;生成管理"},
      {"admin_defaulthtml", "XT_Manage_DefaultHtml", "当前位置：系统管理&gt;&gt;网站首页生成管理"},
      {"admin_articlecollect&channelid=1", "XT_Manage_ArticleCollect",
       "当前位置：文章管理&gt;&gt;自动采集"},
      {"admin_articlecollectset&channelid=1", "XT_Manage_ArticleCollectSet",
       "当前位置：文章管理&gt;&gt;采集设置"},
  };
  return pages;
}

TEST(Access, SignedOutBrowserIsSentToTheLoginPage) {
  ConsoleSite site;
  for (const GuardedPage& page : GuardedPages()) {
    SCOPED_TRACE(page.m);
    HttpAnswer answer = site.Get(std::string("/admin.asp?m=") + page.m);
    EXPECT_EQ(answer.status, 302);
    EXPECT_EQ(answer.Header("location"), "admin.asp?m=admin_login");
  }
}

TEST(Access, AdministratorWithoutTheCodeIsSentToTheErrorPage) {
  ConsoleSite site;
  // Holds every code but the page's own.
  std::vector<std::string> all;
  for (const GuardedPage& page : GuardedPages()) all.push_back(page.code);
  for (const GuardedPage& page : GuardedPages()) {
    SCOPED_TRACE(page.m);
    std::string name = "u" + std::to_string(&page - GuardedPages().data());
    std::vector<std::string> codes;
    for (const std::string& code : all) {
      if (code != page.code) codes.push_back(code);
    }
    site.Add(AdminRow{.name = name, .rights = codes});
    site.ClearCookies();
    ASSERT_EQ(site.SignIn(name, "password1").status, 302);
    HttpAnswer answer = site.Get(std::string("/admin.asp?m=") + page.m);
    EXPECT_EQ(answer.status, 302);
    EXPECT_EQ(answer.Header("location"), "?m=admin_error&errnum=1");
  }
}

TEST(Access, AdministratorWithOnlyTheCodeSeesThePage) {
  ConsoleSite site;
  for (const GuardedPage& page : GuardedPages()) {
    SCOPED_TRACE(page.m);
    std::string name = "v" + std::to_string(&page - GuardedPages().data());
    site.Add(AdminRow{.name = name, .rights = {page.code}});
    site.ClearCookies();
    ASSERT_EQ(site.SignIn(name, "password1").status, 302);
    HttpAnswer answer = site.Get(std::string("/admin.asp?m=") + page.m);
    EXPECT_EQ(answer.status, 200);
    EXPECT_TRUE(Contains(answer.text, page.shows)) << answer.text;
  }
}

// A session is signed in only while its account is in the table: deleted in the database (as
// another host's console does), the account's session reaches no page, those without a code
// included, its upload stores nothing, and it is signed out.
TEST(Access, SessionOfADeletedAccountReachesNothing) {
  ConsoleSite site;
  const std::string upload = "uploadfile&action=save&type=IMAGE&field=myform.d_src&lm=AD";
  const std::string body =
      "--b1\r\nContent-Disposition: form-data; name=\"uploadfile\"; filename=\"a.gif\"\r\n"
      "Content-Type: image/gif\r\n\r\nGIF89a\r\n--b1--\r\n";
  const std::vector<std::string> pages = {"admin_main",
                                          "admin_index",
                                          "admin_menu",
                                          "uploadfile&type=IMAGE&lm=AD&field=f.x",
                                          "admin_selectmore&channelid=1&flag=1&field=f.x",
                                          upload};
  for (const std::string& m : pages) {
    SCOPED_TRACE(m);
    site.Add(AdminRow{.name = "temp", .rights = {"XT_Manage_Main"}});
    site.ClearCookies();
    ASSERT_EQ(site.SignIn("temp", "password1").status, 302);
    // Its grants stay: the account alone is gone.
    site.Sql("delete from Vantrel_Admin where d_name = 'temp'");
    HttpAnswer answer =
        m == upload ? site.PostRaw("/admin.asp?m=" + m, body, "multipart/form-data; boundary=b1")
                    : site.Get("/admin.asp?m=" + m);
    EXPECT_EQ(answer.status, 302);
    EXPECT_EQ(answer.Header("location"), "admin.asp?m=admin_login");
    EXPECT_TRUE(Contains(site.Get("/admin.asp").text, "name=\"loginform\""));
  }
  EXPECT_FALSE(std::filesystem::exists(site.Disk("Uploads")) &&
               !std::filesystem::is_empty(site.Disk("Uploads")));
  // Signed in again under a new account of the same name, the session reaches its pages.
  site.Add(AdminRow{.name = "temp", .rights = {"XT_Manage_Main"}});
  ASSERT_EQ(site.SignIn("temp", "password1").status, 302);
  EXPECT_EQ(site.Get("/admin.asp?m=admin_main").status, 200);
  EXPECT_EQ(site.PostRaw("/admin.asp?m=" + upload, body, "multipart/form-data; boundary=b1").status,
            200);
  EXPECT_FALSE(std::filesystem::is_empty(site.Disk("Uploads")));
}

// The pop-ups of the console forms ask for a signed-in administrator and no code.
TEST(Access, PopUpsNeedOnlyASignIn) {
  ConsoleSite site;
  site.Add(AdminRow{.name = "bare", .rights = {}});
  for (const char* m : {"uploadfile&channelid=1&type=ARTICLE&lm=ARTICLE&field=f.x",
                        "admin_selectmore&channelid=1&flag=1&field=f.x"}) {
    SCOPED_TRACE(m);
    site.ClearCookies();
    EXPECT_EQ(site.Get(std::string("/admin.asp?m=") + m).Header("location"),
              "admin.asp?m=admin_login");
    ASSERT_EQ(site.SignIn("bare", "password1").status, 302);
    EXPECT_EQ(site.Get(std::string("/admin.asp?m=") + m).status, 200);
  }
}

TEST(Access, UnguardedPagesOpenWithoutSigningIn) {
  ConsoleSite site;
  EXPECT_EQ(site.Get("/admin.asp?m=admin_login").status, 200);
  EXPECT_EQ(site.Get("/admin.asp?m=admin_error&errnum=1").status, 200);
  // An empty m leads to the login page while signed out and to the frame set once signed in.
  EXPECT_TRUE(Contains(site.Get("/admin.asp").text, "name=\"loginform\""));
  ASSERT_EQ(site.SignInAsAdmin().status, 302);
  EXPECT_TRUE(Contains(site.Get("/admin.asp").text, "<frameset"));
}

}  // namespace
}  // namespace folirex::testing
