// The server environment check through the host: this server's variables, the
// component names this program stands in for (and every other name absent), the
// speed row and the look-up form.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sqlite3.h>

#include <string>

#include "console_site.h"
#include "core/article_keywords.h"
#include "core/search_structures.h"
#include "platform/db/connection.h"

namespace folirex::testing {
namespace {

const char kAbsent[] = "<td align=left>&nbsp;<font color=red><b>×</b></font></td></tr>";
const char kPresent[] = "<td align=left>&nbsp;<font class=fonts><b>√</b></font> <a title='";

// The row of one component name, from its name to the end of the row.
std::string RowOf(const std::string& page, const std::string& prog_id) {
  size_t begin = page.find("<tr><td align=left>&nbsp;" + prog_id + "<font");
  if (begin == std::string::npos) return "";
  return page.substr(begin, page.find("</tr>", begin) + 5 - begin);
}

class ServerCheckTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(site_.SignInAsAdmin().status, 302); }
  std::string Page() { return site_.Get("/admin.asp?m=admin_servercheck").text; }
  ConsoleSite site_;
};

TEST_F(ServerCheckTest, ServerVariablesDescribeThisServer) {
  std::string page = Page();
  EXPECT_TRUE(Contains(page, "当前位置：系统管理&gt;&gt;远程服务器环境检测"));
  EXPECT_TRUE(Contains(page, "<tr><th colspan=2>服务器的有关参数</th></tr>"));
  EXPECT_TRUE(Contains(page, "<tr><td>&nbsp;服务器名</td><td>&nbsp;127.0.0.1</td></tr>"));
  EXPECT_TRUE(Contains(page, "<tr><td>&nbsp;服务器IP</td><td>&nbsp;127.0.0.1</td></tr>"));
  EXPECT_TRUE(Contains(page, "<tr><td>&nbsp;服务器端口</td><td>&nbsp;" +
                                 std::to_string(site_.port()) + "</td></tr>"));
  EXPECT_TRUE(Contains(page, "<tr><td>&nbsp;IIS版本</td><td>&nbsp;Folirex</td></tr>"));
  EXPECT_TRUE(Contains(page, "<tr><td>&nbsp;脚本超时时间</td><td>&nbsp;90 秒</td></tr>"));
  std::string path = (site_.root() / "admin.asp").string();
  EXPECT_TRUE(Contains(page, "<tr><td>&nbsp;本文件路径</td><td>&nbsp;" + path + "</td></tr>"))
      << page;
  EXPECT_TRUE(Contains(page, "<td>&nbsp;服务器时间</td><td>&nbsp;20"));
  // The processor count and the system name come from the machine.
  size_t cpu = page.find("<tr><td>&nbsp;服务器CPU数量</td><td>&nbsp;");
  ASSERT_NE(cpu, std::string::npos);
  std::string cpus =
      page.substr(cpu + std::string("<tr><td>&nbsp;服务器CPU数量</td><td>&nbsp;").size());
  EXPECT_GT(std::stoi(cpus), 0);
  EXPECT_TRUE(Contains(page, "<tr><td>&nbsp;服务器操作系统</td><td>&nbsp;"));
  EXPECT_FALSE(Contains(page, "<tr><td>&nbsp;服务器操作系统</td><td>&nbsp;</td>"));
}

TEST_F(ServerCheckTest, HostHeaderIsEncodedInTheServerName) {
  // A raw request whose Host header carries markup.
  httplib::Client client("127.0.0.1", site_.port());
  httplib::Headers headers = {{"Host", "<b>evil</b>"}};
  for (const auto& [name, value] : site_.cookies()) {
    headers.emplace("Cookie", name + "=" + value);
  }
  auto answer = client.Get("/admin.asp?m=admin_servercheck", headers);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  EXPECT_EQ(answer->body.find("<b>evil</b>"), std::string::npos);
  EXPECT_NE(answer->body.find("&lt;b&gt;evil&lt;/b&gt;"), std::string::npos);
}

