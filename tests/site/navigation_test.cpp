#include "site/navigation.h"

#include <gtest/gtest.h>

#include <string>

#include "site/list_fixture.h"

namespace folirex {
namespace {

using testing::ChannelSpec;
using testing::CountOf;
using testing::ListSite;

class NavigationTest : public ::testing::Test {
 protected:
  int64_t Channel(int mode, const std::string& dir = "news") {
    ChannelSpec c;
    c.dir = dir;
    c.generate_html = mode;
    int64_t id = s_.AddChannel(c);
    s_.UseChannel(id);
    return id;
  }
  ListSite s_;
};

TEST_F(NavigationTest, ClassRowsWithTheirSubClassesBeside) {
  int64_t ch = Channel(0);
  int64_t news = s_.AddClass(ch, 0, "新闻", "news");
  std::vector<int64_t> subs;
  for (int i = 1; i <= 6; ++i) {
    subs.push_back(s_.AddClass(ch, news, "子" + std::to_string(i), "s" + std::to_string(i)));
  }
  int64_t lone = s_.AddClass(ch, 0, "独立", "lone");
  s_.RebuildTree(ch);
  const std::string c = std::to_string(ch);
  auto link = [&](int64_t id) {
    return "/asp.asp?m=classlist&classid=" + std::to_string(id) + "&channelid=" + c;
  };
  std::string html = ShowClassNavi(s_.state, 4);
  std::string expected =
      "<table width='100%' border='0' align='center' "
      "cellpadding='3' cellspacing='0'>"
      "<tr><td width='20%'>[<a href='" +
      link(news) + "'>新闻</a>]</td>";
  for (int i = 0; i < 4; ++i) {
    expected +=
        "<td  width='20%'><a href='" + link(subs[i]) + "'>子" + std::to_string(i + 1) + "</a></td>";
  }
  expected += "</tr><tr><td width='20%'>[<a href='" + link(lone) + "'>独立</a>]</td>";
  for (int i = 0; i < 4; ++i) expected += "<td width='20%'>&nbsp;</td>";
  expected += "</tr></table>";
  EXPECT_EQ(html, expected);
  EXPECT_EQ(html.find("子5"), std::string::npos);
  EXPECT_EQ(ShowSubjectNavi(s_.state, 1), "没有专题列表");
}

// Class and subject names are text.
TEST_F(NavigationTest, NamesGoInAsText) {
  int64_t ch = Channel(0);
  const std::string t = "A <b>\"粗\"</b>";
  const std::string e = "A &lt;b&gt;&quot;粗&quot;&lt;/b&gt;";
  int64_t top = s_.AddClass(ch, 0, t, "top");
  s_.AddClass(ch, top, t + "2", "sub");
  s_.RebuildTree(ch);
  s_.AddSubject(ch, t, "z", 1);
  const std::string classes = ShowClassNavi(s_.state, 2);
  EXPECT_EQ(CountOf(classes, "'>" + e + "</a>]"), 1) << classes;
  EXPECT_EQ(CountOf(classes, "'>" + e + "2</a>"), 1) << classes;
  EXPECT_EQ(classes.find("<b>"), std::string::npos) << classes;
  EXPECT_EQ(CountOf(ShowSubjectNavi(s_.state, 1), "'>" + e + "</a></td>"), 1);
}

TEST_F(NavigationTest, ColumnWidthsAndShortRows) {
  int64_t ch = Channel(1);
  int64_t top = s_.AddClass(ch, 0, "甲", "jia");
  s_.AddClass(ch, top, "乙", "yi");
  s_.AddClass(ch, top, "丙", "");
  s_.AddClass(ch, top, "丁", "ding");
  s_.RebuildTree(ch);
  std::string two = ShowClassNavi(s_.state, 2);
  EXPECT_EQ(CountOf(two, "33.3333333333333%'>"), 3);
  EXPECT_EQ(CountOf(two, "<tr>"), 1);
  // Static lists in each class's own folder (list folder code 0), or the
  // channel folder.
  EXPECT_NE(two.find("[<a href='/news/jia/list_" + std::to_string(top) + ".html'>甲</a>]"),
            std::string::npos);
  EXPECT_NE(two.find("<td width='33.3333333333333%'><a href='/news/yi/list_"), std::string::npos);
  EXPECT_NE(two.find("<a href='/news/list_" + std::to_string(top + 2) + ".html'>丙</a>"),
            std::string::npos);
  EXPECT_EQ(two.find("丁"), std::string::npos);
  // Three of four columns used: one filler, then the row ends.
  std::string four = ShowClassNavi(s_.state, 4);
  EXPECT_EQ(CountOf(four, "<td width='20%'>&nbsp;</td>"), 1);
  EXPECT_NE(four.find("&nbsp;</td></tr></table>"), std::string::npos);
  // No column count, or a negative one: one column of width 50.
  for (int cols : {0, -3}) {
    std::string one = ShowClassNavi(s_.state, cols);
    EXPECT_EQ(CountOf(one, "width='50%'>"), 2) << cols;
    EXPECT_NE(one.find("乙</a></td></tr></table>"), std::string::npos) << cols;
  }
}

TEST_F(NavigationTest, ModeTwoLinksTheDynamicListsWithItsOwnRowOpener) {
  int64_t ch = Channel(2);
  int64_t top = s_.AddClass(ch, 0, "甲", "jia");
  s_.AddClass(ch, top, "乙", "yi");
  s_.RebuildTree(ch);
  std::string html = ShowClassNavi(s_.state, 3);
  EXPECT_NE(html.find("<tr><td  width='25%'>[<a href='/asp.asp?m=classlist&classid="),
            std::string::npos);
  EXPECT_NE(html.find("</td><td width='25%'><a href='/asp.asp?m=classlist"), std::string::npos);
  EXPECT_EQ(html.find("list_"), std::string::npos);
}

TEST_F(NavigationTest, AChannelWithoutClassesGivesNoTable) {
  Channel(0);
  int64_t other = s_.AddChannel(ChannelSpec{});
  s_.AddClass(other, 0, "别处", "x");
  s_.RebuildTree(other);
  EXPECT_EQ(ShowClassNavi(s_.state, 4), "");
}

TEST_F(NavigationTest, SubjectGrid) {
  int64_t ch = Channel(0);
  std::vector<int64_t> ids;
  for (int i = 1; i <= 5; ++i) {
    ids.push_back(s_.AddSubject(ch, "专题" + std::to_string(i), "z" + std::to_string(i), 6 - i));
  }
  const std::string c = std::to_string(ch);
  std::string html = ShowSubjectNavi(s_.state, 2);
  EXPECT_EQ(html.rfind("<table width='100%' border='0' align='center' cellpadding='0' "
                       "cellspacing='3'><tr><td><a href='/asp.asp?m=subjectlist&subjectid=" +
                           std::to_string(ids[4]) + "&channelid=" + c + "'>专题5</a></td>",
                       0),
            0u);
  EXPECT_EQ(CountOf(html, "<tr>"), 3);
  EXPECT_NE(html.find("专题1</a></td><td>&nbsp;</td></tr></table>"), std::string::npos);

  std::string one = ShowSubjectNavi(s_.state, 1);
  EXPECT_EQ(CountOf(one, "<tr><td><a href="), 5);
  EXPECT_EQ(CountOf(one, "</a></td></tr>"), 5);
  EXPECT_EQ(ShowSubjectNavi(s_.state, 0), one);

  s_.Exec(
      "update Vantrel_Channel set d_generatehtml = 1, d_listfileext = 1 "
      "where d_id = " +
      c);
  s_.UseChannel(ch);
  EXPECT_NE(ShowSubjectNavi(s_.state, 3)
                .find("<a href='/news/subject/z2/list_" + std::to_string(ids[1]) + ".htm'>专题2"),
            std::string::npos);
  // Only the channel's own subjects are listed.
  int64_t other = s_.AddChannel(ChannelSpec{});
  s_.AddSubject(other, "别处专题", "elsewhere", 1);
  EXPECT_EQ(ShowSubjectNavi(s_.state, 3).find("别处专题"), std::string::npos);
}

}  // namespace
}  // namespace folirex
