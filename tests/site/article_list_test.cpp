#include "site/article_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "core/public_request.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "site/article_list_sql.h"
#include "support/site_fixture.h"

namespace folirex {
namespace {

using testing::ArticleRow;
using testing::ChannelRow;
using testing::ClassRow;
using testing::CountOf;
using testing::SiteFixture;
using testing::SubjectRow;

constexpr const char* kTable =
    "<table width='100%' border='0' align='center' "
    "cellpadding='3' cellspacing='0'>";

std::string Params(const std::map<int, std::string>& fields = {}) {
  std::vector<std::string> f = {
      "-1",    "0", "false", "0",     "0",     "false", "false", "",      "0",     "0",     "1",
      "false", "0", "0",     "false", "false", "false", "false", "false", "false", "false", "1"};
  for (const auto& [i, v] : fields) f[i] = v;
  std::string text;
  for (size_t i = 0; i < f.size(); ++i) text += (i ? "," : "") + f[i];
  return text;
}

class ArticleListTest : public ::testing::Test {
 protected:
  int64_t Channel(int mode, const std::string& dir = "news", int list_dir = 0) {
    int64_t id = s_.Add(ChannelRow{.dir = dir, .generate_html = mode, .list_dir = list_dir});
    s_.UseChannel(id);
    return id;
  }
  std::string List(const std::string& params, const std::string& type = "classlist",
                   const Variant& class_id = 0, const Variant& page_number = "",
                   const Variant& page_size = 20, const Variant& subject_id = "") {
    return ShowArticleList(s_.state, params, type, ParseId(page_number.ToString()),
                           page_size.ToInt64Or(0), ParseId(class_id.ToString()),
                           ParseId(subject_id.ToString()));
  }
  std::string Id(int64_t v) { return std::to_string(v); }