TEST_F(ServerCheckTest, ComponentTablesShowTheStandInsAndNothingElse) {
  std::string page = Page();
  for (const char* title :
       {"IIS自带的ASP组件", "常见的文件上传和管理组件", "常见的收发邮件组件", "图像处理组件"}) {
    EXPECT_TRUE(Contains(page, std::string("<tr><th colspan=2>") + title + "</th></tr>"));
  }
  EXPECT_EQ(CountOf(page,
                    "<tr><td width=320>组 件 名 称</td><td "
                    "width=130>支持及版本</td></tr>"),
            4);
  EXPECT_LT(page.find("IIS自带的ASP组件"), page.find("MSWC.AdRotator"));
  EXPECT_LT(page.find("adodb.connection"), page.find("常见的文件上传和管理组件"));
  EXPECT_LT(page.find("W3Image.Image"), page.find("ASP脚本解释和运算速度测试"));

  // The file-system and database objects are this program's own.
  EXPECT_EQ(RowOf(page, "Scripting.FileSystemObject"),
            "<tr><td align=left>&nbsp;Scripting.FileSystemObject<font "
            "color=#888888>&nbsp;"
            "(FSO 文本文件读写)</font></td><td align=left>&nbsp;<font "
            "class=fonts><b>√</b>"
            "</font> <a title='Folirex'>Folirex</a></td></tr>");
  // A version longer than 11 characters shows its start, the whole in the
  // title.
  std::string sqlite = std::string("SQLite ") + sqlite3_libversion();
  ASSERT_GT(sqlite.size(), 11u);
  EXPECT_EQ(RowOf(page, "adodb.connection"),
            "<tr><td align=left>&nbsp;adodb.connection<font "
            "color=#888888>&nbsp;(ADO 数据对象)"
            "</font></td>" +
                std::string(kPresent) + sqlite + "'>" + sqlite.substr(0, 11) + "</a></td></tr>");
  // Every other name is absent, the mail ones too while no mail server is set
  // up.
  EXPECT_EQ(RowOf(page, "MSWC.AdRotator"),
            "<tr><td align=left>&nbsp;MSWC.AdRotator<font "
            "color=#888888>&nbsp;</font></td>" +
                std::string(kAbsent));
  for (const char* absent : {"Persits.Upload.1", "JMail.SmtpMail", "CDONTS.NewMail",
                             "SoftArtisans.ImageGen", "W3Image.Image"}) {
    EXPECT_TRUE(Contains(RowOf(page, absent), kAbsent)) << absent;
  }
  EXPECT_EQ(CountOf(page, kPresent), 2);
  EXPECT_EQ(CountOf(page, kAbsent), 24);
}

TEST_F(ServerCheckTest, MailComponentIsPresentOnceMailIsSetUp) {
  site_.Sql("update Vantrel_Config set d_selectedmailflag = 2");
  std::string page = Page();
  EXPECT_TRUE(Contains(RowOf(page, "CDONTS.NewMail"), std::string(kPresent) + "libcurl"));
  EXPECT_TRUE(Contains(RowOf(page, "JMail.SmtpMail"), kAbsent));
  EXPECT_EQ(CountOf(page, kPresent), 3);
  EXPECT_EQ(CountOf(page, kAbsent), 23);
}

TEST_F(ServerCheckTest, SpeedRowAndTestFormFollowTheTables) {
  std::string page = Page();
  EXPECT_TRUE(Contains(page,
                       "<tr><td height=18>中国频道虚拟主机（2005-02-02 14:30）</td>"
                       "<td>187.5 毫秒</td></tr>"));
  size_t mine = page.find("<font color=red>您正在使用的这台服务器</font></td><td><font color=red>");
  ASSERT_NE(mine, std::string::npos);
  size_t at = page.find("<font color=red>", mine + 20) + std::string("<font color=red>").size();
  std::string time = page.substr(at, page.find(" 毫秒", at) - at);
  EXPECT_FALSE(time.empty());
  EXPECT_EQ(time.find_first_not_of("0123456789."), std::string::npos) << time;
  EXPECT_GE(std::stod(time), 0.0);

  EXPECT_TRUE(Contains(page,
                       "其他组件支持情况检测，在下面的输入框中输入你要检"
                       "测的组件的ProgId或ClassId。"));
  EXPECT_TRUE(Contains(page, "<form name=form1 method=post action='?m=admin_servercheck'"));
  EXPECT_TRUE(Contains(page, "name=classname size=40>"));
  EXPECT_TRUE(Contains(page, "value=' 确 定 ' class=backc name=check>"));
  // A first visit has no result table.
  EXPECT_FALSE(Contains(page, "您指定的组件的检查结果"));
}

