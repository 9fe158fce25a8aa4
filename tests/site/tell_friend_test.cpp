// Tell-a-friend: the form page, the mail delivered to an SMTP sink on 127.0.0.1 with the right
// subject, recipient and link, the checks of the form, header injection through the recipient's
// name or address, the answer's script when the mail fails, and the sending limits.
#include "site/tell_friend.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "site/tell_friend_limits.h"
#include "support/manual_clock.h"
#include "support/site_fixture.h"
#include "support/smtp_sink.h"

namespace folirex::testing {
namespace {

using Form = std::vector<std::pair<std::string, std::string>>;

class TellFriendTest : public ::testing::Test {
 protected:
  TellFriendTest() {
    site_.Sql("update Vantrel_Config set d_selectedmailflag = 2, d_mailserver = '127.0.0.1:" +
              std::to_string(sink_.port()) +
              "', d_mailuser = 'site@example.com', d_mailpassword = 'pw', "
              "d_url = 'http://news.example.com/'");
  }

  // Sends the form through the host; the answer's text.
  std::string Send(int article, const std::string& address, const std::string& name) {
    return site_
        .Post("/asp.asp?m=tellfriend&flag=1&articleid=" + std::to_string(article) + "&channelid=1",
              Form{{"mailto", address}, {"mailtoname", name}})
        .text;
  }

  // The message of the answer's alert, as the script string holds it.
  static std::string AlertText(const std::string& answer) {
    size_t start = answer.find("alert('");
    size_t end = answer.find("');location.href=");
    if (start == std::string::npos || end == std::string::npos) return "<no alert>";
    return answer.substr(start + 7, end - start - 7);
  }

