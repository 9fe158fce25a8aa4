// Comments: posting to classes with and without approval, the checks of a post, the comment
// page, the ListComment chip and the comment-list script with its paging, the encoding of what
// readers type, and the bounds and the form a post must come in.
#include "site/comments.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <string>
#include <utility>
#include <vector>

#include "core/public_request.h"
#include "support/site_fixture.h"

namespace folirex::testing {
namespace {

using Form = std::vector<std::pair<std::string, std::string>>;

class CommentsTest : public ::testing::Test {
 protected:
  CommentsTest() {
    open_class_ = site_.Add(ClassRow{.name = "开放", .dir = "open", .comments = true});
    checked_class_ = site_.Add(
        ClassRow{.name = "审核", .dir = "checked", .comments = true, .comments_checked = true});
    closed_class_ = site_.Add(ClassRow{.name = "关闭", .dir = "closed"});
  }

  // Posts a comment through the host; the answer's text.
  std::string Post(int article, const Form& form, int channel = 1) {
    return site_
        .Post("/asp.asp?m=comment&flag=1&articleid=" + std::to_string(article) +
                  "&channelid=" + std::to_string(channel),
              form)
        .text;
  }

  static Form Comment(const std::string& name, const std::string& text,
                      const std::string& score = "5", const std::string& email = "") {
    return {{"d_name", name}, {"d_email", email}, {"d_score", score}, {"d_content", text}};
  }

  std::string StoredCount(int article) {
    return site_.SqlValue("select count(*) from Vantrel_ArticleComment where d_infoid = " +
                          std::to_string(article));
  }

  std::string CommentCount() {
    return site_.SqlValue("select d_commentcount from Vantrel_Channel where d_id = 1");
  }

  // The comment-list script's answer, through the host.
  std::string List(int article, const std::string& count, const std::string& page_type = "content",
                   const std::string& more = "") {
    return site_.Page("/asp.asp?m=commentlist&articleid=" + std::to_string(article) +
                      "&pagetype=" + page_type + "&parameter=" + count + "&channelid=1" + more);
  }

