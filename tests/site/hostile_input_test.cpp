// Requests a visitor can make by hand against the public pages: articles in the recycle bin or
// waiting for approval reached through the comment and tell-a-friend pages, odd or hostile
// request values (a NUL among them), which must answer a page or an alert and never fail the
// request, and bodies meant to exhaust the server's memory, which are refused unread.
#include <gtest/gtest.h>
#include <httplib.h>

#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/host/host_fixture.h"
#include "platform/text/codepage.h"
#include "support/site_fixture.h"
#include "support/smtp_sink.h"

namespace folirex::testing {
namespace {

using Form = std::vector<std::pair<std::string, std::string>>;

class HiddenArticleTest : public ::testing::Test {
 protected:
  HiddenArticleTest() {
    site_.Sql("update Vantrel_Config set d_selectedmailflag = 2, d_mailserver = '127.0.0.1:" +
              std::to_string(sink_.port()) +
              "', d_mailuser = 'site@example.com', d_mailpassword = 'pw'");
    site_.SetPage("comment", "<title>{$ShowArticleTitle}</title>{$ShowArticleContent}");
    site_.SetPage("tellfriend", "<title>{$ShowArticleTitle}</title>{$ShowArticleContent}");
    int open_class = site_.Add(ClassRow{.name = "开放", .dir = "open", .comments = true});
    live_ =
        site_.Add(ArticleRow{.title = "公开标题", .content = "公开正文", .class_id = open_class});
    recycled_ = site_.Add(ArticleRow{
        .title = "回收标题", .content = "回收正文", .class_id = open_class, .deleted = true});
    unapproved_ = site_.Add(ArticleRow{
        .title = "待审标题", .content = "待审正文", .class_id = open_class, .checked = false});
  }

  std::string Page(const std::string& m, int article) {
    return site_.Page("/asp.asp?m=" + m + "&articleid=" + std::to_string(article) + "&channelid=1");
  }

  std::string PostComment(int article) {
    return site_
        .Post("/asp.asp?m=comment&flag=1&articleid=" + std::to_string(article) + "&channelid=1",
              Form{{"d_name", "甲"}, {"d_email", ""}, {"d_score", "5"}, {"d_content", "评论"}})
        .text;
  }

  std::string SendToFriend(int article) {
    return site_
        .Post("/asp.asp?m=tellfriend&flag=1&articleid=" + std::to_string(article) + "&channelid=1",
              Form{{"mailto", "friend@example.com"}, {"mailtoname", "乙"}})
        .text;
  }

