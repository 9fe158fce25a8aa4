#include "site/article_pic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "core/public_request.h"
#include "support/site_fixture.h"

namespace folirex {
namespace {

using testing::ArticleRow;
using testing::ChannelRow;
using testing::ClassRow;
using testing::CountOf;
using testing::SiteFixture;

constexpr const char* kTable =
    "<table width='100%' border='0' align='center' cellpadding='3' cellspacing='0'>";

// A ListArticlePic parameter text: the defaults with some fields replaced.
std::string Params(const std::map<int, std::string>& fields = {}) {
  std::vector<std::string> f = {"-1", "0", "false", "0",   "10", "false", "false", "0",
                                "0",  "0", "1",     "120", "90", "1",     "false", "1"};
  for (const auto& [i, v] : fields) f[i] = v;
  std::string text;
  for (size_t i = 0; i < f.size(); ++i) text += (i ? "," : "") + f[i];
  return text;
}

class ArticlePicTest : public ::testing::Test {
 protected:
  int64_t Channel(int mode, const std::string& dir = "pic") {
    int64_t id = s_.Add(ChannelRow{.dir = dir, .generate_html = mode});
    s_.UseChannel(id);
    return id;
  }
  int64_t Picture(int64_t channel, const std::string& title, int64_t class_id = 0) {
    return s_.Add(ArticleRow{.title = title,
                             .channel = channel,
                             .class_id = class_id,
                             .author = "摄影",
                             .pic_url = "/up/" + title + ".jpg",
                             .summary = "简介" + title});
  }
  std::string Pic(const std::string& params, const std::string& type = "first",
                  const Variant& class_id = "", const Variant& subject_id = "") {
    return ShowArticlePic(s_.state, params, type, ParseId(class_id.ToString()),
                          ParseId(subject_id.ToString()));
  }
  std::string Id(int64_t v) { return std::to_string(v); }
  SiteFixture s_;
};

TEST_F(ArticlePicTest, QueryFromTheChipFields) {
  int64_t ch = Channel(0);
  // Twelve pictures of the channel, the last one pinned; rows the query must pass over.
  std::vector<int64_t> ids;
  for (int i = 1; i <= 12; ++i) {
    ids.push_back(s_.Add(ArticleRow{.title = "P" + std::to_string(i),
                                    .channel = ch,
                                    .class_id = 7,
                                    .author = "摄影",
                                    .top = i == 12,
                                    .pic_url = "/p.jpg",
                                    .summary = "简介"}));
  }
  s_.Add(ArticleRow{.channel = ch});
  int64_t no_pic = s_.Add(ArticleRow{.channel = ch, .pic_url = "/x.jpg"});
  s_.Exec("update Vantrel_Article set d_picurl = null where d_id = ?", {Variant(no_pic)});
  s_.Add(ArticleRow{.channel = ch, .deleted = true, .pic_url = "/p.jpg"});
  s_.Add(ArticleRow{.channel = ch, .checked = false, .pic_url = "/p.jpg"});
  s_.Add(ArticleRow{.channel = 1, .pic_url = "/p.jpg"});
  auto rows = [&](const std::string& params) {
    Recordset rs;
    const BoundSql select = GetArticlePicSql(s_.state.db, s_.state.channel, params, "first",
                                             std::nullopt, std::nullopt);
    rs.Open(select.sql, select.params, *s_.state.db.Conn, 0, 1);
    std::vector<std::string> out;
    for (; !rs.Eof(); rs.MoveNext()) {
      out.push_back(rs["d_id"].ToString() + "|" + rs["d_title"].ToString() + "|" +
                    rs["d_author"].ToString() + "|" + rs["d_addtime"].ToString() + "|" +
                    rs["d_picurl"].ToString() + "|" + rs["d_summary"].ToString() + "|" +
                    rs["d_classid"].ToString());
    }
    return out;
  };
  // The first ten live pictures of the channel: pinned first, then by id.
  std::vector<std::string> first = rows(Params());
  ASSERT_EQ(first.size(), 10u);
  EXPECT_EQ(first[0], Id(ids[11]) + "|P12|摄影|2024-3-5 8:09:10|/p.jpg|简介|7");
  for (size_t i = 1; i < 10; ++i) EXPECT_EQ(first[i].substr(0, first[i].find('|')), Id(ids[i - 1]));
  // No order: every picture, in whatever order the engine gives.
  for (const char* code : {"0", "7"}) {
    std::vector<std::string> all = rows(Params({{4, "20"}, {15, code}}));
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all.size(), 12u) << code;
    EXPECT_EQ(std::unique(all.begin(), all.end()), all.end()) << code;
  }
  // Wrong field count or a failing field: no query.
  std::string params = Params();
  EXPECT_EQ(
      GetArticlePicSql(s_.state.db, s_.state.channel, params + ",1", "", std::nullopt, std::nullopt)
          .sql,
      "");
  EXPECT_EQ(GetArticlePicSql(s_.state.db, s_.state.channel, params.substr(0, params.rfind(',')), "",
                             std::nullopt, std::nullopt)
                .sql,
            "");
  for (int field : {0, 1, 3}) {
    EXPECT_EQ(GetArticlePicSql(s_.state.db, s_.state.channel, Params({{field, "x"}}), "",
                               std::nullopt, std::nullopt)
                  .sql,
              "")
        << field;
  }
  for (int field : {4, 7, 8, 9, 10, 11, 12, 15}) {
    EXPECT_EQ(GetArticlePicSql(s_.state.db, s_.state.channel, Params({{field, "-1"}}), "",
                               std::nullopt, std::nullopt)
                  .sql,
              "")
        << field;
  }
  for (int field : {2, 5, 6, 14}) {
    EXPECT_EQ(GetArticlePicSql(s_.state.db, s_.state.channel, Params({{field, "yes"}}), "",
                               std::nullopt, std::nullopt)
                  .sql,
              "")
        << field;
  }
  // Beyond the 16-bit reading: refused, not a failed page.
  EXPECT_EQ(GetArticlePicSql(s_.state.db, s_.state.channel, Params({{4, "70000"}}), "",
                             std::nullopt, std::nullopt)
                .sql,
            "");
  // The layout field is not checked.
  EXPECT_NE(GetArticlePicSql(s_.state.db, s_.state.channel, Params({{13, "x"}}), "", std::nullopt,
                             std::nullopt)
                .sql,
            "");
  EXPECT_EQ(Pic(Params({{4, "x"}})), "");
}

TEST_F(ArticlePicTest, OnlyLiveArticlesWithPicturesOfTheChosenClassAndSubject) {
  int64_t ch = Channel(0);
  int64_t top = s_.Add(ClassRow{.name = "风景", .dir = "view", .channel = ch});
  int64_t sub = s_.Add(ClassRow{.name = "山", .dir = "hill", .parent = top, .channel = ch});
  int64_t other = s_.Add(ClassRow{.name = "人物", .dir = "people", .channel = ch});
  Picture(ch, "A", top);
  Picture(ch, "B", sub);
  Picture(ch, "C", other);
  s_.Add(ArticleRow{.title = "无图", .channel = ch});
  s_.Add(ArticleRow{.title = "已删", .channel = ch, .deleted = true, .pic_url = "/x.jpg"});
  s_.Exec("update Vantrel_Article set d_subjectid = 5 where d_title = 'C'");

  auto titles = [](const std::string& html) {
    std::string t;
    for (const char* x : {"A", "B", "C", "无图", "已删"}) {
      if (html.find(std::string("/up/") + x + ".jpg") != std::string::npos ||
          html.find(std::string(x) + "</a>") != std::string::npos) {
        t += x;
      }
    }
    return t;
  };
  EXPECT_EQ(titles(Pic(Params())), "ABC");
  EXPECT_EQ(titles(Pic(Params({{1, Id(top)}}))), "A");
  EXPECT_EQ(titles(Pic(Params({{1, Id(top)}, {2, "true"}}))), "AB");
  EXPECT_EQ(titles(Pic(Params({{1, "-4"}}))), "ABC");
  EXPECT_EQ(titles(Pic(Params({{3, "5"}}))), "C");
  // A class list page always shows its own class; a subject list its own subject.
  EXPECT_EQ(titles(Pic(Params({{1, Id(other)}, {2, "true"}}), "classlist", top)), "AB");
  EXPECT_EQ(titles(Pic(Params(), "subjectlist", "", 5)), "C");
  // A missing class with its descendants: nothing, not a failed query.
  EXPECT_EQ(Pic(Params({{1, "999"}, {2, "true"}})), "<li>暂时没有本类数据！</li>");
  EXPECT_EQ(Pic(Params({{0, "0"}})), "<li>暂时没有本类数据！</li>");
  EXPECT_EQ(Pic(Params({{4, "0"}})), "<li>暂时没有本类数据！</li>");
  EXPECT_EQ(titles(Pic(Params({{4, "2"}}))), "AB");
}

TEST_F(ArticlePicTest, TheThreeLayouts) {
  int64_t ch = Channel(0);
  int64_t id = Picture(ch, "湖", 0);
  const std::string a = "/asp.asp?m=content&articleid=" + Id(id) + "&channelid=" + Id(ch);
  const std::string pic = "<a href='" + a +
                          "' title=\"\"><img src='/up/湖.jpg' border=0 width='120' "
                          "height='90'><br>";
  const std::string text = "<a href='" + a + "' title=\"\">";
  EXPECT_EQ(Pic(Params({{13, "1"}})),
            std::string(kTable) + "<tr><td>" + pic + "湖<br>简介湖</a></td></tr></table>");
  EXPECT_EQ(Pic(Params({{13, "2"}})),
            std::string(kTable) + "<tr><td><table width='100%' align=center><tr><td width='60%'>" +
                pic + "湖</a></td><td width='40%'>" + text +
                "简介湖</a></td></tr></table></td></tr></table>");
  EXPECT_EQ(Pic(Params({{13, "3"}})),
            std::string(kTable) + "<tr><td><table width='100%' align=center><tr><td width='60%'>" +
                text + "简介湖</a></td><td width='40%'>" + pic +
                "湖</a></td></tr></table></td></tr></table>");
  EXPECT_EQ(Pic(Params({{13, "4"}})), std::string(kTable) + "<tr><td></td></tr></table>");
}

TEST_F(ArticlePicTest, TipsAreEncodedForTheAttribute) {
  int64_t ch = Channel(0);
  s_.Add(ArticleRow{.title = "He said \"go\" <now>",
                    .channel = ch,
                    .author = "A&B",
                    .add_time = "2021-05-06 07:08:09",
                    .pic_url = "/p.jpg"});
  std::string html = Pic(Params({{14, "true"}}));
  EXPECT_NE(
      html.find("title=\"文章标题：He said &quot;go&quot; &lt;now&gt;\r\n文章作者：A&amp;B\r\n"
                "更新时间：2021-5-6 7:08:09\">"),
      std::string::npos)
      << html;
}

TEST_F(ArticlePicTest, TitlesSummariesAndPictureAddressesStayText) {
  int64_t ch = Channel(0);
  s_.Add(ArticleRow{.title = "<b>湖</b>&山",
                    .channel = ch,
                    .author = "作者",
                    .inputer = "admin",
                    .add_time = "2020-01-02 03:04:05",
                    .pic_url = "/p.jpg' onerror='x()",
                    .summary = "简介<script>x()</script>"});
  std::string html = Pic(Params());
  EXPECT_EQ(html.find("<b>"), std::string::npos) << html;
  EXPECT_EQ(html.find("<script>"), std::string::npos) << html;
  EXPECT_NE(
      html.find("<img src='/p.jpg&#39; onerror=&#39;x()' border=0 width='120' height='90'>"
                "<br>&lt;b&gt;湖&lt;/b&gt;&amp;山<br>简介&lt;script&gt;x()&lt;/script&gt;</a>"),
      std::string::npos)
      << html;
}

TEST_F(ArticlePicTest, GridsOfColumns) {
  int64_t ch = Channel(0);
  for (int i = 1; i <= 7; ++i) Picture(ch, "P" + std::to_string(i));
  std::string three = Pic(Params({{10, "3"}}));
  EXPECT_EQ(CountOf(three, "<tr><td><a"), 3);
  EXPECT_NE(three.find("P7<br>简介P7</a></td><td>&nbsp;</td><td>&nbsp;</td></tr></table>"),
            std::string::npos)
      << three;
  for (const char* cols : {"0", "1"}) {
    std::string one = Pic(Params({{10, cols}}));
    EXPECT_EQ(CountOf(one, "<tr><td><a"), 7) << cols;
    EXPECT_EQ(CountOf(one, "</a></td></tr>"), 7) << cols;
  }
}

TEST_F(ArticlePicTest, WidthsCutTitlesAndSummaries) {
  int64_t ch = Channel(0);
  s_.Add(ArticleRow{.title = "  " + std::string(130, 'T'),
                    .channel = ch,
                    .pic_url = "/p.jpg",
                    .summary = std::string(200, 'S')});
  std::string html = Pic(Params({{8, "0"}, {9, "0"}}));
  // Width 0 is 120: 117 characters and "..."; layout 1 with dynamic links trims the title first.
  EXPECT_NE(
      html.find("<br>" + std::string(117, 'T') + "...<br>" + std::string(117, 'S') + "...</a>"),
      std::string::npos)
      << html;
  EXPECT_NE(Pic(Params({{8, "10"}, {9, "6"}})).find("<br>TTTTTTT...<br>SSS...</a>"),
            std::string::npos);
}

TEST_F(ArticlePicTest, StaticLinksWithAndWithoutClassFolder) {
  int64_t ch = Channel(1);
  int64_t k = s_.Add(ClassRow{.name = "风景", .dir = "view", .channel = ch});
  int64_t bare = s_.Add(ClassRow{.name = "无目录", .dir = "", .channel = ch});
  int64_t in_view = Picture(ch, "V", k);
  int64_t in_bare = Picture(ch, "W", bare);
  std::string html = Pic(Params());
  EXPECT_NE(html.find("<a href='/pic/view/" + Id(in_view) + ".html'"), std::string::npos) << html;
  EXPECT_NE(html.find("<a href='/pic/" + Id(in_bare) + ".html'"), std::string::npos) << html;
}

TEST_F(ArticlePicTest, AnotherChannelsPicturesLinkWithItsSettings) {
  int64_t other = s_.Add(ChannelRow{.dir = "photo", .generate_html = 2});
  int64_t id = Picture(other, "远");
  int64_t ch = Channel(0, "news");
  std::string html = Pic(Params({{0, Id(other)}}));
  EXPECT_NE(html.find("<a href='/photo/" + Id(id) + ".html'"), std::string::npos) << html;
  EXPECT_EQ(s_.state.channel.ChannelID.ToString(), Id(ch));
  EXPECT_EQ(s_.state.channel.GenerateHtml.ToString(), "0");
  EXPECT_EQ(s_.state.channel.ChannelDir, "news/");
  EXPECT_EQ(Pic(Params({{0, "9999"}})), "<li>暂时没有本类数据！</li>");
}

}  // namespace
}  // namespace folirex
