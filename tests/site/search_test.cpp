#include "site/search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/public_request.h"
#include "platform/text/vb_text.h"
#include "support/site_fixture.h"

namespace folirex {
namespace {

using testing::ArticleRow;
using testing::ChannelRow;
using testing::ClassRow;
using testing::CountOf;
using testing::SiteFixture;

class SearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ch_ = s_.Add(ChannelRow{.dir = "news"});
    tech_ = s_.Add(ClassRow{.name = "科技", .dir = "tech", .channel = ch_});
    child_ = s_.Add(ClassRow{.name = "手机", .dir = "phone", .parent = tech_, .channel = ch_});
    s_.UseChannel(ch_);
  }
  int64_t Add(const std::string& title, int64_t class_id = 0, const std::string& author = "作者",
              const std::string& inputer = "admin") {
    return s_.Add(ArticleRow{.title = title,
                             .channel = ch_,
                             .class_id = class_id,
                             .author = author,
                             .inputer = inputer,
                             .add_time = "2020-02-03 04:05:06",
                             .clicks = 3});
  }
  std::string Search(const std::string& type, const std::string& keyword,
                     const Variant& class_id = "0", const Variant& order = "2") {
    return ShowSearchResult(s_.state, s_.state.channel, type, ParseId(Trim(class_id.ToString())),
                            keyword, ParseId(Trim(order.ToString())));
  }
  std::string Id(int64_t v) { return std::to_string(v); }

  SiteFixture s_;
  int64_t ch_ = 0;
  int64_t tech_ = 0;
  int64_t child_ = 0;
};

TEST_F(SearchTest, ATitleMatchWithTheKeywordMarked) {
  int64_t id = Add("xABy 标题", tech_);
  Add("无关");
  const std::string c = Id(ch_);
  EXPECT_EQ(Search("d_title", "ab"),
            "<table width='100%' border='0' align='center' cellpadding='3' cellspacing='0'>"
            "<tr><td>[<a href='/asp.asp?m=classlist&classid=" +
                Id(tech_) + "&channelid=" + c +
                "'>科技</a>]&nbsp;<a href='/asp.asp?m=content&articleid=" + Id(id) +
                "&channelid=" + c +
                "'>x<font color=red>AB</font>y 标题[作者][2020-2-3 4:05:06][3]</a></td></tr>"
                "</table><p align=right>" +
                Search("d_title", "ab").substr(Search("d_title", "ab").find("<table border=0")));
  EXPECT_NE(Search("d_title", "ab").find("共<b>1</b>个"), std::string::npos);
  EXPECT_EQ(Search("d_title", "nothing here"), "暂时没有数据<br>");
}

TEST_F(SearchTest, AuthorAndInputer) {
  Add("甲文", 0, "李白", "editor1");
  Add("乙文", 0, "杜甫", "editor2");
  std::string by_author = Search("d_author", "李");
  EXPECT_NE(by_author.find("甲文[李白]"), std::string::npos) << by_author;
  EXPECT_EQ(by_author.find("乙文"), std::string::npos);
  std::string by_inputer = Search("d_inputer", "EDITOR2");
  EXPECT_NE(by_inputer.find("乙文[杜甫]"), std::string::npos) << by_inputer;
  EXPECT_EQ(by_inputer.find("甲文"), std::string::npos);
}

// The form's 内容 choice searches the article bodies, not the titles, with the same paging.
TEST_F(SearchTest, ContentSearchesTheBodies) {
  for (int i = 0; i < 23; ++i) {
    s_.Add(ArticleRow{.title = "正文 " + std::to_string(i),
                      .content = "<p>开头 Needle's 段落 " + std::to_string(i) + "</p>",
                      .channel = ch_});
  }
  s_.Add(ArticleRow{.title = "needle's 标题", .content = "别的", .channel = ch_});
  s_.Add(ArticleRow{.title = "回收", .content = "needle's", .channel = ch_, .deleted = true});
  s_.Add(ArticleRow{.title = "别处", .content = "needle's", .channel = s_.Add(ChannelRow{})});
  const std::string first = Search("d_content", "NEEDLE's 段落");
  EXPECT_NE(first.find("共<b>23</b>个"), std::string::npos) << first;
  EXPECT_EQ(CountOf(first, "<tr><td>["), 20);
  EXPECT_EQ(first.find("标题"), std::string::npos) << "a title match is not a body match";
  EXPECT_EQ(first.find("回收"), std::string::npos);
  EXPECT_EQ(first.find("别处"), std::string::npos);
  EXPECT_NE(first.find("searchtype=d_content&amp;"), std::string::npos) << "the page links keep it";
  s_.SetQuery("Page=2");
  EXPECT_EQ(CountOf(Search("d_content", "NEEDLE's 段落"), "<tr><td>["), 3);
  EXPECT_EQ(Search("d_content", "正文"), "暂时没有数据<br>") << "the title is not searched";
  EXPECT_EQ(Search("d_content", "x%'; drop table Vantrel_Article; --"), "暂时没有数据<br>");
}

