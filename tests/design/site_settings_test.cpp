// The site settings page through the host: the form (stored values encoded, the mail password
// never shown), the save of the one configuration row and what the public pages show after it
// (site name, logo, banner, rights notice), the logo and banner scripts, the mail settings that
// tell-a-friend sends with (against an SMTP sink), and the refusals that store nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/site_config.h"
#include "core/site_files.h"
#include "design/design_site.h"
#include "support/smtp_sink.h"

namespace folirex::testing {
namespace {

class SiteSettingsTest : public DesignConsoleTest {
 protected:
  void SetUp() override {
    DesignConsoleTest::SetUp();
    if (HasFatalFailure()) return;
    id_ = site_.SqlValue("select d_ID from Vantrel_Config");
    home_page_ = site_.SqlValue("select d_templatepageid from Vantrel_Config");
  }

  // A whole form as the page posts it, with some fields changed.
  Form Fields(const std::map<std::string, std::string>& changed = {}) {
    std::map<std::string, std::string> fields = {
        {"d_name", "新站名"},
        {"d_keyword", "k1,k2"},
        {"d_desc", "描述"},
        {"d_email", "boss@example.com"},
        {"d_address", "地址"},
        {"d_tel", "010-1"},
        {"d_fax", "010-2"},
        {"d_mobile", "139"},
        {"d_postcode", "100000"},
        {"d_copyright", "<b>版权所有</b>"},
        {"d_selectedmailflag", "0"},
        {"d_mailserver", "mail.example.com"},
        {"d_mailuser", "u"},
        {"d_mailpassword", "p"},
        {"d_showadminlink", "1"},
        {"d_enablesoftkey", "1"},
        {"d_installdir", "/"},
        {"d_defaultfileext", "1"},
        {"d_templatepageid", home_page_},
        {"d_logo", "/images/logo.gif"},
        {"d_logowidth", "200"},
        {"d_logoheight", "80"},
        {"d_banner", "/images/Banner.SWF"},
        {"d_Bannerwidth", "468"},
        {"d_Bannerheight", "0070"},
    };
    for (const auto& [name, value] : changed) fields[name] = value;
    return Form(fields.begin(), fields.end());
  }
  HttpAnswer Edit(const Form& form, const std::string& id) {
    return site_.Post("/admin.asp?m=admin_set&action=edit&id=" + id, form);
  }
  std::string Column(const std::string& column) {
    return site_.SqlValue("select " + column + " from Vantrel_Config");
  }

