// The related-article list (through the article's keywords and through the keyword library),
// the member ranking and the JS file tag.
#include "site/related_chips.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/public_request.h"
#include "support/site_fixture.h"

namespace folirex::testing {
namespace {

class RelatedChipsTest : public ::testing::Test {
 protected:
  std::string Related(const std::string& chip, int article,
                      const std::string& page_type = "content") {
    std::string html;
    site_.InRequest([&](RequestState& state) {
      html = ShowArticleCorrelative(state, state.channel, chip, page_type, article);
    });
    return html;
  }

  int64_t Keyed(const std::string& title, const std::string& keywords, const std::string& time,
                ArticleRow row = {}) {
    row.title = title;
    row.content = "x";
    row.keyword = keywords;
    row.add_time = time;
    return site_.Add(row);
  }

  static std::string Row(int id, const std::string& title, const std::string& text) {
    return "<tr><td><li><a href='/asp.asp?m=content&channelid=1&articleid=" + std::to_string(id) +
           "' title=\"" + title + "\">" + text + "</a></td></tr>";
  }

  SiteFixture site_;
};

TEST_F(RelatedChipsTest, OwnKeywordsListApprovedArticlesOfTheChannelNewestFirst) {
  int current = Keyed("当前", "|a||b|", "2024-01-01 00:00:00");
  int b = Keyed("共享a", "|a|", "2024-01-02 00:00:00");
  int c = Keyed("共享b的很长的标题文字", "|b|x|", "2024-01-03 00:00:00");
  Keyed("已删除", "|a|", "2024-01-04 00:00:00", {.deleted = true});
  Keyed("未审核", "|a|", "2024-01-05 00:00:00", {.checked = false});
  Keyed("无关", "|c|ab|", "2024-01-06 00:00:00");
  int other_channel = site_.Add(ChannelRow{.name = "其他", .dir = "other"});
  Keyed("别的频道", "|a|", "2024-01-07 00:00:00", {.channel = other_channel});

  // The empty entries of |a||b| are skipped: an article with "||" among its keywords is no match.
  Keyed("空项", "|y||z|", "2024-01-08 00:00:00");
  // Neither is the article itself.
  EXPECT_EQ(Related("listarticlecorrelative:5,0", current),
            "<table width='100%' align=center>" +
                Row(c, "共享b的很长的标题文字", "共享b的很长的标题文字") +
                Row(b, "共享a", "共享a") + "</table>");

  EXPECT_EQ(Related("listarticlecorrelative:1,8", current),
            "<table width='100%' align=center>" + Row(c, "共享b的很长的标题文字", "共享b...") +
                "</table>");
  EXPECT_EQ(Related("ListArticleCorrelative:0,0", current),
            Related("listarticlecorrelative:0,0", current));
  // The whole chip text is the parameter text: a second colon spoils the width.
  EXPECT_EQ(Related("listarticlecorrelative:0,0:extra", current), "");
}

// The counts the block chooses its read by are kept in the caches of the site that served it, not
// in another site's of the same process.
TEST_F(RelatedChipsTest, KeywordCountsAreKeptByTheSiteThatServedThem) {
  int current = Keyed("当前", "|a|", "2024-01-01 00:00:00");
  int b = Keyed("共享a", "|a|", "2024-01-02 00:00:00");
  SiteFixture other;
  ASSERT_EQ(Related("listarticlecorrelative:5,0", current),
            "<table width='100%' align=center>" + Row(b, "共享a", "共享a") + "</table>");
  EXPECT_GT(site_.caches().keyword_counts.entries.size(), 0u);
  EXPECT_EQ(other.caches().keyword_counts.entries.size(), 0u);
}

// A related article's title is text, in the link and in its tool tip, cut or whole.
TEST_F(RelatedChipsTest, RelatedTitlesGoInAsText) {
  int current = Keyed("当前", "|a|", "2024-01-01 00:00:00");
  int other = Keyed("A <b>\"粗\"</b>", "|a|", "2024-01-02 00:00:00");
  const std::string e = "A &lt;b&gt;&quot;粗&quot;&lt;/b&gt;";
  EXPECT_EQ(Related("listarticlecorrelative:5,0", current),
            "<table width='100%' align=center>" + Row(other, e, e) + "</table>");
  EXPECT_EQ(Related("listarticlecorrelative:5,8", current),
            "<table width='100%' align=center>" + Row(other, e, "A &lt;b&gt;...") + "</table>");
}

TEST_F(RelatedChipsTest, NothingToRelateGivesTheEmptyListOrNothing) {
  int current = Keyed("当前", "|a|", "2024-01-01 00:00:00");
  const std::string empty =
      "<table width='100%' align=center><tr><td><li>暂时没有相关文章</td></tr></table>";
  EXPECT_EQ(Related("listarticlecorrelative:5,0", current), empty);
  EXPECT_EQ(Related("listarticlecorrelative:5,0", Keyed("无关键字", "", "2024-01-01 00:00:00")),
            empty);
  EXPECT_EQ(Related("listarticlecorrelative:5,0", Keyed("分隔符", "||", "2024-01-01 00:00:00")),
            empty);
  // A quote in a keyword keeps the query whole.
  int quoted = Keyed("引号", "|it's|", "2024-01-01 00:00:00");
  int match = Keyed("同样", "|it's|", "2024-01-02 00:00:00");
  EXPECT_NE(
      Related("listarticlecorrelative:5,0", quoted).find("articleid=" + std::to_string(match)),
      std::string::npos);

  for (const char* bad : {"listarticlecorrelative:5", "listarticlecorrelative:5,020",
                          "listarticlecorrelative:a,0", "listarticlecorrelative:5,0,1",
                          "listarticlecorrelative", "listarticlecorrelative:99999,0"}) {
    EXPECT_EQ(Related(bad, current), "") << bad;
  }
  EXPECT_EQ(Related("listarticlecorrelative:5,0", current, "classlist"), "");
  EXPECT_EQ(Related("listarticlecorrelative:5,0", current + 100), "");
  std::string html;
  site_.InRequest([&](RequestState& state) {
    html = ShowArticleCorrelative(state, state.channel, "listarticlecorrelative:5,0", "content",
                                  ParseId("1 or 1=1"));
  });
  EXPECT_EQ(html, "");
}

TEST_F(RelatedChipsTest, TheKeywordLibraryListsEachRelatedArticleOnce) {
  for (const char* word : {"经济", "发展", ""}) {
    site_.Add(KeywordRow{.name = word});
  }
  site_.Add(KeywordRow{.name = "体育", .channel = 2});
  int current =
      site_.Add(ArticleRow{.title = "O'Neil的经济发展报告", .content = "x", .relative = true});
  int x = site_.Add(ArticleRow{.title = "经济新闻", .content = "x"});
  int y = site_.Add(ArticleRow{.title = "经济发展论坛", .content = "x"});
  site_.Add(ArticleRow{.title = "体育新闻", .content = "x"});
  site_.Add(ArticleRow{.title = "发展中国家", .content = "x", .deleted = true});
  site_.Add(ArticleRow{.title = "经济未审", .content = "x", .checked = false});
  int other_channel = site_.Add(ChannelRow{.name = "其他", .dir = "other"});
  site_.Add(ArticleRow{.title = "经济在别处", .content = "x", .channel = other_channel});

  EXPECT_EQ(Related("listarticlecorrelative:0,0", current),
            "<table width='100%' align=center>" + Row(y, "经济发展论坛", "经济发展论坛") +
                Row(x, "经济新闻", "经济新闻") + "</table>");
  EXPECT_EQ(CountOf(Related("listarticlecorrelative:1,0", current), "<li>"), 1);
}

TEST_F(RelatedChipsTest, StaticChannelsLinkTheArticlePages) {
  site_.SetChannel(1, "d_generatehtml = 1, d_contentfiletype = 0, d_contentfileext = 1");
  int tech = site_.Add(ClassRow{.name = "科技", .dir = "tech", .comments = true});
  int current = Keyed("当前", "|k|", "2024-01-01 00:00:00");
  int in_class = Keyed("有分类", "|k|", "2024-01-02 00:00:00", {.class_id = tech});
  int no_class = Keyed("无分类", "|k|", "2024-01-03 00:00:00");
  EXPECT_EQ(Related("listarticlecorrelative:0,0", current),
            "<table width='100%' align=center><tr><td><li><a href='/Article/" +
                std::to_string(no_class) +
                ".htm'>无分类</a></td></tr><tr><td><li><a href='/Article/tech/" +
                std::to_string(in_class) + ".htm'>有分类</a></td></tr></table>");

  // A mode without static pages links the dynamic page, never another row's link.
  site_.SetChannel(1, "d_generatehtml = 3");
  EXPECT_NE(Related("listarticlecorrelative:0,0", current).find("asp.asp?m=content"),
            std::string::npos);
}

TEST_F(RelatedChipsTest, TopUsersAreRankedByTheChosenCount) {
  auto top = [&](const Variant& count, const Variant& kind) {
    std::string html;
    site_.InRequest([&](RequestState& state) { html = ShowTopUser(state, count, kind); });
    return html;
  };
  const std::string head =
      "<table width='100%' align=center border=0><tr align=center><td>名次</td><td>用户名</td><td>";
  EXPECT_EQ(top("0", "1"),
            head + "文章数量</td></tr><tr><td><li>暂时没有本类数据</li></td></tr></table>");

  site_.Add(UserRow{.nickname = "甲", .articles = 5, .comments = 9, .rmb = 1.5});
  site_.Add(UserRow{.nickname = "<b>乙</b>", .articles = 7, .comments = 1, .rmb = 20});
  const std::string more =
      "<tr><td align=right colspan=3><a href='/asp.asp?m=moreuser'>更多>></a></td></tr></table>";
  EXPECT_EQ(top("0", "1"),
            head +
                "文章数量</td></tr><tr align=center><td>1</td><td>&lt;b&gt;乙&lt;/b&gt;"
                "</td><td>7</td></tr><tr align=center><td>2</td><td>甲</td><td>5</td>"
                "</tr>" +
                more);
  EXPECT_EQ(top("1", "2"), head +
                               "评论数量</td></tr><tr align=center><td>1</td><td>甲</td><td>9</td>"
                               "</tr>" +
                               more);
  EXPECT_NE(top("1", "3").find("消费金额</td></tr><tr align=center><td>1</td><td>&lt;b&gt;乙"),
            std::string::npos);
  for (const char* bad : {"x", "-1", "01", "99999"}) EXPECT_EQ(top(bad, "1"), "") << bad;
  EXPECT_EQ(top("0", "4"), "");
  EXPECT_EQ(top("0", "a"), "");

  // Through a page: the chip's text is the count.
  site_.SetPage("first", "<img TemplateChip=\"ListTopUser:1\" src=x>");
  std::string page = site_.Page("/asp.asp?channelid=1");
  EXPECT_NE(page.find("<td>1</td><td>&lt;b&gt;乙&lt;/b&gt;</td><td>7</td>"), std::string::npos)
      << page;
  EXPECT_EQ(page.find("<td>2</td>"), std::string::npos);
}

TEST_F(RelatedChipsTest, TheJsFileChipLoadsTheChannelsSnippet) {
  std::string tag, empty, quoted;
  site_.InRequest([&](RequestState& state) {
    tag = ShowJsFile(state, state.channel, "news.js");
    empty = ShowJsFile(state, state.channel, "");
    quoted = ShowJsFile(state, state.channel, "a'b.js");
  });
  EXPECT_EQ(tag, "<script language='javascript' src='/Article/Js/news.js'></Script>");
  EXPECT_EQ(empty, "");
  EXPECT_EQ(quoted, "<script language='javascript' src='/Article/Js/a&#39;b.js'></Script>");
}

}  // namespace
}  // namespace folirex::testing
