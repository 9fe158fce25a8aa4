#include "site/navigation.h"

#include <gtest/gtest.h>

#include <string>

#include "support/site_fixture.h"

namespace folirex {
namespace {

using testing::ChannelRow;
using testing::ClassRow;
using testing::CountOf;
using testing::SiteFixture;
using testing::SubjectRow;

class NavigationTest : public ::testing::Test {
 protected:
  int64_t Channel(int mode, const std::string& dir = "news") {
    int64_t id = s_.Add(ChannelRow{.dir = dir, .generate_html = mode});
    s_.UseChannel(id);
    return id;
  }
  SiteFixture s_;
};

TEST_F(NavigationTest, ClassRowsWithTheirSubClassesBeside) {
  int64_t ch = Channel(0);
  int64_t news = s_.Add(ClassRow{.name = "新闻", .dir = "news", .channel = ch});
  std::vector<int64_t> subs;
  for (int i = 1; i <= 6; ++i) {
    subs.push_back(s_.Add(ClassRow{.name = "子" + std::to_string(i),
                                   .dir = "s" + std::to_string(i),
                                   .parent = news,
                                   .channel = ch}));
  }
  int64_t lone = s_.Add(ClassRow{.name = "独立", .dir = "lone", .channel = ch});
  const std::string c = std::to_string(ch);
  auto link = [&](int64_t id) {
    return "/asp.asp?m=classlist&classid=" + std::to_string(id) + "&channelid=" + c;
  };
  std::string html = ShowClassNavi(s_.state, s_.state.channel, 4);
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
  EXPECT_EQ(ShowSubjectNavi(s_.state, s_.state.channel, 1), "没有专题列表");
}

// Class and subject names are text.
TEST_F(NavigationTest, NamesGoInAsText) {
  int64_t ch = Channel(0);
  const std::string t = "A <b>\"粗\"</b>";
  const std::string e = "A &lt;b&gt;&quot;粗&quot;&lt;/b&gt;";
  int64_t top = s_.Add(ClassRow{.name = t, .dir = "top", .channel = ch});
  s_.Add(ClassRow{.name = t + "2", .dir = "sub", .parent = top, .channel = ch});
  s_.Add(SubjectRow{.name = t, .dir = "z", .order = 1, .channel = ch});
  const std::string classes = ShowClassNavi(s_.state, s_.state.channel, 2);
  EXPECT_EQ(CountOf(classes, "'>" + e + "</a>]"), 1) << classes;
  EXPECT_EQ(CountOf(classes, "'>" + e + "2</a>"), 1) << classes;
  EXPECT_EQ(classes.find("<b>"), std::string::npos) << classes;
  EXPECT_EQ(CountOf(ShowSubjectNavi(s_.state, s_.state.channel, 1), "'>" + e + "</a></td>"), 1);
}

TEST_F(NavigationTest, ColumnWidthsAndShortRows) {
  int64_t ch = Channel(1);
  int64_t top = s_.Add(ClassRow{.name = "甲", .dir = "jia", .channel = ch});
  s_.Add(ClassRow{.name = "乙", .dir = "yi", .parent = top, .channel = ch});
  s_.Add(ClassRow{.name = "丙", .dir = "", .parent = top, .channel = ch});
  s_.Add(ClassRow{.name = "丁", .dir = "ding", .parent = top, .channel = ch});
  std::string two = ShowClassNavi(s_.state, s_.state.channel, 2);
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
  std::string four = ShowClassNavi(s_.state, s_.state.channel, 4);
  EXPECT_EQ(CountOf(four, "<td width='20%'>&nbsp;</td>"), 1);
  EXPECT_NE(four.find("&nbsp;</td></tr></table>"), std::string::npos);
  // No column count, or a negative one: one column of width 50.
  for (int cols : {0, -3}) {
    std::string one = ShowClassNavi(s_.state, s_.state.channel, cols);
    EXPECT_EQ(CountOf(one, "width='50%'>"), 2) << cols;
    EXPECT_NE(one.find("乙</a></td></tr></table>"), std::string::npos) << cols;
  }
}

TEST_F(NavigationTest, ModeTwoLinksTheDynamicListsWithItsOwnRowOpener) {
  int64_t ch = Channel(2);
  int64_t top = s_.Add(ClassRow{.name = "甲", .dir = "jia", .channel = ch});
  s_.Add(ClassRow{.name = "乙", .dir = "yi", .parent = top, .channel = ch});
  std::string html = ShowClassNavi(s_.state, s_.state.channel, 3);
  EXPECT_NE(html.find("<tr><td  width='25%'>[<a href='/asp.asp?m=classlist&classid="),
            std::string::npos);
  EXPECT_NE(html.find("</td><td width='25%'><a href='/asp.asp?m=classlist"), std::string::npos);
  EXPECT_EQ(html.find("list_"), std::string::npos);
}

TEST_F(NavigationTest, AChannelWithoutClassesGivesNoTable) {
  Channel(0);
  int64_t other = s_.Add(ChannelRow{});
  s_.Add(ClassRow{.name = "别处", .dir = "x", .channel = other});
  EXPECT_EQ(ShowClassNavi(s_.state, s_.state.channel, 4), "");
}

TEST_F(NavigationTest, SubjectGrid) {
  int64_t ch = Channel(0);
  std::vector<int64_t> ids;
  for (int i = 1; i <= 5; ++i) {
    ids.push_back(s_.Add(SubjectRow{.name = "专题" + std::to_string(i),
                                    .dir = "z" + std::to_string(i),
                                    .order = 6 - i,
                                    .channel = ch}));
  }
  const std::string c = std::to_string(ch);
  std::string html = ShowSubjectNavi(s_.state, s_.state.channel, 2);
  EXPECT_EQ(html.rfind("<table width='100%' border='0' align='center' cellpadding='0' "
                       "cellspacing='3'><tr><td><a href='/asp.asp?m=subjectlist&subjectid=" +
                           std::to_string(ids[4]) + "&channelid=" + c + "'>专题5</a></td>",
                       0),
            0u);
  EXPECT_EQ(CountOf(html, "<tr>"), 3);
  EXPECT_NE(html.find("专题1</a></td><td>&nbsp;</td></tr></table>"), std::string::npos);

  std::string one = ShowSubjectNavi(s_.state, s_.state.channel, 1);
  EXPECT_EQ(CountOf(one, "<tr><td><a href="), 5);
  EXPECT_EQ(CountOf(one, "</a></td></tr>"), 5);
  EXPECT_EQ(ShowSubjectNavi(s_.state, s_.state.channel, 0), one);

  s_.Exec(
      "update Vantrel_Channel set d_generatehtml = 1, d_listfileext = 1 "
      "where d_id = " +
      c);
  s_.UseChannel(ch);
  EXPECT_NE(ShowSubjectNavi(s_.state, s_.state.channel, 3)
                .find("<a href='/news/subject/z2/list_" + std::to_string(ids[1]) + ".htm'>专题2"),
            std::string::npos);
  // Only the channel's own subjects are listed.
  int64_t other = s_.Add(ChannelRow{});
  s_.Add(SubjectRow{.name = "别处专题", .dir = "elsewhere", .order = 1, .channel = other});
  EXPECT_EQ(ShowSubjectNavi(s_.state, s_.state.channel, 3).find("别处专题"), std::string::npos);
}

}  // namespace
}  // namespace folirex