  SmtpSink sink_;
  SiteFixture site_;
};

TEST_F(TellFriendTest, TheFriendGetsTheArticleWithALinkToTheSite) {
  int article = site_.Add(ArticleRow{.title = "好文章",
                                     .content = "<p>第一页</p>[Vantrel_NextPage]<p>第二页</p>",
                                     .pagination = 2});
  std::string answer = Send(article, "friend@example.com", "小王");
  EXPECT_EQ(answer,
            "<script>alert('一封注册邮件已发往friend@example.com的信箱中，请注意查收。');"
            "location.href='asp.asp?m=tellfriend&articleid=" +
                std::to_string(article) + "&channelid=1'</script>");

  std::vector<SmtpReceivedMail> mails = sink_.Messages();
  ASSERT_EQ(mails.size(), 1u);
  const SmtpReceivedMail& mail = mails[0];
  EXPECT_EQ(mail.rcpt_to, std::vector<std::string>{"friend@example.com"});
  EXPECT_EQ(mail.DecodedHeader("Subject"), "小王，您的朋友给您推荐一篇文章，具体内容如下");
  // The subject goes out as encoded words, never as raw bytes.
  EXPECT_NE(mail.Header("Subject").find("=?"), std::string::npos);
  std::string body = mail.DecodedBody();
  EXPECT_NE(body.find("文章的标题是：好文章"), std::string::npos) << body;
  // The whole stored content, pages and all.
  EXPECT_NE(body.find("具体内容是：<p>第一页</p>[Vantrel_NextPage]<p>第二页</p>"),
            std::string::npos);
  EXPECT_NE(body.find("更多内容请访问<a href='http://news.example.com/'>Folirex 新闻网</a>"),
            std::string::npos);
}

// The mail is HTML: the title is text in it.
TEST_F(TellFriendTest, TheMailShowsTheTitleAsText) {
  int article = site_.Add(ArticleRow{.title = "A <b>\"粗\"</b>", .content = "<p>全文</p>"});
  Send(article, "friend@example.com", "小王");
  std::vector<SmtpReceivedMail> mails = sink_.Messages();
  ASSERT_EQ(mails.size(), 1u);
  const std::string body = mails[0].DecodedBody();
  EXPECT_NE(body.find("文章的标题是：A &lt;b&gt;&quot;粗&quot;&lt;/b&gt;"), std::string::npos)
      << body;
  EXPECT_NE(body.find("具体内容是：<p>全文</p>"), std::string::npos) << body;
}

TEST_F(TellFriendTest, RecycledUnapprovedAndMissingArticlesAreNotMailed) {
  int hidden =
      site_.Add(ArticleRow{.title = "回收", .content = "x", .checked = false, .deleted = true});
  EXPECT_EQ(AlertText(Send(hidden, "a@example.com", "甲")), "获取文章信息失败，发送邮件失败！");
  EXPECT_EQ(sink_.Messages().size(), 0u);
  int live = site_.Add(ArticleRow{.title = "公开", .content = "y"});
  EXPECT_EQ(AlertText(Send(live, "a@example.com", "甲")),
            "一封注册邮件已发往a@example.com的信箱中，请注意查收。");
  EXPECT_EQ(sink_.Messages().size(), 1u);

  EXPECT_EQ(AlertText(Send(hidden + 100, "a@example.com", "甲")),
            "获取文章信息失败，发送邮件失败！");
  EXPECT_EQ(AlertText(site_
                          .Post("/asp.asp?m=tellfriend&flag=1&articleid=1%20or%201=1&channelid=1",
                                Form{{"mailto", "a@example.com"}, {"mailtoname", "甲"}})
                          .text),
            "获取文章信息失败，发送邮件失败！");
  EXPECT_EQ(sink_.Messages().size(), 1u);
}

TEST_F(TellFriendTest, TheFormIsCheckedBeforeAnythingIsSent) {
  int article = site_.Add(ArticleRow{.title = "文章"});
  struct Case {
    std::string address;
    std::string name;
    const char* message;
  };
  std::vector<Case> cases = {
      {"a@example.com", "", "提示：收件人不能为空！"},
      {"a@example.com", "'\";", "提示：收件人不能为空！"},
      {"a@example.com", "\r\n", "提示：收件人不能为空！"},
      {"", "甲", "提示：收件人邮件不能为空！"},
      {"a@b@example.com", "甲", "提示：邮件格式不对！"},
      {"a@example.info", "甲", "提示：邮件格式不对！"},
      {"a@example.com\r\nBcc: evil@example.com", "甲", "提示：邮件格式不对！"},
  };
  for (const Case& c : cases) {
    std::string answer = Send(article, c.address, c.name);
    EXPECT_NE(answer.find(std::string("alert('") + c.message), std::string::npos)
        << c.message << ": " << answer;
    EXPECT_NE(answer.find("history.back()"), std::string::npos);
  }
  EXPECT_EQ(sink_.ConnectionCount(), 0);
}

TEST_F(TellFriendTest, ALineBreakInTheNameAddsNoHeader) {
  int article = site_.Add(ArticleRow{.title = "文章"});
  Send(article, "friend@example.com", "小王\r\nBcc: evil@example.com\r\nX-Evil: 1");
  std::vector<SmtpReceivedMail> mails = sink_.Messages();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].HeaderCount("Bcc"), 0);
  EXPECT_EQ(mails[0].HeaderCount("X-Evil"), 0);
  EXPECT_EQ(mails[0].rcpt_to, std::vector<std::string>{"friend@example.com"});
  EXPECT_EQ(mails[0].DecodedHeader("Subject"),
            "小王Bcc: evil@example.comX-Evil: 1，您的朋友给您推荐一篇文章，具体内容如下");
}

TEST_F(TellFriendTest, AFailedMailIsReportedInAScriptThatStillRuns) {
  int article = site_.Add(ArticleRow{.title = "文章"});
  sink_.RefuseRecipient("nobody@example.com");
  std::string answer = Send(article, "nobody@example.com", "甲");
  std::string text = AlertText(answer);
  EXPECT_EQ(text.rfind("由于系统出错邮件未发出。", 0), 0u) << answer;
  // Whatever the server said, the alert's string holds no raw quote, line break or tag.
  for (size_t i = 0; i < text.size(); ++i) {
    EXPECT_NE(text[i], '\n');
    EXPECT_NE(text[i], '\r');
    EXPECT_NE(text[i], '<');
    if (text[i] == '\'') {
      EXPECT_EQ(text[i - 1], '\\');
    }
  }
  EXPECT_TRUE(sink_.Messages().empty());

  // No mail service configured: said so.
  site_.Sql("update Vantrel_Config set d_selectedmailflag = 0");
  EXPECT_EQ(AlertText(Send(article, "a@example.com", "甲")),
            "由于系统没有设置发送邮件组件，所以发送邮件失败。");
}

TEST_F(TellFriendTest, WithoutTheFlagTheFormPageIsRendered) {
  site_.SetPage("tellfriend",
                "<title>{$showpagetitle}</title><b>{$showarticletitle}</b>"
                "<form action='asp.asp?m=tellfriend&flag=1&articleid={$showarticleid}'>");
  int article = site_.Add(ArticleRow{.title = "推荐的文章"});
  std::string page =
      site_.Page("/asp.asp?m=tellfriend&articleid=" + std::to_string(article) + "&channelid=1");
  EXPECT_NE(page.find("<b>推荐的文章</b>"), std::string::npos) << page;
  EXPECT_NE(page.find("<title>Folirex 新闻网</title>"), std::string::npos);
  EXPECT_NE(page.find("flag=1&articleid=" + std::to_string(article) + "'"), std::string::npos);
  EXPECT_TRUE(sink_.Messages().empty());
}