  std::string id_;
  std::string home_page_;
};

TEST_F(SiteSettingsTest, TheFormShowsTheStoredRowEncodedAndNeverThePassword) {
  site_.Sql(
      "update Vantrel_Config set d_name = 'a''b\"<c>', d_installdir = '/x\"y/', d_mailpassword = "
      "'secret-pw', d_selectedmailflag = 7, d_defaultfileext = 9, d_logo = '/l.gif'");
  // The console menu's row opens the page.
  std::string menu = site_.Get("/admin.asp?m=admin_menu").text;
  EXPECT_TRUE(Contains(menu, "<a href=\"?m=admin_set\">网站基本设置</a>")) << menu;

  HttpAnswer answer = site_.Get("/admin.asp?m=admin_set");
  ASSERT_EQ(answer.status, 200);
  const std::string& page = answer.text;
  EXPECT_TRUE(Contains(page, "当前位置：系统管理 &gt;&gt;基本设置"));
  EXPECT_TRUE(Contains(page, "action='?m=admin_set&amp;action=edit&amp;id=" + id_ + "'"));
  EXPECT_TRUE(Contains(page, "name='d_name' size=40 value='a&#39;b&quot;&lt;c&gt;'")) << page;
  EXPECT_TRUE(Contains(page, "name='d_installdir' size=40 value=\"/x&quot;y/\""));
  EXPECT_TRUE(Contains(page, "name='d_logo' size=40 value='/l.gif'"));
  EXPECT_FALSE(Contains(page, "secret-pw"));
  EXPECT_TRUE(Contains(page, "<input type=password name='d_mailpassword' size=40 value=''>"));
  // A flag outside 0 and 1 shows as JMail; an extension outside 0 to 4 checks none.
  EXPECT_TRUE(Contains(page, "name='d_selectedmailflag' value='2' checked>JMail"));
  EXPECT_FALSE(Contains(page, "name='d_defaultfileext' value='0' checked"));
  EXPECT_TRUE(Contains(page, "name='d_showadminlink' value='1' checked>是"));
  EXPECT_TRUE(Contains(page, "<option value=\"" + home_page_ + "\" selected>"));
}

TEST_F(SiteSettingsTest, ASaveUpdatesTheOneRowAndThePublicPagesShowItAtOnce) {
  site_.SetPage("first",
                "<title>{$showpagetitle}</title>|{$showlogo}|{$showbanner}|{$showcopyright}|"
                "{$showadminlogin}|{$showpagekeyword}");
  HttpAnswer saved = Edit(Fields(), id_);
  EXPECT_TRUE(
      Contains(saved.text, "修改成功，如果安装路径有修改，请把原路径下的所有文件拷贝到新目录！"))
      << saved.text;
  EXPECT_EQ(site_.SqlValue("select count(*) from Vantrel_Config"), "1");
  EXPECT_EQ(Column("d_name"), "新站名");
  EXPECT_EQ(Column("d_showadminlink"), "-1");
  EXPECT_EQ(Column("d_defaultfileext"), "1");
  // The mail values go only with the JMail flag; a size with a leading zero takes the default.
  EXPECT_EQ(Column("d_mailserver"), "");
  EXPECT_EQ(Column("d_mailpassword"), "");
  EXPECT_EQ(Column("d_bannerheight"), "60");

  const std::string logo = "<img src='/images/logo.gif' border=0 width='200' height='80'>";
  const std::string banner = MediaHtml("/images/Banner.SWF", "468", "60");
  EXPECT_TRUE(Contains(banner, "<embed src='/images/Banner.SWF'"));
  EXPECT_EQ(site_.FileText("Js/ShowLogo.js"), HtmlToJsWrite(logo));
  EXPECT_EQ(site_.FileText("Js/ShowBanner.js"), HtmlToJsWrite(banner));

  std::string page = site_.Page("/asp.asp");
  EXPECT_TRUE(
      Contains(page, "<title>新站名</title>|" + logo + "|" + banner +
                         "|<b>版权所有</b>|<a class='other_link' href='/admin.asp'>管理员登陆"
                         "</a> ||k1,k2"))
      << page;

  // The copyright line is stored without script, the rest as typed.
  Edit(Fields({{"d_copyright",
                "<b onmouseover=\"fetch('admin.asp')\">版权</b><script>x()</script>"
                "<a href=\"http://a.cn/\">a</a>"}}),
       id_);
  EXPECT_EQ(Column("d_copyright"), "<b>版权</b><a href=\"http://a.cn/\">a</a>");

  // The first save's action on a table that has its row updates that row.
  HttpAnswer again = site_.Post("/admin.asp?m=admin_set&action=add",
                                Fields({{"d_name", "第二次"}, {"d_showadminlink", "0"}}));
  EXPECT_TRUE(Contains(again.text, "修改成功")) << again.text;
  EXPECT_EQ(site_.SqlValue("select count(*) from Vantrel_Config"), "1");
  EXPECT_EQ(Column("d_name"), "第二次");
  EXPECT_EQ(Column("d_showadminlink"), "0");

  // The install folder, normalised, is published by the saving request itself.
  Edit(Fields({{"d_installdir", " sub/dir "}}), id_);
  EXPECT_EQ(Column("d_installdir"), "/sub/dir/");
  EXPECT_EQ(site_.application().Get("server_path").ToString(), "/sub/dir/");
}

TEST_F(SiteSettingsTest, TheFirstSaveInsertsTheRowIntoAnEmptyTable) {
  site_.Sql("delete from Vantrel_Config");
  std::string form = site_.Get("/admin.asp?m=admin_set").text;
  EXPECT_TRUE(Contains(form, "action='?m=admin_set&amp;action=add'"));
  EXPECT_TRUE(Contains(form, "name='d_selectedmailflag' value='0' checked>不启用"));
  HttpAnswer saved = site_.Post("/admin.asp?m=admin_set&action=add",
                                Fields({{"d_installdir", "site"}, {"d_logowidth", "x"}}));
  EXPECT_TRUE(Contains(saved.text, "新增成功！")) << saved.text;
  EXPECT_EQ(site_.SqlValue("select count(*) from Vantrel_Config"), "1");
  EXPECT_EQ(Column("d_installdir"), "/site/");
  EXPECT_EQ(Column("d_logowidth"), "160");
  EXPECT_EQ(Column("d_wbname"), "");
  EXPECT_EQ(site_.application().Get("server_path").ToString(), "/site/");
  // The scripts come with the first save of the stored row.
  EXPECT_FALSE(std::filesystem::exists(site_.Disk("Js/ShowLogo.js")));
}

TEST_F(SiteSettingsTest, TellAFriendSendsWithTheSavedMailSettings) {
  SmtpSink sink;
  int article = site_.Add(ArticleRow{.title = "好文章"});
  const std::string server = "127.0.0.1:" + std::to_string(sink.port());
  // One mail an hour goes to one friend about one article: each send has a friend of its own.
  int friends = 0;
  auto tell = [&] {
    std::string to = "friend" + std::to_string(++friends) + "@example.com";
    return site_
        .Post("/asp.asp?m=tellfriend&flag=1&articleid=" + std::to_string(article) + "&channelid=1",
              Form{{"mailto", to}, {"mailtoname", "小王"}})
        .text;
  };
  // A password is stored as typed, blanks and quotes included.
  Edit(Fields({{"d_selectedmailflag", "2"},
               {"d_mailserver", server},
               {"d_mailuser", "site@example.com"},
               {"d_mailpassword", " p'w\" "}}),
       id_);
  EXPECT_EQ(Column("d_mailpassword"), " p'w\" ");
  EXPECT_TRUE(Contains(tell(), "一封注册邮件已发往friend1@example.com"));
  ASSERT_EQ(sink.Messages().size(), 1u);
  EXPECT_EQ(sink.Messages()[0].auth_user, "site@example.com");
  EXPECT_EQ(sink.Messages()[0].auth_password, " p'w\" ");
  EXPECT_EQ(sink.Messages()[0].mail_from, "site@example.com");
  EXPECT_FALSE(Contains(site_.Get("/admin.asp?m=admin_set").text, "p'w"));

  // Saved again with the password field left empty, the password stays.
  Edit(Fields({{"d_selectedmailflag", "2"},
               {"d_mailserver", server},
               {"d_mailuser", "site@example.com"},
               {"d_mailpassword", ""}}),
       id_);
  EXPECT_EQ(Column("d_mailpassword"), " p'w\" ");
  tell();
  ASSERT_EQ(sink.Messages().size(), 2u);
  EXPECT_EQ(sink.Messages()[1].auth_password, " p'w\" ");

  // Without a mail service nothing is sent and the account is cleared.
  Edit(Fields({{"d_selectedmailflag", "0"}}), id_);
  EXPECT_EQ(Column("d_mailserver"), "");
  EXPECT_TRUE(Contains(tell(), "由于系统没有设置发送邮件组件"));
  EXPECT_EQ(sink.Messages().size(), 2u);
}

TEST_F(SiteSettingsTest, BadInputIsRefusedAndNothingIsStored) {
  int other_page = site_.AddTemplatePage("first", "x", 1, 1);
  struct Case {
    std::map<std::string, std::string> fields;
    std::string id;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{}, "x1", "提示：参数错误！"},
      {{}, "999", "提示：参数错误！"},
      {{{"d_name", " "}}, "", "提示：请填写网站名称！"},
      {{{"d_name", std::string(256, 'n')}}, "", "提示：网站名称超过最大长度！"},
      {{{"d_selectedmailflag", "two"}}, "", "提示：参数错误！"},
      {{{"d_selectedmailflag", "2"}, {"d_mailserver", ""}},
       "",
       "提示：请认真填写Jmail的邮件服务器的信息！"},
      {{{"d_selectedmailflag", "2"}, {"d_mailpassword", ""}},
       "",
       "提示：请认真填写Jmail的邮件服务器的信息！"},
      {{{"d_installdir", ""}}, "", "提示：请填写软件的安装目录！"},
      {{{"d_installdir", "/../up/"}},
       "",
       "提示：安装目录只能由字母、数字、下划线、减号、点和“/”组成！"},
      {{{"d_installdir", "/a'b/"}},
       "",
       "提示：安装目录只能由字母、数字、下划线、减号、点和“/”组成！"},
      {{{"d_defaultfileext", "html"}}, "", "提示：请选择首页的文件类型！"},
      {{{"d_templatepageid", ""}}, "", "提示：请选择首页的模板！"},
      {{{"d_templatepageid", std::to_string(other_page)}}, "", "提示：请选择首页的模板！"},
      {{{"d_logo", "/x.gif' onerror='alert(1)"}},
       "",
       "提示：Logo和Banner的文件地址中不能有引号、尖括号和反斜杠！"},
      {{{"d_banner", " JavaScript:alert(1)//.swf"}},
       "",
       "提示：Logo和Banner的文件地址不能使用javascript:、vbscript:或data:地址！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message + " " + c.id);
    HttpAnswer answer = Edit(Fields(c.fields), c.id.empty() ? id_ : c.id);
    EXPECT_EQ(AlertText(answer.text), c.message + kBack);
    EXPECT_EQ(Column("d_name"), "Folirex 新闻网");
  }
  // A plain address changes nothing.
  HttpAnswer get = site_.Get("/admin.asp?m=admin_set&action=edit&id=" + id_ +
                             "&d_name=x&d_installdir=/&d_defaultfileext=0&d_selectedmailflag=0"
                             "&d_templatepageid=" +
                             home_page_);
  EXPECT_EQ(AlertText(get.text), std::string("提示：参数错误！") + kBack);
  EXPECT_EQ(Column("d_name"), "Folirex 新闻网");
  EXPECT_FALSE(std::filesystem::exists(site_.Disk("Js/ShowLogo.js")));
}

TEST_F(SiteSettingsTest, AScriptThatCannotBeWrittenIsReported) {
  // A file where the script folder should be.
  std::ofstream(site_.Disk("Js")) << "not a folder";
  HttpAnswer saved = Edit(Fields(), id_);
  EXPECT_TRUE(
      Contains(saved.text, "设置已保存，但以下文件未能写入：Js/ShowLogo.js、Js/ShowBanner.js"))
      << saved.text;
  EXPECT_FALSE(Contains(saved.text, "修改成功"));
  EXPECT_EQ(Column("d_name"), "新站名");
}

}  // namespace
}  // namespace folirex::testing