  SiteFixture s_;
};

TEST_F(ArticleListTest, DrawsEveryPartOfAnItem) {
  int64_t ch = Channel(0);
  int64_t k = s_.Add(ClassRow{.name = "科技", .dir = "tech", .channel = ch, .comments = true});
  int64_t id = s_.Add(ArticleRow{.title = "长标题文字ABC",
                                 .channel = ch,
                                 .class_id = k,
                                 .author = "张三",
                                 .add_time = FormatDate(Variant(DateTime::Now()), 1),
                                 .top = true,
                                 .hot = true,
                                 .recommend = true,
                                 .clicks = 9,
                                 .title_prefix = 1,
                                 .font_shape = 1,
                                 .title_color = "#FF0000"});
  const std::string c = Id(ch);
  const std::string today = FormatDate(Variant(DateTime::Now()), 2);

  std::string html = List(Params({{9, "6"},
                                  {11, "true"},
                                  {12, "1"},
                                  {13, "1"},
                                  {14, "true"},
                                  {15, "true"},
                                  {16, "true"},
                                  {17, "true"},
                                  {18, "true"},
                                  {20, "true"}}));
  std::string item =
      "<font color=green>[图文]</font><a href='/asp.asp?m=classlist&classid=" + Id(k) +
      "&channelid=" + c + "'>[科技]</a><a href='/asp.asp?m=content&articleid=" + Id(id) +
      "&channelid=" + c +
      "' title=\"长标题文字ABC\"><b><font color='#FF0000'>长...</font></b></a> "
      "<a href='/asp.asp?m=comment&articleid=" +
      Id(id) + "&channelid=" + c +
      "'>[评论]</a><img src='/images/hot.gif' border=0><img "
      "src='/images/recommend.gif' "
      "border=0><img src='/images/top.gif' border=0><img src='/Images/new.gif' "
      "border=0>  张三 "
      "</td><td align=right><font color=red>" +
      today + "</font></td> 9";
  EXPECT_EQ(html, std::string(kTable) +
                      "<tr><td><img src='/news/images/arrow.gif' valign='absmiddle' "
                      "border=0>&nbsp;" +
                      item + "</td></tr></table>");
}

TEST_F(ArticleListTest, MarksDatesAndPlainItems) {
  int64_t ch = Channel(0);
  s_.Add(ArticleRow{.title = "普通",
                    .channel = ch,
                    .add_time = "2019-03-04 05:06:07",
                    .top = true,
                    .hot = true,
                    .title_prefix = 5,
                    .font_shape = 2});
  // Marks as text with the hot mark off: only the pinned mark; an old article's
  // date is black.
  std::string html = List(Params({{11, "true"}, {12, "2"}, {13, "2"}, {16, "false"}}));
  EXPECT_NE(html.find("<i><font color=''>普通</font></i></a> <font color=blue>顶</font> "
                      "</td><td align=right>03月04日 </td></td>"),
            std::string::npos)
      << html;
  EXPECT_EQ(html.find("热"), std::string::npos);
  EXPECT_EQ(html.find("[图文]"), std::string::npos);
  std::string mmdd = List(Params({{13, "3"}, {12, "2"}, {16, "true"}}));
  EXPECT_NE(mmdd.find("<font color=red>热</font><font color=blue>顶</font> </td><td "
                      "align=right>03-04</td>"),
            std::string::npos)
      << mmdd;
}

TEST_F(ArticleListTest, TitlesAreEncodedAndLinkedArticlesOpenElsewhere) {
  int64_t ch = Channel(0);
  s_.Add(ArticleRow{.title = "Say \"hi\" <b>&", .channel = ch, .link_url = "http://example.com/x"});
  // A script link stored before such links were refused is drawn harmless.
  s_.Add(ArticleRow{.title = "旧", .channel = ch, .link_url = " JavaScript:fetch('admin.asp')"});
  std::string html = List(Params());
  EXPECT_NE(html.find("<a href='#' target='_blank' title=\"旧\">"), std::string::npos) << html;
  EXPECT_EQ(html.find("fetch"), std::string::npos) << html;
  EXPECT_NE(
      html.find("<a href='http://example.com/x' target='_blank' title=\"Say "
                "&quot;hi&quot; "
                "&lt;b&gt;&amp;\"><font color=''>Say &quot;hi&quot; &lt;b&gt;&amp;</font></a>"),
      std::string::npos)
      << html;
}

// A collected title, a class name and an author are text: markup in them shows as typed and
// cannot leave its attribute; the styling around the title is the list's own.
TEST_F(ArticleListTest, TitlesClassNamesAndAuthorsFromElsewhereStayText) {
  int64_t ch = Channel(0);
  int64_t k = s_.Add(ClassRow{.name = "<i>科</i>&技", .dir = "tech", .channel = ch});
  ArticleRow a{.title = "<script>alert(1)</script>'标题'",
               .channel = ch,
               .class_id = k,
               .author = "<b>张</b>",
               .inputer = "admin",
               .add_time = "2020-01-02 03:04:05",
               .font_shape = 1,
               .title_color = "red' onmouseover='x"};
  int64_t id = s_.Add(a);
  a.title = "外链";
  a.link_url = "http://example.com/?a=1&b='2'";
  s_.Add(a);
  std::string html = List(Params({{9, "20"}, {14, "true"}, {18, "true"}}));
  EXPECT_EQ(html.find("<script>"), std::string::npos) << html;
  EXPECT_EQ(html.find("<i>"), std::string::npos) << html;
  EXPECT_EQ(html.find("<b>张"), std::string::npos) << html;
  EXPECT_NE(html.find("'>[&lt;i&gt;科&lt;/i&gt;&amp;技]</a><a href='/asp.asp?m=content&articleid=" +
                      Id(id)),
            std::string::npos)
      << html;
  // Cut to 20 display columns first, then encoded.
  EXPECT_NE(html.find("<b><font color='red&#39; onmouseover=&#39;x'>&lt;script&gt;alert(1)&lt;..."
                      "</font></b></a>   &lt;b&gt;张&lt;/b&gt;"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("title=\"&lt;script&gt;alert(1)&lt;/script&gt;&#39;标题&#39;\">"),
            std::string::npos);
  EXPECT_NE(html.find("<a href='http://example.com/?a=1&amp;b=&#39;2&#39;' target='_blank'"),
            std::string::npos)
      << html;
}

TEST_F(ArticleListTest, ColumnsAndEmptyLists) {
  int64_t ch = Channel(0);
  EXPECT_EQ(List(Params()), "<li>暂时没有本类数据！</li>");
  EXPECT_EQ(List(Params({{19, "true"}})), "暂时没有数据<br><p align=right></p>");
  for (int i = 0; i < 3; ++i) {
    s_.Add(ArticleRow{.title = "t" + std::to_string(i), .channel = ch});
  }
  std::string two = List(Params({{10, "2"}}));
  EXPECT_EQ(CountOf(two, "<tr>"), 2);
  EXPECT_NE(two.find("t1</font></a> </td></tr><tr><td><img"), std::string::npos) << two;
  EXPECT_NE(two.find("t2</font></a> </td><td>&nbsp;</td></tr></table>"), std::string::npos);
  for (const char* cols : {"0", "1"}) {
    std::string one = List(Params({{10, cols}}));
    EXPECT_EQ(CountOf(one, "<tr><td><img"), 3) << cols;
    EXPECT_EQ(CountOf(one, "</td></tr>"), 3) << cols;
    EXPECT_EQ(one.find("&nbsp;</td></tr>"), std::string::npos) << cols;
  }
}

TEST_F(ArticleListTest, PageTypesDecideWhetherAndHowTheListShows) {
  int64_t ch = Channel(0);
  for (int i = 0; i < 3; ++i) {
    s_.Add(ArticleRow{.channel = ch});
  }
  const std::string paged = Params({{19, "true"}});
  // The first page draws the whole list even when the chip asks for paging.
  std::string first = List(paged, "first");
  EXPECT_EQ(CountOf(first, "arrow.gif"), 3);
  EXPECT_EQ(first.find("<p align=right>"), std::string::npos);
  for (const char* type : {"content", "search", "default", "print", ""}) {
    EXPECT_EQ(List(paged, type), "") << type;
  }
  for (const char* type : {"classlist", "subjectlist", "hotlist", "recommendlist", "newlist"}) {
    EXPECT_NE(List(paged, type, 0, "", 20, 0).find("<p align=right>"), std::string::npos) << type;
  }
  EXPECT_EQ(List("1,2,3"), "");
}

TEST_F(ArticleListTest, StaticAndMixedModesLinkTheirOwnWay) {
  int64_t ch = Channel(1);
  int64_t k = s_.Add(ClassRow{.name = "科技", .dir = "tech", .channel = ch});
  int64_t id = s_.Add(ArticleRow{.channel = ch, .class_id = k});
  int64_t loose = s_.Add(ArticleRow{.channel = ch});
  std::string html = List(Params({{14, "true"}}));
  EXPECT_NE(html.find("<a href='/news/tech/list_" + Id(k) +
                      ".html'>[科技]</a><a "
                      "href='/news/tech/" +
                      Id(id) + ".html' title="),
            std::string::npos)
      << html;
  // No class row: no class link and no class folder.
  EXPECT_NE(html.find("&nbsp;<a href='/news/" + Id(loose) + ".html' title="), std::string::npos);

  s_.Exec("update Vantrel_Channel set d_generatehtml = 2 where d_id = " + Id(ch));
  s_.UseChannel(ch);
  std::string mixed = List(Params({{14, "true"}}));
  EXPECT_NE(mixed.find("<a href='/asp.asp?m=classlist&classid=" + Id(k) + "&channelid=" + Id(ch) +
                       "'>[科技]</a><a href='/news/tech/" + Id(id) + ".html'"),
            std::string::npos)
      << mixed;
}

TEST_F(ArticleListTest, AChipNamingAnotherChannelLinksWithThatChannelsSettings) {
  int64_t other =
      s_.Add(ChannelRow{.dir = "photo", .generate_html = 1, .content_file_ext = 1 /* .htm */});
  int64_t k = s_.Add(ClassRow{.name = "风景", .dir = "view", .channel = other});
  int64_t id = s_.Add(ArticleRow{.channel = other, .class_id = k});
  int64_t ch = Channel(0, "news");

  for (const char* paging : {"false", "true"}) {
    std::string html = List(Params({{0, Id(other)}, {14, "true"}, {19, paging}}), "classlist", 0);
    EXPECT_NE(html.find("<a href='/photo/view/list_" + Id(k) +
                        ".html'>[风景]</a><a "
                        "href='/photo/view/" +
                        Id(id) + ".htm' title="),
              std::string::npos)
        << html;
    EXPECT_EQ(html.substr(0, html.find("<p align=right>")).find("channelid="), std::string::npos)
        << html;
    // The page's own channel is back afterwards.
    EXPECT_EQ(s_.state.channel.ChannelID.ToString(), Id(ch));
    EXPECT_EQ(s_.state.channel.GenerateHtml.ToString(), "0");
    EXPECT_EQ(s_.state.channel.ChannelDir, "news/");
  }
  // A channel that does not exist lists nothing.
  EXPECT_EQ(List(Params({{0, "9999"}})), "<li>暂时没有本类数据！</li>");
  EXPECT_EQ(s_.state.channel.ChannelID.ToString(), Id(ch));
}

class PagedListTest : public ArticleListTest {
 protected:
  void Seed(int64_t ch, int64_t class_id, int count) {
    for (int i = 1; i <= count; ++i) {
      ids_.push_back(s_.Add(ArticleRow{
          .title = "文章" + std::to_string(i), .channel = ch, .class_id = class_id, .subject = 4}));
    }
  }
  std::vector<int64_t> ids_;
};

TEST_F(PagedListTest, QueryStringPagesOfAClassList) {
  int64_t ch = Channel(0);
  int64_t k = s_.Add(ClassRow{.name = "科技", .dir = "tech", .channel = ch});
  Seed(ch, k, 45);
  // The bar writes its links HTML-encoded.
  const std::string base =
      "/asp.asp?m=classlist&amp;classid=" + Id(k) + "&amp;channelid=" + Id(ch) + "&amp;";
  const std::string params = Params({{19, "true"}, {21, "1"}});

  s_.SetQuery("m=classlist&Page=2");
  std::string page2 = List(params, "classlist", k);
  EXPECT_EQ(CountOf(page2, "<tr><td><a href="), 20);
  EXPECT_NE(page2.find(">文章21</font>"), std::string::npos);
  EXPECT_NE(page2.find(">文章40</font>"), std::string::npos);
  EXPECT_EQ(page2.find(">文章41</font>"), std::string::npos);
  EXPECT_EQ(page2.find(">文章20</font>"), std::string::npos);
  EXPECT_EQ(page2.find("arrow.gif"), std::string::npos);
  EXPECT_NE(page2.find("<a href=\"" + base + "Page=3\">[3]</a>"), std::string::npos) << page2;
  EXPECT_NE(page2.find("<a href=\"" + base + "Page=1\">[1]</a>"), std::string::npos);
  EXPECT_NE(page2.find("页次:<b>2/3</b>"), std::string::npos);

  s_.SetQuery("Page=3");
  std::string last = List(params, "classlist", k);
  EXPECT_EQ(CountOf(last, "<tr><td><a href="), 5);
  EXPECT_NE(last.find(">文章45</font>"), std::string::npos);
  // A page past the end shows the last page.
  s_.SetQuery("Page=99");
  EXPECT_EQ(List(params, "classlist", k), last);
  s_.SetQuery("Page=abc");
  EXPECT_NE(List(params, "classlist", k).find("页次:<b>1/3</b>"), std::string::npos);
  // The class's page size: 45 rows of 15 make three full pages.
  s_.SetQuery("Page=3");
  std::string fifteen = List(params, "classlist", k, "", 15);
  EXPECT_EQ(CountOf(fifteen, "<tr><td><a href="), 15);
}

TEST_F(PagedListTest, ADeepPageCostsNoMoreStatementsThanAShallowOne) {
  int64_t ch = Channel(0);
  Seed(ch, 0, 120);
  const std::string params = Params({{19, "true"}, {21, "2"}});
  auto cost = [&](const std::string& page) {
    s_.SetQuery("Page=" + page);
    int64_t before = s_.state.db.Conn->statement_count();
    std::string html = List(params, "newlist");
    return std::make_pair(s_.state.db.Conn->statement_count() - before,
                          CountOf(html, "<tr><td><a href="));
  };
  // The first list of the request also looks up the channel's folder; measure after it.
  cost("1");
  // Page 3 and page 6 both lie past the rows the cursor reads when it opens; the last page
  // costs what the third does.
  auto third = cost("3");
  auto last = cost("6");
  EXPECT_EQ(third.second, 20);
  EXPECT_EQ(last.second, 20);
  EXPECT_EQ(third.first, last.first);
  EXPECT_LE(cost("1").first, last.first);
}

TEST_F(PagedListTest, StaticPagesOfAClassList) {
  int64_t ch = Channel(1);
  int64_t k = s_.Add(ClassRow{.name = "科技", .dir = "tech", .channel = ch});
  Seed(ch, k, 45);
  const std::string params = Params({{19, "true"}, {21, "1"}});
  // Static generation passes the page number of the file it writes; the request
  // has none.
  std::string page2 = List(params, "classlist", k, 2);
  const std::string url = "/news/tech/list_" + Id(k);
  EXPECT_NE(page2.find("<a href=\"" + url + ".html\">[1]</a>"), std::string::npos) << page2;
  EXPECT_NE(page2.find("<a href=\"" + url + "_3.html\">[3]</a>"), std::string::npos);
  EXPECT_NE(page2.find(">文章21</font>"), std::string::npos);
  EXPECT_NE(List(params, "classlist", k, 7).find("页次:<b>3/3</b>"), std::string::npos);
  // The list folder rule of the channel: all lists in List/.
  s_.Exec("update Vantrel_Channel set d_listdir = 1 where d_id = " + Id(ch));
  s_.UseChannel(ch);
  EXPECT_NE(List(params, "classlist", k, 1).find("/news/List/list_" + Id(k) + "_2.html"),
            std::string::npos);
}

TEST_F(PagedListTest, SubjectHotRecommendedAndNewListPages) {
  int64_t ch = Channel(0);
  int64_t subject = s_.Add(SubjectRow{.name = "专题", .dir = "zt", .order = 1, .channel = ch});
  Seed(ch, 0, 25);
  s_.Exec("update Vantrel_Article set d_subjectid = " + Id(subject) + ", d_hotflag = -1");
  const std::string c = Id(ch);
  const std::string params = Params({{19, "true"}});
  EXPECT_NE(List(params, "subjectlist", 0, "", 20, subject)
                .find("/asp.asp?m=subjectlist&amp;subjectid=" + Id(subject) +
                      "&amp;channelid=" + c + "&amp;Page=2"),
            std::string::npos);
  EXPECT_NE(List(params, "hotlist").find("/asp.asp?m=hotlist&amp;channelid=" + c + "&amp;Page=2"),
            std::string::npos);
  // The list page does not filter by itself: its chip asks for recommended
  // articles.
  EXPECT_NE(List(Params({{6, "true"}, {19, "true"}}), "recommendlist").find("暂时没有数据<br>"),
            std::string::npos);
  EXPECT_NE(List(params, "newlist").find("/asp.asp?m=newlist&amp;channelid=" + c + "&amp;Page=2"),
            std::string::npos);

  s_.Exec("update Vantrel_Channel set d_generatehtml = 1 where d_id = " + c);
  s_.UseChannel(ch);
  EXPECT_NE(List(params, "subjectlist", 0, 1, 20, subject)
                .find("/news/subject/zt/list_" + Id(subject) + "_2.html"),
            std::string::npos);
  EXPECT_NE(List(params, "hotlist", 0, 1).find("/news/listhot/list_hot_2.html"), std::string::npos);
  EXPECT_NE(List(params, "newlist", 0, 1).find("/news/listhot/list_new_2.html"), std::string::npos);
  // Mode 2 pages through asp.asp like mode 0.
  s_.Exec("update Vantrel_Channel set d_generatehtml = 2 where d_id = " + c);
  s_.UseChannel(ch);
  EXPECT_NE(List(params, "hotlist").find("/asp.asp?m=hotlist&amp;channelid=" + c + "&amp;Page=2"),
            std::string::npos);
}

// A page deep in a list reads its rows by id through the list's kept head: every page, the first,
// a middle one, the last and one past the last, lists the rows that stepping over the rows
// before it gives, in the same order, ties on the order key included (times, flags and clicks
// shared by many rows, and a list in no order at all), before and after articles change.
TEST_F(PagedListTest, DeepPagesListTheRowsOfTheWalkTiesIncluded) {
  int64_t ch = Channel(0);
  int64_t k = s_.Add(ClassRow{.name = "科技", .dir = "tech", .channel = ch});
  int64_t subject = s_.Add(SubjectRow{.name = "专题", .dir = "zt", .order = 1, .channel = ch});
  for (int i = 0; i < 330; ++i) {
    ids_.push_back(
        s_.Add(ArticleRow{.title = "文章" + std::to_string(i),
                          .channel = ch,
                          .class_id = i % 5 == 0 ? 0 : k,
                          .subject = subject,
                          .add_time = "2024-03-0" + std::to_string(1 + i % 4) + " 08:00:00",
                          .top = i % 7 == 0,
                          .hot = i % 3 != 0,
                          .recommend = i % 4 != 1,
                          .clicks = i % 6}));
  }
  auto shown_ids = [](const std::string& html) {
    std::vector<int64_t> ids;
    for (size_t at = html.find("articleid="); at != std::string::npos;
         at = html.find("articleid=", at + 1)) {
      ids.push_back(std::stoll(html.substr(at + 10)));
    }
    return ids;
  };
  // The rows of page `page` (settled as the pager settles it) by stepping over those before it.
  auto walked_ids = [this](const BoundSql& sql, int64_t page) {
    Recordset rs;
    rs.Open(sql.sql, sql.params, *s_.state.db.Conn, 1, 1);
    const int64_t count = rs.RecordCount();
    const int64_t last = (count + 19) / 20;
    rs.SetAbsolutePosition((std::min(page, last) - 1) * 20 + 1);
    std::vector<int64_t> ids;
    for (const auto& row : rs.GetRows(20)) ids.push_back(row.at(0).ToInt64Or(0));
    return ids;
  };
  auto check_every_list = [&](const std::string& when) {
    for (const char* type : {"classlist", "subjectlist", "hotlist", "recommendlist", "newlist"}) {
      for (int order = 0; order <= 6; ++order) {
        const std::string params = Params({{19, "true"}, {21, std::to_string(order)}});
        const BoundSql sql =
            GetArticleListSql(s_.state.db, s_.state.channel, params, type, k, subject);
        for (int64_t page : {1, 6, 9, 14, 17, 40}) {
          const std::vector<int64_t> walked = walked_ids(sql, page);
          ASSERT_FALSE(walked.empty()) << type;
          // Twice: the first read keeps the head, the second reads the page by id.
          for (int pass = 0; pass < 2; ++pass) {
            s_.SetQuery("Page=" + std::to_string(page));
            EXPECT_EQ(shown_ids(List(params, type, k, "", 20, subject)), walked)
                << when << ' ' << type << " order " << order << " page " << page;
          }
        }
      }
    }
  };
  check_every_list("as seeded");
  // Rows recycled, approved, moved in time and pinned; the heads are read again.
  s_.Exec("update Vantrel_Article set d_deleted = -1 where d_id % 11 = 0");
  s_.Exec(
      "update Vantrel_Article set d_addtime = '2024-03-09 08:00:00', d_topflag = -1 "
      "where d_id % 13 = 0");
  s_.Exec("update Vantrel_Article set d_clicktimes = d_clicktimes + 2 where d_id % 5 = 1");
  check_every_list("after changes");
  // Pinning or a new time alone moves rows between pages too.
  s_.Exec("update Vantrel_Article set d_topflag = -1 where d_id % 17 = 0");
  check_every_list("after pinning");
  s_.Exec("update Vantrel_Article set d_addtime = '2024-03-08 08:00:00' where d_id % 19 = 0");
  check_every_list("after new times");
}

TEST(RenderArticleListTest, NoQueryOrAnInvalidFieldListDrawsNothing) {
  SiteFixture s;
  s.UseChannel(1);
  std::vector<std::string> fields(22, "false");
  EXPECT_EQ(RenderArticleList(s.state, fields, BoundSql{}, ""), "");
  EXPECT_EQ(
      RenderArticleList(s.state, std::vector<std::string>(3, "1"), BoundSql{"select 1", {}}, ""),
      "");
}

}  // namespace
}  // namespace folirex

namespace folirex {
namespace {

using testing::HttpAnswer;

// Through the host: class list pages paged by the request's Page value, and a static channel's
// class page whose bar links the list files.
TEST(ArticleListPageTest, PagedClassListThroughTheHost) {
  SiteFixture s;
  int64_t ch = s.Add(ChannelRow{.dir = "news", .template_id = 903});
  int64_t k = s.Add(ClassRow{.name = "科技", .dir = "tech", .channel = ch, .page_size = 10});
  for (int i = 1; i <= 23; ++i) {
    s.Add(ArticleRow{.title = "文章" + std::to_string(i), .channel = ch, .class_id = k});
  }
  s.SetPage("classlist",
            "<h1>{$showclassname}</h1><img TemplateChip=\"ListArticleList:-1,0,false,0,0,false,"
            "false,,0,0,1,false,0,0,false,false,false,false,false,true,false,1\">",
            1, 903);
  const std::string base =
      "/asp.asp?m=classlist&classid=" + std::to_string(k) + "&channelid=" + std::to_string(ch);
  HttpAnswer page2 = s.Get(base + "&Page=2");
  ASSERT_EQ(page2.status, 200);
  EXPECT_NE(page2.text.find("<h1>科技</h1>"), std::string::npos) << page2.text;
  EXPECT_NE(page2.text.find(">文章11</font>"), std::string::npos);
  EXPECT_NE(page2.text.find(">文章20</font>"), std::string::npos);
  EXPECT_EQ(page2.text.find(">文章21</font>"), std::string::npos);
  EXPECT_EQ(page2.text.find(">文章10</font>"), std::string::npos);
  EXPECT_NE(page2.text.find("页次:<b>2/3</b>"), std::string::npos);
  const std::string link_base = "/asp.asp?m=classlist&amp;classid=" + std::to_string(k) +
                                "&amp;channelid=" + std::to_string(ch) + "&amp;";
  EXPECT_NE(page2.text.find("<a href=\"" + link_base + "Page=3\">[3]</a>"), std::string::npos);

  HttpAnswer last = s.Get(base + "&page=3");
  EXPECT_EQ(CountOf(last.text, "<tr><td><a href="), 3);
  EXPECT_NE(last.text.find("页次:<b>3/3</b>"), std::string::npos);
  EXPECT_EQ(s.Get(base + "&Page=50").text, last.text);

  // A static channel's class page links the numbered list files.
  s.Exec("update Vantrel_Channel set d_generatehtml = 1 where d_id = ?", {ch});
  HttpAnswer static_page = s.Get(base);
  EXPECT_NE(
      static_page.text.find("<a href=\"/news/tech/list_" + std::to_string(k) + "_2.html\">[2]</a>"),
      std::string::npos)
      << static_page.text;
}

}  // namespace
}  // namespace folirex
