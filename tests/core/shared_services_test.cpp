// The services every page shares: configuration and dates, the console frame and the rights
// check, the script answers and mail.
#include <gtest/gtest.h>

#include <string>

#include "console/admin_frame.h"
#include "console/admin_login.h"
#include "core/database.h"
#include "core/md5.h"
#include "core/messages.h"
#include "core/site_config.h"
#include "support/site_fixture.h"
#include "support/smtp_sink.h"

namespace folirex::testing {
namespace {

// Console pages run in-process with the body given by the test as their module.
class ServicesTest : public ::testing::Test {
 protected:
  SiteFixture site_;
};

TEST_F(ServicesTest, LoadConfigPublishesTheInstallPathAndBuildsLogoAndBanner) {
  site_.Sql(
      "update Vantrel_Config set d_installdir='/site', d_url='', d_logo='Images/Logo.SWF', "
      "d_logowidth=100, d_logoheight=50, d_banner='top.gif', d_bannerwidth=468, "
      "d_bannerheight=60, d_showadminlink=0, d_defaultfileext=2");
  RequestState seen;
  site_.InConsole([&seen](RequestState& s) {
    seen.site.SiteUrl = s.site.SiteUrl;
    seen.site.SiteLogo = s.site.SiteLogo;
    seen.site.SiteBanner = s.site.SiteBanner;
    seen.site.AdminLoginLink = s.site.AdminLoginLink;
    seen.site.DefaultFileExt = s.site.DefaultFileExt;
  });
  EXPECT_EQ(site_.runner().application().Get("server_path").ToString(), "/site/");
  EXPECT_EQ(seen.site.SiteUrl.ToString(), "/site/");
  EXPECT_NE(seen.site.SiteLogo.find("<param name=movie value='Images/Logo.SWF'>"),
            std::string::npos);
  EXPECT_NE(seen.site.SiteLogo.find("width='100' height='50'"), std::string::npos);
  EXPECT_EQ(seen.site.SiteBanner, "<img src='top.gif' border=0 width='468' height='60'>");
  EXPECT_EQ(seen.site.AdminLoginLink, "");
  EXPECT_EQ(seen.site.DefaultFileExt, ".shtml");

  site_.Sql("update Vantrel_Config set d_installdir='/site/', d_showadminlink=-1");
  site_.InConsole([&seen](RequestState& s) { seen.site.AdminLoginLink = s.site.AdminLoginLink; });
  EXPECT_EQ(site_.runner().application().Get("server_path").ToString(), "/site/");
  EXPECT_EQ(seen.site.AdminLoginLink,
            "<a class='other_link' href='/site/admin.asp'>管理员登陆</a> |");

  site_.Sql("update Vantrel_Config set d_installdir=''");
  site_.InConsole([](RequestState&) {});
  EXPECT_EQ(site_.runner().application().Get("server_path").ToString(), "/");
}

TEST_F(ServicesTest, DateValuesDescribeTheDayAndItsWeekAndMonth) {
  site_.runner().NewRequest("/admin.asp");
  HostObjects host;
  host.Application = &site_.runner().application();
  InitDateValues(host, DateTime{2026, 12, 5, 0, 0, 0});  // a Saturday
  Application& app = site_.runner().application();
  EXPECT_EQ(app.Get("date_chinese").ToString(), "2026年12月05日&nbsp;星期六");
  EXPECT_EQ(app.Get("date_daystart").ToString(), "2026-12-05 00:00:00");
  EXPECT_EQ(app.Get("date_weekstart").ToString(), "2026-11-29 00:00:00");
  EXPECT_EQ(app.Get("date_monthstart").ToString(), "2026-12-01 00:00:00");

  InitDateValues(host, DateTime{2026, 12, 6, 0, 0, 0});  // a Sunday starts its own week
  EXPECT_EQ(app.Get("date_weekstart").ToString(), "2026-12-06 00:00:00");

  InitDateValues(host, DateTime{2026, 1, 1, 0, 0, 0});  // the week began in the last year
  EXPECT_EQ(app.Get("date_weekstart").ToString(), "2025-12-28 00:00:00");
  EXPECT_EQ(app.Get("date_chinese").ToString(), "2026年01月01日&nbsp;星期四");

  // The same day again leaves the values alone.
  app.Set("date_chinese", "kept");
  InitDateValues(host, DateTime{2026, 1, 1, 0, 0, 0});
  EXPECT_EQ(app.Get("date_chinese").ToString(), "kept");
}

TEST_F(ServicesTest, GetChannelPathGivesTheFolderOrTheInstallPath) {
  std::string path, dir, missing, missing_dir, current_dir;
  int64_t statements_for_repeat = -1;
  site_.InConsole([&](RequestState& s) {
    s.channel.ChannelDir = "current/";
    path = GetChannelPath(s.host, s.db, s.caches, 1);
    dir = GetChannelFolder(s.host, s.db, s.caches, 1).dir;
    ChannelFolder none = GetChannelFolder(s.host, s.db, s.caches, 999);
    missing = none.path;
    missing_dir = none.dir;
    int64_t before = s.db.Conn->statement_count();
    EXPECT_EQ(GetChannelFolder(s.host, s.db, s.caches, 1).dir, dir)
        << "a repeated lookup gives the folder again";
    statements_for_repeat = s.db.Conn->statement_count() - before;
    current_dir = s.channel.ChannelDir;
  });
  EXPECT_EQ(statements_for_repeat, 0) << "a channel's folder is read once per request";
  std::string folder = site_.SqlValue("select d_channeldir from Vantrel_Channel where d_id=1");
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(path, "/" + folder + "/");
  EXPECT_EQ(dir, folder + "/");
  EXPECT_EQ(missing, "/");
  EXPECT_EQ(missing_dir, "");
  EXPECT_EQ(current_dir, "current/") << "the current channel's settings are left alone";
}

TEST_F(ServicesTest, ConsoleFrameMarkupAndFooterClosesTheDatabase) {
  bool closed = false;
  site_.InConsole([&closed](RequestState& s) {
    AdminHeader(s);
    AdminNavi(s, "当前位置：系统管理&gt;&gt;基本设置");
    AdminFooter(s);
    closed = !s.db.Conn->IsOpen();
  });
  std::string body = site_.RequestBody();
  EXPECT_EQ(body.rfind("<html><head><meta http-equiv='Content-Type' content='text/html; "
                       "charset=gb2312'><title>管理平台</title>",
                       0),
            0u);
  EXPECT_NE(body.find("<link href=\"admin/admin.css\" rel=stylesheet type=text/css>"),
            std::string::npos);
  EXPECT_NE(body.find("<table border=0 cellspacing=1 align=center class=navi><tr><th>"
                      "当前位置：系统管理&gt;&gt;基本设置</th></tr></table>"),
            std::string::npos);
  EXPECT_EQ(body.substr(body.size() - 14), "</body></html>");
  EXPECT_TRUE(closed);
}

TEST_F(ServicesTest, CheckPrivilegeIsAnExactMatchOfTheSignedInAccountAndCode) {
  const int64_t editor = site_.Add(AdminRow{.name = "editor", .rights = {"XT_Manage_Set"}});
  site_.Add(AdminRow{.name = "other", .rights = {"XT_Manage_ChannelSet"}});
  // The rights are the account's (User_ID), whatever name the session holds.
  auto check = [this, editor](const std::string& user, const std::string& code) {
    bool passed = false;
    site_.runner().NewRequest("/admin.asp");
    if (user.empty()) {
      site_.runner().session().Remove("User_Code");
    } else {
      site_.runner().session().Set("User_Code", user);
      site_.runner().session().Set("User_ID", editor);
      site_.runner().session().Set(kSessionAccountStamp,
                                   AccountStamp("editor", MD5(AdminRow{}.password)));
    }
    site_.InConsole([&](RequestState& s) {
      CheckPrivilege(s, code);
      passed = true;
    });
    return passed ? std::string("passed") : HeaderOf(site_.runner().response(), "Location");
  };
  EXPECT_EQ(check("editor", "XT_Manage_Set"), "passed");
  EXPECT_EQ(check("editor", "XT_Manage_ChannelSet"), "?m=admin_error&errnum=1");
  EXPECT_EQ(check("other", "XT_Manage_ChannelSet"), "?m=admin_error&errnum=1");
  EXPECT_EQ(check("", "XT_Manage_Set"), "admin.asp?m=admin_login");
}

TEST_F(ServicesTest, AlertBackEndsThePageAndClosesTheDatabase) {
  bool went_on = false;
  bool closed = false;
  site_.InConsole([&](RequestState& s) {
    Alert(s, "一");
    GoUrl(s, "x.asp");
    try {
      AlertBack(s, "提示：出错了！");
    } catch (const ResponseEnd&) {
      closed = !s.db.Conn->IsOpen();
      throw;
    }
    went_on = true;
  });
  EXPECT_FALSE(went_on);
  EXPECT_TRUE(closed);
  EXPECT_EQ(site_.RequestBody(),
            "<script language=javascript>alert('一')</script>"
            "<script language=javascript>location.href='x.asp'</script>"
            "<script language=javascript>alert('提示：出错了！\\n\\n系统将自动返回前一页面..."
            "');history.back();</script>");
}

class MailTest : public ServicesTest {
 protected:
  std::string Send(const std::string& to) {
    std::string result;
    site_.InConsole([&](RequestState& s) {
      s.site.LocalMailServer = "127.0.0.1:" + std::to_string(sink_.port());
      result = SendMail(s.db, s.site, "来自朋友的推荐", "<b>好文章</b>", to);
    });
    return result;
  }
  SmtpSink sink_;
};

TEST_F(MailTest, NoMailServiceSendsNothing) {
  site_.Sql("update Vantrel_Config set d_selectedmailflag=0");
  EXPECT_EQ(Send("friend@example.com"), "由于系统没有设置发送邮件组件，所以发送邮件失败。");
  EXPECT_EQ(sink_.ConnectionCount(), 0);
}

TEST_F(MailTest, TheMachinesMailServiceDeliversTheHtmlMail) {
  site_.Sql(
      "update Vantrel_Config set d_selectedmailflag=1, d_email='news@example.com', "
      "d_name='新闻网'");
  EXPECT_EQ(Send("friend@example.com"),
            "一封注册邮件已发往friend@example.com的信箱中，请注意查收。");
  auto mails = sink_.Messages();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].mail_from, "news@example.com");
  EXPECT_EQ(mails[0].rcpt_to, std::vector<std::string>{"friend@example.com"});
  EXPECT_EQ(mails[0].DecodedHeader("Subject"), "来自朋友的推荐");
  EXPECT_NE(mails[0].DecodedBody().find("<b>好文章</b>"), std::string::npos);
}

TEST_F(MailTest, TheConfiguredAccountIsUsedAndARefusalIsReported) {
  site_.Sql("update Vantrel_Config set d_selectedmailflag=2, d_mailserver='127.0.0.1:" +
            std::to_string(sink_.port()) +
            "', d_mailuser='sender@example.com', d_mailpassword='secret'");
  sink_.RequireAuth("sender@example.com", "secret");
  EXPECT_EQ(Send("a@example.com"), "一封注册邮件已发往a@example.com的信箱中，请注意查收。");
  ASSERT_EQ(sink_.Messages().size(), 1u);
  EXPECT_EQ(sink_.Messages()[0].auth_user, "sender@example.com");

  sink_.RefuseRecipient("b@example.com");
  std::string refused = Send("b@example.com");
  EXPECT_EQ(refused.rfind("由于系统出错邮件未发出。", 0), 0u) << refused;
  EXPECT_EQ(sink_.Messages().size(), 1u);

  site_.Sql("update Vantrel_Config set d_selectedmailflag=7");
  EXPECT_EQ(Send("a@example.com").rfind("由于系统出错邮件未发出。", 0), 0u)
      << "an unknown mail setting is not a success";
}

}  // namespace
}  // namespace folirex::testing
