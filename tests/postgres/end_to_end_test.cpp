// The same end-to-end subset on both database forms: a site made by `folirex init` (a SQLite file,
// or an empty PostgreSQL database through ODBC) and served by `folirex serve`: the public pages,
// sign-in to the console, the article lists, and a comment posted and shown. Every case runs on
// SQLite; on PostgreSQL when ./test.sh has started its cluster.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "both_forms_site.h"
#include "platform/db/connection.h"

namespace folirex::testing {
namespace {

namespace fsys = std::filesystem;

class EndToEndTest : public BothFormsSiteTest {
 protected:
  EndToEndTest() : BothFormsSiteTest(Console::kSignedOut) {}

  // A class that takes comments without approval and two approved articles (the second pinned
  // and hot), written in the pages' dialect through the database layer.
  void Seed() override {
    Connection conn;
    conn.Open(ConnectionString());
    conn.Execute(
        "insert into Vantrel_ArticleClass (d_channelid, d_pid, d_name, d_dir, d_child, d_level, "
        "d_order, d_rootid, d_path, d_commentflag, d_commentcheckflag) values (1, 0, '国内新闻', "
        "'china', 0, 0, 1, 1, '1,', true, false)");
    conn.Execute(
        "insert into Vantrel_Article (d_channelid, d_classid, d_title, d_author, d_content, "
        "d_checked, d_deleted, d_addtime, d_showcommentlink, d_keyword) values (1, 1, "
        "'第一篇文章', "
        "'作者甲', '<p>正文内容一</p>', true, false, '2026-01-02 03:04:05', true, '|新闻|')");
    conn.Execute(
        "insert into Vantrel_Article (d_channelid, d_classid, d_title, d_author, d_content, "
        "d_checked, d_deleted, d_addtime, d_topflag, d_hotflag, d_keyword, d_clicktimes) values "
        "(1, 1, 'Second Article', 'B', '<p>body two</p>', true, false, '2026-01-03 03:04:05', "
        "true, true, '|新闻|', 150)");
    conn.Execute(
        "update Vantrel_Channel set d_itemcount = 2, d_itemcountchecked = 2 where d_id = 1");
  }
};

TEST_P(EndToEndTest, PublicPagesShowTheSiteAndItsArticles) {
  HttpAnswer home = site_->Get("/asp.asp");
  ASSERT_EQ(home.status, 200);
  EXPECT_NE(home.text.find("Folirex 新闻网"), std::string::npos);
  EXPECT_NE(home.text.find("第一篇文章"), std::string::npos) << home.text;
  EXPECT_NE(home.text.find("Second Article"), std::string::npos);

  HttpAnswer content = site_->Get("/asp.asp?m=content&articleid=1");
  ASSERT_EQ(content.status, 200);
  EXPECT_NE(content.text.find("<title>第一篇文章"), std::string::npos) << content.text;
  EXPECT_NE(content.text.find("作者甲"), std::string::npos);
  EXPECT_NE(content.text.find("正文内容一"), std::string::npos);
  EXPECT_NE(content.text.find("国内新闻"), std::string::npos);  // the location path

  HttpAnswer print = site_->Get("/asp.asp?m=print&articleid=2");
  EXPECT_EQ(print.status, 200);
  EXPECT_NE(print.text.find("body two"), std::string::npos);
  // A missing article is answered by the page, not by a failure.
  HttpAnswer missing = site_->Get("/asp.asp?m=content&articleid=999");
  EXPECT_EQ(missing.status, 200);
  EXPECT_EQ(missing.text.find("第一篇文章"), std::string::npos);
}

TEST_P(EndToEndTest, SignInOpensTheConsoleAndIsLogged) {
  EXPECT_FALSE(site_->SignIn("admin", password_ + "x"));
  ASSERT_TRUE(site_->SignIn("Admin", password_));
  HttpAnswer home = site_->Get("/admin.asp?m=admin_main");
  EXPECT_NE(home.text.find("系统主页面"), std::string::npos) << home.text;
  HttpAnswer log = site_->Get("/admin.asp?m=admin_loginlog");
  EXPECT_EQ(log.status, 200);
  EXPECT_NE(log.text.find("127.0.0.1"), std::string::npos) << log.text;
  EXPECT_EQ(Value("select d_loginnum from Vantrel_Admin where d_name = 'admin'").ToInt64(), 1);
}

TEST_P(EndToEndTest, ListsShowTheArticlesPinnedFirst) {
  for (const char* page : {"/asp.asp?m=classlist&classid=1", "/asp.asp?m=newlist&channelid=1",
                           "/asp.asp?m=hotlist&channelid=1"}) {
    HttpAnswer list = site_->Get(page);
    ASSERT_EQ(list.status, 200) << page;
    const size_t second = list.text.find("Second Article");
    const size_t first = list.text.find("第一篇文章");
    ASSERT_NE(second, std::string::npos) << page << list.text;
    if (std::string(page).find("hotlist") == std::string::npos) {
      ASSERT_NE(first, std::string::npos) << page;
      EXPECT_LT(second, first) << page << ": the pinned article comes first";
    } else {
      EXPECT_EQ(first, std::string::npos) << page << ": not a hot article";
    }
  }
  // The search compares text without regard to case on both engines.
  HttpAnswer search = site_->Get(
      "/asp.asp?m=search&channelid=1&searchtype=d_title&searchclass=0&searchorder=4&"
      "searchkeyword=SECOND");
  EXPECT_EQ(search.status, 200);
  EXPECT_NE(search.text.find("articleid=2&channelid=1'><font color=red>Second</font> Article"),
            std::string::npos)
      << search.text;
  EXPECT_EQ(search.text.find("第一篇文章"), std::string::npos);
}

TEST_P(EndToEndTest, ACommentIsStoredCountedAndShown) {
  HttpAnswer posted = site_->Post("/asp.asp?m=comment&flag=1&articleid=1&channelid=1",
                                  {{"d_name", "张三"},
                                   {"d_email", "reader@example.com"},
                                   {"d_score", "3"},
                                   {"d_content", "好文章 Nice"}});
  EXPECT_EQ(posted.status, 200);
  EXPECT_NE(posted.text.find("评论成功"), std::string::npos) << posted.text;
  EXPECT_EQ(Value("select count(*) from Vantrel_ArticleComment where d_infoid = 1 and d_checked "
                  "= true and d_username = '张三'")
                .ToInt64(),
            1);
  EXPECT_EQ(Value("select d_commentcount from Vantrel_Channel where d_id = 1").ToInt64(), 1);
  HttpAnswer list =
      site_->Get("/asp.asp?m=commentlist&articleid=1&parameter=5&pagetype=content&channelid=1");
  EXPECT_NE(list.text.find("好文章 Nice"), std::string::npos) << list.text;
  // A comment without a name is refused and stores nothing.
  HttpAnswer refused = site_->Post("/asp.asp?m=comment&flag=1&articleid=1&channelid=1",
                                   {{"d_name", ""}, {"d_score", "3"}, {"d_content", "x"}});
  EXPECT_NE(refused.text.find("请填写名字"), std::string::npos) << refused.text;
  EXPECT_EQ(Value("select count(*) from Vantrel_ArticleComment").ToInt64(), 1);
}

FOLIREX_BOTH_DATABASE_FORMS(BothDatabaseForms, EndToEndTest);

}  // namespace
}  // namespace folirex::testing