TEST_F(ServerCheckTest, NamedTestLooksTheNameUpInTheRegistry) {
  HttpAnswer present =
      site_.Post("/admin.asp?m=admin_servercheck", {{"classname", "  vbscript.regexp  "}});
  EXPECT_TRUE(Contains(present.text, "<tr><th>您指定的组件的检查结果</th></tr>"));
  EXPECT_TRUE(Contains(present.text,
                       "<tr><td><font class=red>恭喜！该服务器支持 vbscript.regexp 组件。"
                       "该组件版本是：PCRE2 "));

  HttpAnswer absent =
      site_.Post("/admin.asp?m=admin_servercheck", {{"classname", "Shell.Application"}});
  EXPECT_TRUE(Contains(absent.text,
                       "<tr><td><font color=red>很遗憾，该服务器不支持 Shell.Application 组件！"
                       "</font></td></tr>"));

  // A class id, or anything else typed, is only looked up, and shown encoded.
  HttpAnswer markup =
      site_.Post("/admin.asp?m=admin_servercheck", {{"classname", "<img src=x onerror=alert(1)>"}});
  EXPECT_TRUE(Contains(markup.text, "不支持 &lt;img src=x onerror=alert(1)&gt; 组件！"));
  EXPECT_FALSE(Contains(markup.text, "<img src=x"));

  // Blanks only, or the name in the query string, give no result table.
  EXPECT_FALSE(Contains(site_.Post("/admin.asp?m=admin_servercheck", {{"classname", "   "}}).text,
                        "您指定的组件的检查结果"));
  EXPECT_FALSE(Contains(site_.Get("/admin.asp?m=admin_servercheck&classname=adodb.connection").text,
                        "您指定的组件的检查结果"));
}

// The row of the search's indexes says how far their build is, as the database says: on a site
// with more articles than are indexed at once, not begun until a build runs (here on a connection
// of its own, as another host's would), then ready.
TEST(ServerCheckSearchIndexTest, TheSearchIndexRowSaysHowFarTheBuildIs) {
  ConsoleSite site;
  const int64_t first = site.Add(ArticleRow{.title = "经济", .content = "<p>城市</p>"});
  site.Sql(
      "with recursive n(i) as (select 1 union all select i + 1 from n where i < " +
      std::to_string(kArticlesIndexedAtOnce) +
      ") insert into Vantrel_Article (d_title, d_content, d_channelid, d_classid, d_author, "
      "d_inputer, d_addtime, d_checked, d_deleted) select d_title || i, d_content, d_channelid, "
      "d_classid, d_author, d_inputer, d_addtime, d_checked, d_deleted from Vantrel_Article, n "
      "where d_id = " +
      std::to_string(first));
  ASSERT_EQ(site.SignInAsAdmin().status, 302);
  auto row = [&site] {
    const std::string page = site.Get("/admin.asp?m=admin_servercheck").text;
    const std::string label = "<tr><td>&nbsp;全文检索索引</td><td>&nbsp;";
    const size_t at = page.find(label);
    if (at == std::string::npos) return std::string("(no row)");
    const size_t begin = at + label.size();
    return page.substr(begin, page.find("</td>", begin) - begin);
  };
  EXPECT_EQ(row(), "正在后台建立，已完成 0%（其间搜索照常，只是较慢）");

  Connection builder;
  builder.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
               (site.root() / site.settings().DBPath).string() + ";");
  ASSERT_TRUE(BuildSearchStructures(builder));
  EXPECT_EQ(row(), "已建立");
}

// The row of the keywords' index says whether it is being built after the server listened (here
// on a connection of its own, as serve's build thread has) or ready.
TEST(ServerCheckSearchIndexTest, TheKeywordIndexRowSaysWhetherItIsBeingBuilt) {
  ConsoleSite site;
  site.Add(ArticleRow{.title = "经济", .keyword = "|城市|"});
  ASSERT_EQ(site.SignInAsAdmin().status, 302);
  auto row = [&site] {
    const std::string page = site.Get("/admin.asp?m=admin_servercheck").text;
    const std::string label = "<tr><td>&nbsp;相关文章索引</td><td>&nbsp;";
    const size_t at = page.find(label);
    if (at == std::string::npos) return std::string("(no row)");
    const size_t begin = at + label.size();
    return page.substr(begin, page.find("</td>", begin) - begin);
  };
  Connection builder;
  builder.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
               (site.root() / site.settings().DBPath).string() + ";");
  ArticleKeywordIndexBuild build(builder, site.caches().keyword_index);
  EXPECT_EQ(row(), "正在后台建立（其间文章页照常，相关文章较慢）");
  EXPECT_TRUE(build.Run());
  EXPECT_EQ(row(), "已建立");
}

}  // namespace
}  // namespace folirex::testing