// Clicks do not move the data version the kept lists are checked against: the pages in the
// order of clicks follow the clicks of the moment.
TEST_F(SearchTest, TheOrderOfClicksFollowsTheClicks) {
  std::vector<int64_t> ids;
  for (int i = 0; i < 21; ++i) ids.push_back(Add("点击 " + std::to_string(i) + "号"));
  const std::string before = Search("d_title", "点击", "0", "6");
  ASSERT_EQ(CountOf(before, "<tr><td>["), 20);
  int off_page = -1;
  for (int i = 0; i < 21 && off_page < 0; ++i) {
    if (before.find(" " + std::to_string(i) + "号[") == std::string::npos) off_page = i;
  }
  ASSERT_GE(off_page, 0);
  s_.Exec("update Vantrel_Article set d_clicktimes = 90 where d_id = ?",
          {Variant(ids[static_cast<size_t>(off_page)])});
  const std::string after = Search("d_title", "点击", "0", "6");
  EXPECT_NE(after.find(" " + std::to_string(off_page) + "号[作者][2020-2-3 4:05:06][90]"),
            std::string::npos)
      << after;
  s_.SetQuery("Page=2");
  EXPECT_NE(Search("d_title", "点击", "0", "5").find(" " + std::to_string(off_page) + "号["),
            std::string::npos)
      << "the most clicked comes last, on page 2 in the order of fewest clicks";
}

TEST_F(SearchTest, RecycledAndUnapprovedArticlesAreNotFound) {
  Add("公开 文章");
  s_.Add(ArticleRow{.title = "回收 文章", .channel = ch_, .deleted = true});
  s_.Add(ArticleRow{.title = "待审 文章", .channel = ch_, .checked = false});
  std::string html = Search("d_title", "文章");
  EXPECT_NE(html.find("公开"), std::string::npos);
  EXPECT_EQ(html.find("回收"), std::string::npos);
  EXPECT_EQ(html.find("待审"), std::string::npos);
}

TEST_F(SearchTest, ValuesTheFormDoesNotOfferNeverReachTheQuery) {
  s_.Add(ArticleRow{
      .title = "标题 one", .channel = ch_, .author = "作者甲", .add_time = "2020-01-02"});
  // "one" elsewhere in the other article: found only when a column other than the title is.
  s_.Add(ArticleRow{.title = "标题 two",
                    .content = "one",
                    .channel = ch_,
                    .author = "one乙",
                    .inputer = "one",
                    .add_time = "2020-01-03"});
  // A match in another channel is never listed.
  s_.Add(ArticleRow{.title = "标题 别处", .channel = s_.Add(ChannelRow{})});
  // Another column, or SQL in its place, searches the title.
  for (const char* type : {"d_id) or (1=1", "", "D_TITLE", "d_content2"}) {
    std::string html = Search(type, "one");
    EXPECT_NE(html.find("<font color=red>one</font>"), std::string::npos) << type;
    EXPECT_EQ(html.find("two"), std::string::npos) << type;
    EXPECT_EQ(html.find("别处"), std::string::npos) << type;
  }
  EXPECT_EQ(Search("d_content", "作者甲"), "暂时没有数据<br>") << "the author is not searched";
  // A class or order that is not a whole number: every class of the channel, newest first.
  std::string odd = Search("d_title", "标题", "1 or 1=1", "2; drop table x");
  EXPECT_EQ(CountOf(odd, "<tr><td>["), 2);
  EXPECT_EQ(odd.find("别处"), std::string::npos);
  // "three" is the oldest article and the one with the largest id.
  s_.Add(ArticleRow{.title = "标题 three", .channel = ch_, .add_time = "2020-01-01"});
  std::string by_id = Search("d_title", "标题");
  ASSERT_EQ(CountOf(by_id, "</font> "), 3);
  EXPECT_LT(by_id.find("</font> three"), by_id.find("</font> two"))
      << "order 2: by id, largest first";
  EXPECT_LT(by_id.find("</font> two"), by_id.find("</font> one"));
  for (const std::string& html : {Search("d_title", "标题", "1 or 1=1", "2; drop table x"),
                                  Search("d_title", "标题", "", "7")}) {
    ASSERT_EQ(CountOf(html, "</font> "), 3) << html;
    EXPECT_LT(html.find("</font> two"), html.find("</font> one")) << html;
    EXPECT_LT(html.find("</font> one"), html.find("</font> three")) << html;
  }
  // A keyword with a quote is matched, not a broken query.
  Add("O'Brien 的书");
  EXPECT_NE(Search("d_title", "o'brien").find("<font color=red>O'Brien</font> 的书"),
            std::string::npos);
}