  SmtpSink sink_;
  SiteFixture site_;
  int live_ = 0;
  int recycled_ = 0;
  int unapproved_ = 0;
};

TEST_F(HiddenArticleTest, CommentAndTellFriendPagesShowOnlyArticlesOnTheSite) {
  for (const char* m : {"comment", "tellfriend"}) {
    std::string shown = Page(m, live_);
    EXPECT_NE(shown.find("公开标题"), std::string::npos) << m << ": " << shown;
    EXPECT_NE(shown.find("公开正文"), std::string::npos) << m;
    for (int hidden : {recycled_, unapproved_}) {
      std::string page = Page(m, hidden);
      EXPECT_EQ(page.find("回收"), std::string::npos) << m << ": " << page;
      EXPECT_EQ(page.find("待审"), std::string::npos) << m << ": " << page;
      EXPECT_EQ(page, Page(m, unapproved_ + 100)) << m << ": not the answer to a missing article";
    }
  }
}

TEST_F(HiddenArticleTest, CommentsAreTakenOnlyForArticlesOnTheSite) {
  EXPECT_NE(PostComment(live_).find("评论成功"), std::string::npos);
  for (int hidden : {recycled_, unapproved_}) {
    std::string answer = PostComment(hidden);
    EXPECT_NE(answer.find("提示：文章ID错误！"), std::string::npos) << answer;
    EXPECT_EQ(site_.SqlValue("select count(*) from Vantrel_ArticleComment where d_infoid = " +
                             std::to_string(hidden)),
              "0");
  }
  EXPECT_EQ(site_.SqlValue("select count(*) from Vantrel_ArticleComment"), "1");
  EXPECT_EQ(site_.SqlValue("select d_commentcount from Vantrel_Channel where d_id = 1"), "1");
}

TEST_F(HiddenArticleTest, OnlyArticlesOnTheSiteAreMailed) {
  EXPECT_NE(SendToFriend(live_).find("一封注册邮件已发往friend@example.com"), std::string::npos);
  ASSERT_EQ(sink_.Messages().size(), 1u);
  for (int hidden : {recycled_, unapproved_}) {
    std::string answer = SendToFriend(hidden);
    EXPECT_NE(answer.find("获取文章信息失败，发送邮件失败！"), std::string::npos) << answer;
  }
  EXPECT_EQ(sink_.Messages().size(), 1u);
  EXPECT_EQ(sink_.Messages()[0].DecodedBody().find("回收正文"), std::string::npos);
}

TEST_F(HiddenArticleTest, ANulInAnyValueGetsTheParameterMessage) {
  const std::string message = "alert('提示：参数错误！";
  for (const std::string& target : std::vector<std::string>{
           "/asp.asp?m=search&searchtype=d_title&searchkeyword=a%00b&channelid=1",
           "/asp.asp?m=content&articleid=" + std::to_string(live_) + "%00&channelid=1",
           "/asp.asp?m%00=content"}) {
    HttpAnswer answer = site_.Get(target);
    EXPECT_EQ(answer.status, 200) << target;
    EXPECT_NE(answer.text.find(message), std::string::npos) << target << ": " << answer.text;
  }
  HttpAnswer posted =
      site_.Post("/asp.asp?m=comment&flag=1&articleid=" + std::to_string(live_) + "&channelid=1",
                 Form{{"d_name", "甲"}, {"d_score", "5"}, {"d_content", std::string("前\0后", 7)}});
  EXPECT_NE(posted.text.find(message), std::string::npos) << posted.text;
  EXPECT_EQ(site_.SqlValue("select count(*) from Vantrel_ArticleComment"), "0");

  httplib::Client client("127.0.0.1", site_.port());
  auto cookie = client.Get("/asp.asp?m=content&articleid=" + std::to_string(live_),
                           {{"Cookie", "theme=a%00b"}});
  ASSERT_TRUE(cookie);
  EXPECT_EQ(cookie->status, 200);
  EXPECT_NE(GbkToUtf8(cookie->body).find(message), std::string::npos);
}

// A page without a body, asked for while other clients are sending: it must come (the bound is
// generous; what matters is that it is not stuck behind them).
void ExpectAPageMeanwhile(int port) {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(5, 0);
  auto page = client.Get("/asp.asp");
  ASSERT_TRUE(page) << "no page while the bodies were coming";
  EXPECT_EQ(page->status, 200);
}

TEST(PublicBodies, HugeFormBodiesAreRefusedUnreadAndTheServerStaysSmall) {
  SiteFixture site;
  const size_t size = 63u << 20;
  const std::string form =
      "POST /asp.asp?m=comment&flag=1 HTTP/1.1\r\nHost: a\r\n"
      "Content-Type: application/x-www-form-urlencoded\r\n";
  std::vector<std::future<int>> posts;
  for (int i = 0; i < 8; ++i) {
    posts.push_back(std::async(std::launch::async, [&] {
      return SendBodyBlindly(site.port(),
                             form + "Content-Length: " + std::to_string(size) + "\r\n\r\n", "a&",
                             size)
          .status;
    }));
  }
  // The same without a length: counted while it comes.
  std::string chunk = "8000\r\n" + std::string(0x8000, 'a') + "\r\n";
  RawAnswer chunked =
      SendBodyBlindly(site.port(), form + "Transfer-Encoding: chunked\r\n\r\n", chunk, size);
  ExpectAPageMeanwhile(site.port());
  for (auto& post : posts) EXPECT_EQ(post.get(), 413);
  EXPECT_EQ(chunked.status, 413);
  EXPECT_NE(GbkToUtf8(chunked.body).find("提交的内容太大。"), std::string::npos);
  EXPECT_LT(ProcessMemoryKb("VmHWM"), 200 * 1024);
  EXPECT_EQ(site.SqlValue("select count(*) from Vantrel_ArticleComment"), "0");
}

// MaxBodyMemory in the site's settings file bounds the bodies in flight together, by the bytes
// that came: bodies without an account take at most an eighth of it, and one past that is told
// to come back, without being read; a request without a body still passes.
TEST(PublicBodies, BodiesPastTheMemoryBudgetAreToldToComeBack) {
  SiteFixture site;
  site.Stop();
  std::ofstream(site.root() / "folirex.conf", std::ios::app) << "MaxBodyMemory = 1 MB\n";
  site.Start();
  const std::string head =
      "POST /asp.asp HTTP/1.1\r\nHost: a\r\nContent-Type: application/x-www-form-urlencoded\r\n"
      "Content-Length: 65536\r\n";
  // Two visitors send all of the largest public body but its last byte: together they hold the
  // 128 KB that bodies without an account may take.
  std::vector<int> held;
  for (int i = 0; i < 2; ++i) {
    held.push_back(ConnectLoopback(site.port()));
    SendAll(held.back(), head + "\r\n" + std::string(65535, 'a'));
  }
  // Asked by heads that send nothing, so that they hold nothing themselves.
  RawAnswer busy;
  for (int i = 0; i < 250 && busy.status != 503; ++i) {
    if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    busy = RawExchange(site.port(), head + "Expect: 100-continue\r\n\r\n");
  }
  EXPECT_EQ(busy.status, 503);
  EXPECT_NE(busy.head.find("Retry-After: 5"), std::string::npos);
  EXPECT_NE(GbkToUtf8(busy.body).find("服务器正忙，请稍后再试。"), std::string::npos);
  ExpectAPageMeanwhile(site.port());
  // Once they give up, a body is taken again.
  for (int fd : held) close(fd);
  int status = 0;
  for (int i = 0; i < 50 && status != 200; ++i) {
    status = RawExchange(site.port(), head + "\r\n" + std::string(65536, 'a')).status;
    if (status != 200) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(status, 200);
}

}  // namespace
}  // namespace folirex::testing