TEST_F(TellFriendTest, SendingIsLimitedPerClientAndPerRecipient) {
  auto clock = std::make_shared<ManualClock>();
  site_.application().Shared<TellFriendLimits>(TellFriendLimits::kSharedName).SetClock(clock);
  int article = site_.Add(ArticleRow{.title = "文章"});
  int other = site_.Add(ArticleRow{.title = "另一篇"});
  const std::string sent = "一封注册邮件已发往";
  const std::string too_fast = "提示：发送邮件太频繁，请过一分钟再试！";
  const std::string again = "提示：这篇文章刚刚推荐给这个邮箱，请过一小时再试！";

  // Five mails in a minute from one address; the sixth waits for the minute to pass.
  for (int i = 1; i <= 5; ++i) {
    std::string answer = Send(article, "f" + std::to_string(i) + "@example.com", "甲");
    EXPECT_EQ(AlertText(answer).rfind(sent, 0), 0u) << answer;
    clock->Advance(std::chrono::seconds(5));
  }
  std::string refused = Send(article, "f6@example.com", "甲");
  EXPECT_NE(refused.find("alert('" + too_fast), std::string::npos) << refused;
  EXPECT_EQ(sink_.Messages().size(), 5u);
  clock->Advance(std::chrono::seconds(36));  // a minute after the first
  EXPECT_EQ(AlertText(Send(article, "f6@example.com", "甲")).rfind(sent, 0), 0u);

  // One recipient gets one article once an hour (letter case of the address aside).
  clock->Advance(std::chrono::minutes(2));
  std::string twice = Send(article, "F1@Example.com", "甲");
  EXPECT_NE(twice.find("alert('" + again), std::string::npos) << twice;
  EXPECT_EQ(AlertText(Send(other, "f1@example.com", "甲")).rfind(sent, 0), 0u);
  EXPECT_EQ(sink_.Messages().size(), 7u);
  clock->Advance(std::chrono::hours(1));
  EXPECT_EQ(AlertText(Send(article, "f1@example.com", "甲")).rfind(sent, 0), 0u);
  EXPECT_EQ(sink_.Messages().size(), 8u);
}

TEST_F(TellFriendTest, OnlyABoundedPostedFormSends) {
  int article = site_.Add(ArticleRow{.title = "文章"});
  const std::string address50 = std::string(38, 'a') + "@example.com";
  EXPECT_NE(
      Send(article, "a@example.com", std::string(51, 'n')).find("提示：收件人不能超过50个字符！"),
      std::string::npos);
  EXPECT_NE(Send(article, "a" + address50, "甲").find("提示：收件人邮件不能超过50个字符！"),
            std::string::npos);
  // A link with the friend's address sends nothing, nor do values in the form's address.
  const std::string target =
      "/asp.asp?m=tellfriend&flag=1&articleid=" + std::to_string(article) + "&channelid=1";
  EXPECT_NE(site_.Page(target + "&mailto=a@example.com&mailtoname=甲").find("提示：参数错误！"),
            std::string::npos);
  EXPECT_NE(site_.Post(target + "&mailto=a@example.com&mailtoname=甲", {})
                .text.find("提示：收件人不能为空！"),
            std::string::npos);
  EXPECT_EQ(sink_.ConnectionCount(), 0);
  EXPECT_EQ(AlertText(Send(article, address50, std::string(50, 'n'))),
            "一封注册邮件已发往" + address50 + "的信箱中，请注意查收。");
}

TEST_F(TellFriendTest, ThePageOfAMissingArticleSaysSo) {
  int article = site_.Add(ArticleRow{.title = "文章"});
  std::string missing = site_.Page(
      "/asp.asp?m=tellfriend&articleid=" + std::to_string(article + 50) + "&channelid=1");
  EXPECT_EQ(missing, site_.Page("/asp.asp?m=content&articleid=" + std::to_string(article + 50) +
                                "&channelid=1"));
  EXPECT_NE(missing.find("alert('传入文章id错误！')"), std::string::npos) << missing;
}

}  // namespace
}  // namespace folirex::testing