TEST_F(SearchTest, TheKeywordIsEncodedInThePageAndInThePageLinks) {
  for (int i = 0; i < 25; ++i) Add("新闻 <b>粗</b> " + std::to_string(i));
  std::string html = Search("d_title", "<b>");
  EXPECT_EQ(html.find("<b>粗"), std::string::npos);
  EXPECT_NE(html.find("新闻 <font color=red>&lt;b&gt;</font>粗&lt;/b&gt; "), std::string::npos)
      << html.substr(0, 600);
  std::string chinese = Search("d_title", "新闻 <");
  // 新闻 in code page 936 is D0C2 CEC5; the blank is "+", "<" is %3C.
  EXPECT_NE(chinese.find("searchkeyword=%D0%C2%CE%C5+%3C&amp;searchorder=2&amp;channelid=" +
                         Id(ch_) + "&amp;Page=2"),
            std::string::npos)
      << chinese.substr(chinese.find("<p align=right>"));
}

TEST_F(SearchTest, PagesOfTwenty) {
  for (int i = 1; i <= 45; ++i) Add("文章" + std::to_string(i));
  s_.SetQuery("m=search&Page=3");
  std::string last = Search("d_title", "文章", "0", "1");
  EXPECT_EQ(CountOf(last, "<tr><td>["), 5);
  EXPECT_NE(last.find("'><font color=red>文章</font>41[作者]"), std::string::npos);
  EXPECT_NE(last.find("页次:<b>3/3</b>"), std::string::npos);
  EXPECT_NE(last.find("/asp.asp?m=search&amp;searchtype=d_title&amp;searchclass=0&amp;"
                      "searchkeyword=%CE%C4%D5%C2&amp;searchorder=1&amp;channelid=" +
                      Id(ch_) + "&amp;Page=2\">[2]</a>"),
            std::string::npos);
  s_.SetQuery("Page=99");
  EXPECT_EQ(Search("d_title", "文章", "0", "1"), last);
  s_.SetQuery("");
  // An empty keyword lists every article, unmarked.
  std::string all = Search("d_title", "", "0", "1");
  EXPECT_EQ(CountOf(all, "<tr><td>["), 20);
  EXPECT_EQ(all.find("color=red"), std::string::npos);
}

TEST_F(SearchTest, ClassesAuthorsAndMissingClassRows) {
  Add("父类文章", tech_);
  Add("子类文章", child_);
  Add("孤儿文章", 999, "");
  std::string parent = Search("d_title", "文章", Id(tech_));
  EXPECT_NE(parent.find("父类<font color=red>文章</font>"), std::string::npos);
  EXPECT_EQ(parent.find("子类"), std::string::npos);
  std::string orphan = Search("d_title", "孤儿");
  EXPECT_NE(orphan.find("<tr><td>[不属于任何专题]&nbsp;<a href="), std::string::npos) << orphan;
  EXPECT_NE(orphan.find("<font color=red>孤儿</font>文章[未知]"), std::string::npos);
}

TEST_F(SearchTest, AClassNameIsText) {
  int64_t k = s_.Add(ClassRow{.name = "<i>A&B</i>", .dir = "ab", .channel = ch_});
  Add("斜体类文章", k);
  EXPECT_NE(Search("d_title", "斜体类")
                .find("&channelid=" + Id(ch_) + "'>&lt;i&gt;A&amp;B&lt;/i&gt;</a>]&nbsp;"),
            std::string::npos);
}