  SiteFixture site_;
  int open_class_ = 0;
  int checked_class_ = 0;
  int closed_class_ = 0;
};

TEST_F(CommentsTest, PostsAreStoredApprovedOrAwaitingApprovalByTheirClass) {
  int open = site_.Add(ArticleRow{.title = "开放文章", .content = "x", .class_id = open_class_});
  int checked =
      site_.Add(ArticleRow{.title = "审核文章", .content = "x", .class_id = checked_class_});
  int no_class = site_.Add(ArticleRow{.title = "无分类", .content = "x", .class_id = 0});
  const std::string thanks =
      "<script>alert('评论成功，请等待我们审核！');location.href='asp.asp?m=comment&articleid=";

  std::string answer = Post(open, Comment("读者'甲;", "写得好", "5", "reader@example.com"));
  EXPECT_EQ(answer, thanks + std::to_string(open) + "&channelid=1'</script>");
  EXPECT_EQ(site_.SqlValue("select d_username || '|' || d_email || '|' || d_score || '|' || "
                           "d_comment || '|' || d_checked || '|' || d_usertype || '|' || d_ip || "
                           "'|' || d_channelid from Vantrel_ArticleComment where d_infoid = " +
                           std::to_string(open)),
            "读者甲|reader@example.com|5|写得好|-1|0|127.0.0.1|1");
  // Listed at once.
  EXPECT_NE(List(open, "0").find("写得好"), std::string::npos);

  // The same answer when the comment waits for approval; it is not listed.
  EXPECT_EQ(Post(checked, Comment("乙", "等待审核")),
            thanks + std::to_string(checked) + "&channelid=1'</script>");
  EXPECT_EQ(site_.SqlValue("select d_checked from Vantrel_ArticleComment where d_infoid = " +
                           std::to_string(checked)),
            "0");
  EXPECT_NE(List(checked, "0").find("暂时没有评论数据！"), std::string::npos);

  // An article in no class takes comments for approval.
  EXPECT_EQ(Post(no_class, Comment("丙", "无分类评论")),
            thanks + std::to_string(no_class) + "&channelid=1'</script>");
  EXPECT_EQ(site_.SqlValue("select d_checked from Vantrel_ArticleComment where d_infoid = " +
                           std::to_string(no_class)),
            "0");
  EXPECT_EQ(CommentCount(), "3");

  // After approval the comment shows.
  site_.Sql("update Vantrel_ArticleComment set d_checked = -1");
  EXPECT_NE(List(checked, "0").find("等待审核"), std::string::npos);
}

TEST_F(CommentsTest, RefusedPostsStoreNothing) {
  int open = site_.Add(ArticleRow{.title = "开放文章", .content = "x", .class_id = open_class_});
  int closed = site_.Add(ArticleRow{.title = "关闭", .content = "x", .class_id = closed_class_});
  int orphan = site_.Add(ArticleRow{.title = "孤儿", .content = "x", .class_id = 9999});
  struct Case {
    int article;
    Form form;
    const char* message;
  };
  std::vector<Case> cases = {
      {closed, Comment("甲", "内容"), "提示：本分类不允许评论！"},
      {orphan, Comment("甲", "内容"), "提示：参数错误！"},
      {open + 1000, Comment("甲", "内容"), "提示：文章ID错误！"},
      {open, Comment("", "内容"), "提示：请填写名字！"},
      {open, Comment("'';;", "内容"), "提示：请填写名字！"},
      {open, Comment("甲", "内容", "5", "a@@b.com"), "提示：邮件格式不对！"},
      {open, Comment("甲", "内容", "5", "a@b.info"), "提示：邮件格式不对！"},
      {open, Comment("甲", "内容", ""), "提示：评分请用数字！"},
      {open, Comment("甲", "内容", "05"), "提示：评分请用数字！"},
      {open, Comment("甲", "内容", "-1"), "提示：评分请用数字！"},
      {open, Comment("甲", "内容", "99999999999999999999"), "提示：评分请用数字！"},
      {open, Comment("甲", "   "), "提示：请填写内容！"},
  };
  for (const Case& c : cases) {
    std::string answer = Post(c.article, c.form);
    EXPECT_NE(answer.find(std::string("alert('") + c.message), std::string::npos)
        << c.message << ": " << answer;
    EXPECT_NE(answer.find("history.back()"), std::string::npos);
  }
  // An id that is not a number never reaches the database.
  std::string answer = site_
                           .Post("/asp.asp?m=comment&flag=1&articleid=1%20or%201=1&channelid=1",
                                 Comment("甲", "内容"))
                           .text;
  EXPECT_NE(answer.find("提示：文章ID错误！"), std::string::npos);
  EXPECT_EQ(site_.SqlValue("select count(*) from Vantrel_ArticleComment"), "0");
  EXPECT_EQ(CommentCount(), "0");
}

TEST_F(CommentsTest, TheListScriptPagesApprovedCommentsNewestFirst) {
  int article = site_.Add(ArticleRow{.title = "文章", .content = "x", .class_id = open_class_});
  int other = site_.Add(ArticleRow{.title = "别的", .content = "x", .class_id = open_class_});
  for (int i = 1; i <= 8; ++i) {
    site_.Add(CommentRow{.article = article,
                         .name = "读者" + std::to_string(i),
                         .text = "评论" + std::to_string(i),
                         .add_time = "2024-01-0" + std::to_string(i) + " 10:00:00"});
  }
  site_.Add(CommentRow{.article = article,
                       .name = "未审",
                       .text = "未审核的",
                       .add_time = "2024-02-01 10:00:00",
                       .checked = false});
  site_.Add(CommentRow{
      .article = other, .name = "别人", .text = "别的文章的", .add_time = "2024-02-01 10:00:00"});

  std::string page1 = List(article, "0");
  // Six a page, newest first, as script lines.
  EXPECT_EQ(CountOf(page1, "<table align=center class='commentlist' width='98%'>"), 6);
  EXPECT_LT(page1.find("评论8"), page1.find("评论7"));
  EXPECT_EQ(page1.find("评论2"), std::string::npos);
  EXPECT_EQ(page1.find("未审核的"), std::string::npos);
  EXPECT_EQ(page1.find("别的文章的"), std::string::npos);
  EXPECT_NE(page1.find("<p align=right>"), std::string::npos);
  EXPECT_NE(page1.find("asp.asp?m=comment&amp;articleid=" + std::to_string(article) +
                       "&amp;channelid=1&amp;Page=2"),
            std::string::npos)
      << page1;
  EXPECT_EQ(page1.rfind("document.write(\"", 0), 0u);
  EXPECT_NE(
      page1.find("评论人：[读者8]&nbsp;&nbsp;评论时间：2024-1-8 10:00:00&nbsp;&nbsp;评分：3 分"),
      std::string::npos);

  std::string page2 = List(article, "0", "content", "&page=2");
  EXPECT_EQ(CountOf(page2, "class='commentlist'"), 2);
  EXPECT_NE(page2.find("评论2"), std::string::npos);
  EXPECT_NE(page2.find("评论1"), std::string::npos);

  // A fixed number: at most that many, no page bar.
  std::string three = List(article, "3");
  EXPECT_EQ(CountOf(three, "class='commentlist'"), 3);
  EXPECT_EQ(three.find("<p align=right>"), std::string::npos);
  EXPECT_EQ(CountOf(List(article, "50"), "class='commentlist'"), 8);

  // The comment page type works in any letter case; other page types and bad values give
  // nothing.
  EXPECT_EQ(CountOf(List(article, "3", "COMMENT"), "class='commentlist'"), 3);
  EXPECT_EQ(List(article, "3", "print"), "");
  EXPECT_EQ(List(article, "03"), "");
  EXPECT_EQ(List(article, "-1"), "");
  EXPECT_EQ(site_.Page("/asp.asp?m=commentlist&articleid=1%20or%201=1&pagetype=content&"
                       "parameter=3&channelid=1"),
            "");

  EXPECT_EQ(List(site_.Add(ArticleRow{.title = "空", .content = "x"}), "0"),
            "document.write(\"暂时没有评论数据！\");\r\n");
}

TEST_F(CommentsTest, ReadersTextIsShownAsTextAndTheScriptStaysWhole) {
  int article = site_.Add(ArticleRow{.title = "文章", .content = "x", .class_id = open_class_});
  Post(article, Comment("<b>坏人</b>", "第一行\r\n\"</script><script>alert(1)</script>\\", "4",
                        "x@example.com"));
  site_.Add(CommentRow{.article = article,
                       .name = "读者",
                       .text = "有回复的",
                       .add_time = "2020-01-01 00:00:00",
                       .reply = "谢谢<i>支持</i>"});

  std::string script = List(article, "0");
  EXPECT_EQ(script.find("<b>坏人"), std::string::npos) << script;
  EXPECT_NE(script.find("&lt;b&gt;坏人&lt;/b&gt;"), std::string::npos);
  EXPECT_EQ(script.find("<script>"), std::string::npos);
  EXPECT_NE(script.find("&lt;/script&gt;"), std::string::npos);
  // The comment's CR LF became an escaped CR and a <br>: each line is one whole statement.
  for (const std::string& line : {std::string("document.write(\""), std::string("\");")}) {
    EXPECT_NE(script.find(line), std::string::npos);
  }
  size_t start = 0;
  while (start < script.size()) {
    size_t end = script.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    std::string line = script.substr(start, end - start);
    EXPECT_EQ(line.rfind("document.write(\"", 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - 3), "\");") << line;
    EXPECT_EQ(line.find('\r'), std::string::npos);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    start = end + 2;
  }
  EXPECT_NE(script.find("第一行\\r<br>&quot;"), std::string::npos);
  // A reply follows its comment, encoded too.
  EXPECT_NE(
      script.find("<br>★ 管理员『admin』于 2024-5-6 7:08:09 回复道：  谢谢&lt;i&gt;支持&lt;/i&gt;"),
      std::string::npos);
  // The address is stored, never shown.
  EXPECT_EQ(script.find("x@example.com"), std::string::npos);
}

TEST_F(CommentsTest, TheChipGivesTheListScriptTagAndCarriesTheCommentPageNumber) {
  int article = site_.Add(ArticleRow{.title = "文章", .content = "x", .class_id = open_class_});
  std::string content_tag, comment_tag, paged_tag, print_tag, bad_tag;
  site_.InRequest([&](RequestState& state) {
    content_tag = ShowCommentListJs(state, state.channel, "0", "content", article);
    comment_tag = ShowCommentListJs(state, state.channel, "3", "comment", article);
    print_tag = ShowCommentListJs(state, state.channel, "3", "print", article);
    bad_tag = ShowCommentListJs(state, state.channel, "3", "content", ParseId("1x"));
  });
  const std::string a = std::to_string(article);
  EXPECT_EQ(content_tag,
            "<script language='javascript' src='/Article/asp.asp?m=commentlist&articleid=" + a +
                "&pagetype=content&parameter=0&channelid=1'></script>");
  EXPECT_EQ(comment_tag,
            "<script language='javascript' src='/Article/asp.asp?m=commentlist&articleid=" + a +
                "&pagetype=comment&parameter=3&channelid=1'></script>");
  EXPECT_EQ(print_tag, "");
  EXPECT_EQ(bad_tag, "");

  // The comment page reached through the list's page bar lists the page asked for.
  site_.InRequest(
      [&](RequestState& state) {
        paged_tag = ShowCommentListJs(state, state.channel, "0", "comment", article);
      },
      1, "&page=3");
  EXPECT_NE(paged_tag.find("&channelid=1&page=3'></script>"), std::string::npos);
  site_.InRequest(
      [&](RequestState& state) {
        paged_tag = ShowCommentListJs(state, state.channel, "0", "comment", article);
      },
      1, "&page=x'");
  EXPECT_EQ(paged_tag.find("page="), std::string::npos);
}

TEST_F(CommentsTest, TheCommentPageRendersItsTemplateWithTheListChip) {
  site_.SetPage("comment",
                "<h1>{$showarticletitle}</h1><img TemplateChip=\"ListComment:0\" src=x>"
                "<form action='asp.asp?m=comment&flag=1&articleid={$showarticleid}'>");
  int article =
      site_.Add(ArticleRow{.title = "评论页文章", .content = "x", .class_id = open_class_});
  std::string page =
      site_.Page("/asp.asp?m=comment&articleid=" + std::to_string(article) + "&channelid=1&page=2");
  EXPECT_NE(page.find("<h1>评论页文章</h1>"), std::string::npos) << page;
  EXPECT_NE(page.find("asp.asp?m=commentlist&articleid=" + std::to_string(article) +
                      "&pagetype=comment&parameter=0&channelid=1&page=2'></script>"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("m=comment&flag=1&articleid=" + std::to_string(article) + "'"),
            std::string::npos);
}

TEST_F(CommentsTest, PostsAreBoundedAndTakenFromThePostedFormOnly) {
  int open = site_.Add(ArticleRow{.title = "开放文章", .content = "x", .class_id = open_class_});
  auto Repeat = [](const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
  };
  const std::string address50 = Repeat("a", 38) + "@example.com";
  struct Case {
    Form form;
    const char* message;  // nullptr: stored
  };
  std::vector<Case> cases = {
      {Comment(Repeat("名", 51), "内容"), "提示：名字不能超过50个字符！"},
      {Comment("甲", "内容", "5", "a" + address50), "提示：邮件地址不能超过50个字符！"},
      {Comment("甲", Repeat("长", 10001)), "提示：评论内容不能超过10000个字符！"},
      {Comment(Repeat("名", 50), Repeat("长", 10000), "5", address50), nullptr},
  };
  for (const Case& c : cases) {
    std::string answer = Post(open, c.form);
    if (c.message == nullptr) {
      EXPECT_NE(answer.find("评论成功"), std::string::npos) << answer;
    } else {
      EXPECT_NE(answer.find(std::string("alert('") + c.message), std::string::npos)
          << c.message << ": " << answer;
    }
  }
  EXPECT_EQ(StoredCount(open), "1");

  // A link carrying a comment stores nothing; values in the form's address are not the form's.
  const std::string target =
      "/asp.asp?m=comment&flag=1&articleid=" + std::to_string(open) + "&channelid=1";
  EXPECT_NE(site_.Page(target + "&d_name=甲&d_score=5&d_content=链接").find("提示：参数错误！"),
            std::string::npos);
  EXPECT_NE(site_.Post(target + "&d_name=甲&d_score=5&d_content=链接", {})
                .text.find("提示：请填写名字！"),
            std::string::npos);

  // The address stored is the peer's, whatever a header claims.
  httplib::Client client("127.0.0.1", site_.port());
  auto forwarded =
      client.Post(target, {{"X-Forwarded-For", "203.0.113.9"}}, "d_name=x&d_score=1&d_content=y",
                  "application/x-www-form-urlencoded");
  ASSERT_TRUE(forwarded);
  EXPECT_EQ(StoredCount(open), "2");
  EXPECT_EQ(site_.SqlValue("select d_ip from Vantrel_ArticleComment where d_username = 'x'"),
            "127.0.0.1");
  EXPECT_EQ(CommentCount(), "2");
}

TEST_F(CommentsTest, CharactersOutsideTheCodePageAreStoredAsThemselvesMarkupStaysText) {
  int open = site_.Add(ArticleRow{.title = "开放文章", .content = "x", .class_id = open_class_});
  // What a GB2312 page's browser posts for "😀" (and for a reader who typed references).
  Post(open, Comment("笑&#128512;", "好&#x1F600;&#60;b&#62;"));
  EXPECT_EQ(site_.SqlValue("select d_username || '|' || d_comment from Vantrel_ArticleComment"),
            "笑😀|好😀&#60;b&#62;");
  std::string list = List(open, "0");
  EXPECT_NE(list.find("评论人：[笑&#128512;]"), std::string::npos) << list;
  EXPECT_NE(list.find("好&#128512;&amp;#60;b&amp;#62;"), std::string::npos) << list;
}

TEST_F(CommentsTest, TheCommentPageOfAMissingArticleSaysSo) {
  site_.SetPage("comment", "<h1>{$showarticletitle}</h1>");
  int live = site_.Add(ArticleRow{.title = "公开", .content = "x", .class_id = open_class_});
  std::string missing =
      site_.Page("/asp.asp?m=comment&articleid=" + std::to_string(live + 50) + "&channelid=1");
  EXPECT_EQ(missing, site_.Page("/asp.asp?m=content&articleid=" + std::to_string(live + 50) +
                                "&channelid=1"));
  EXPECT_NE(missing.find("alert('传入文章id错误！')"), std::string::npos) << missing;
  EXPECT_NE(site_.Page("/asp.asp?m=comment&articleid=x&channelid=1").find("传入文章id错误"),
            std::string::npos);
}

}  // namespace
}  // namespace folirex::testing