TEST_F(SearchTest, StaticAndMixedModes) {
  int64_t id = Add("静态文章", tech_);
  s_.Exec("update Vantrel_Channel set d_generatehtml = 1 where d_id = " + Id(ch_));
  s_.UseChannel(ch_);
  std::string html = Search("d_title", "静态");
  EXPECT_NE(html.find("[<a href='/news/tech/list_" + Id(tech_) +
                      ".html'>科技</a>]&nbsp;<a "
                      "href='/news/tech/" +
                      Id(id) + ".html'>"),
            std::string::npos)
      << html;
  s_.Exec("update Vantrel_Channel set d_generatehtml = 2 where d_id = " + Id(ch_));
  s_.UseChannel(ch_);
  html = Search("d_title", "静态");
  EXPECT_NE(html.find("[<a href='/asp.asp?m=classlist&classid=" + Id(tech_) + "&channelid=" +
                      Id(ch_) + "'>科技</a>]&nbsp;<a href='/news/tech/" + Id(id) + ".html'>"),
            std::string::npos)
      << html;
}

TEST_F(SearchTest, ClassSelectIndentsByLevel) {
  int64_t deep =
      s_.Add(ClassRow{.name = "深<层>", .dir = "deep", .parent = child_, .channel = ch_});
  EXPECT_EQ(ShowSearchClassSelect(s_.state.db, s_.state.channel),
            "<select name='searchclass' size=1><option value=0>所有分类</option><option value='" +
                Id(tech_) + "'>科技</option><option value='" + Id(child_) +
                "'>\u3000手机</option><option value='" + Id(deep) +
                "'>\u3000\u3000深&lt;层&gt;</option></select>");
  s_.UseChannel(s_.Add(ChannelRow{}));
  EXPECT_EQ(ShowSearchClassSelect(s_.state.db, s_.state.channel),
            "<select name='searchclass' size=1><option value=0>所有分类</option></select>");
}

}  // namespace
}  // namespace folirex

namespace folirex {
namespace {

using testing::HttpAnswer;

// Through the host: the search page's form values reach the results as the form sends them.
TEST(SearchPageTest, SearchByAuthorThroughTheHost) {
  SiteFixture s;
  int64_t ch = s.Add(ChannelRow{.dir = "news", .template_id = 904});
  for (int i = 1; i <= 22; ++i) {
    s.Add(ArticleRow{
        .title = "诗" + std::to_string(i),
        .channel = ch,
        .author = i % 2 ? "李白" : "杜甫",
        .add_time = "2020-01-01 00:00:" + std::string(i < 10 ? "0" : "") + std::to_string(i)});
  }
  s.SetPage("search", "<h1>{$showsearchtitle}</h1>{$showsearchresult}", 1, 904);
  const std::string query = "/asp.asp?m=search&channelid=" + std::to_string(ch) +
                            "&searchtype=d_author&searchclass=0&searchorder=3&searchkeyword=";
  HttpAnswer page = s.Get(query + "李白");
  ASSERT_EQ(page.status, 200);
  EXPECT_NE(page.text.find("作者包含<font color=red>李白</font>的文章"), std::string::npos)
      << page.text;
  EXPECT_EQ(CountOf(page.text, "<tr><td>["), 11);
  EXPECT_EQ(page.text.find("杜甫"), std::string::npos);
  // Oldest first (order 3): the first row is poem 1.
  EXPECT_LT(page.text.find("诗1[李白]"), page.text.find("诗3[李白]"));

  HttpAnswer titles =
      s.Get("/asp.asp?m=search&channelid=" + std::to_string(ch) +
            "&searchtype=d_title&searchclass=0&searchorder=1&searchkeyword=诗&Page=2");
  EXPECT_EQ(CountOf(titles.text, "<tr><td>["), 2);
  EXPECT_NE(titles.text.find("<font color=red>诗</font>21[李白]"), std::string::npos)
      << titles.text;
  EXPECT_NE(titles.text.find("页次:<b>2/2</b>"), std::string::npos);
  // The bar's links carry the keyword in code page 936 (诗 is CAAB).
  EXPECT_NE(titles.text.find("searchkeyword=%CA%AB&amp;searchorder=1&amp;channelid=" +
                             std::to_string(ch) + "&amp;Page=1\">[1]</a>"),
            std::string::npos);
  // Following a link of the bar gives the page it names.
  HttpAnswer first = s.Get(
      "/asp.asp?m=search&searchtype=d_title&searchclass=0&searchkeyword=%CA%AB"
      "&searchorder=1&channelid=" +
      std::to_string(ch) + "&Page=1");
  EXPECT_EQ(CountOf(first.text, "<tr><td>["), 20);
}

}  // namespace
}  // namespace folirex
