// The breadcrumb of {$showpath} and the previous/next article links, by page type and HTML mode.
#include "site/location_path.h"

#include <gtest/gtest.h>

#include <string>

#include "core/public_request.h"
#include "support/site_fixture.h"

namespace folirex::testing {
namespace {

class LocationPathTest : public ::testing::Test {
 protected:
  std::string Path(const Variant& class_id, const Variant& subject_id, const std::string& mode,
                   const std::string& type, int channel = 1) {
    std::string path;
    site_.InRequest(
        [&](RequestState& s) {
          path = ShowPath(s, s.channel, ParseId(class_id.ToString()),
                          ParseId(subject_id.ToString()), mode, type);
        },
        channel);
    return path;
  }

  std::string Neighbours(int article, int channel = 1) {
    std::string text;
    site_.InRequest(
        [&](RequestState& s) {
          text = ShowArticlePrevious(s, s.channel, article) + "|" +
                 ShowArticleNext(s, s.channel, article);
        },
        channel);
    return text;
  }

  SiteFixture site_;
};

TEST_F(LocationPathTest, FixedTextsAndEmptyPaths) {
  EXPECT_EQ(Path("", "", "0", "default"), "您当前位置：网站首页");
  EXPECT_EQ(Path("", "", "0", "TellFriend"), "您当前位置：告诉好友");
  EXPECT_EQ(Path("", "", "0", "print"), "");
  EXPECT_EQ(Path("", "", "0", "notice"), "");
  std::string head = "您当前位置：<a href='/asp.asp?channelid=1'>文章中心</a>&nbsp;&gt;&gt;&nbsp;";
  EXPECT_EQ(Path("", "", "0", "first"), head + "首页");
  EXPECT_EQ(Path("", "", "0", "newlist"), head + "最新文章");
  EXPECT_EQ(Path("", "", "0", "recommendlist"), head + "最新推荐文章");
  EXPECT_EQ(Path("", "", "0", "hotlist"), head + "热门文章");
  EXPECT_EQ(Path("", "", "0", "search"), head + "查询结果");
  EXPECT_EQ(Path("", "", "0", "comment"), head + "发表评论");
  // A class or subject that does not exist, or an id that is no number.
  EXPECT_EQ(Path(999, "", "0", "content"), head + "内容");
  EXPECT_EQ(Path("1 or 1=1", "", "0", "classlist"), head + "分类列表");
  EXPECT_EQ(Path("", 999, "0", "subjectlist"), head + "不属于任何分类列表");
  EXPECT_EQ(Path("", "x", "0", "subjectlist"), head + "不属于任何分类列表");
}

TEST_F(LocationPathTest, ChannelLinkFollowsTheHtmlMode) {
  site_.SetChannel(1, "d_firstfileext = 2");
  EXPECT_EQ(Path("", "", "1", "first"),
            "您当前位置：<a href='/default.shtml'>文章中心</a>&nbsp;&gt;&gt;&nbsp;首页");
  int other = site_.Add(ChannelRow{.name = "体育", .dir = "sports", .first_file_ext = 1});
  EXPECT_EQ(Path("", "", "2", "first"),
            "您当前位置：<a href='/Article/default.shtml'>文章中心</a>&nbsp;&gt;&gt;&nbsp;首页");
  EXPECT_EQ(Path("", "", "1", "hotlist", other),
            "您当前位置：<a href='/sports/default.htm'>体育</a>&nbsp;&gt;&gt;&nbsp;热门文章");
  // A disabled or hidden channel does not count.
  site_.SetChannel(other, "d_disabledflag = -1");
  EXPECT_EQ(Path("", "", "1", "first"),
            "您当前位置：<a href='/default.shtml'>文章中心</a>&nbsp;&gt;&gt;&nbsp;首页");
}

TEST_F(LocationPathTest, ClassChainFromTheTopClassDown) {
  int a = site_.Add(ClassRow{.name = "一级", .dir = "one"});
  int b = site_.Add(ClassRow{.name = "二级", .dir = "two", .parent = a});
  int c = site_.Add(ClassRow{.name = "三级", .dir = "three", .parent = b});
  auto link = [](int id, const std::string& name) {
    return "<a href='/asp.asp?m=classlist&classid=" + std::to_string(id) + "&channelid=1'>" + name;
  };
  std::string head = "您当前位置：<a href='/asp.asp?channelid=1'>文章中心</a>&nbsp;&gt;&gt;&nbsp;";
  EXPECT_EQ(Path(c, "", "0", "content"), head + link(a, "一级") + "</a> &gt;&gt;&nbsp;" +
                                             link(b, "二级") + "</a> &gt;&gt;&nbsp;" +
                                             link(c, "三级") + "</a> &gt;&gt;&nbsp;内容");
  EXPECT_EQ(Path(b, "", "0", "classlist"), head + link(a, "一级") + "</a>&nbsp;&gt;&gt;&nbsp;" +
                                               link(b, "二级") +
                                               "</a>&nbsp;&gt;&gt;&nbsp;分类列表");
  // Mode 2: the channel links to its static first page, the classes to the dynamic lists.
  std::string page = Path(a, "", "2", "classlist");
  EXPECT_EQ(page, "您当前位置：<a href='/default.html'>文章中心</a>&nbsp;&gt;&gt;&nbsp;" +
                      link(a, "一级") + "</a>&nbsp;&gt;&gt;&nbsp;分类列表");
  // Mode 1: the classes link to their static list files in the channel folder (list rule 2).
  site_.SetChannel(1, "d_listdir = 2, d_listfileext = 1");
  EXPECT_EQ(Path(b, "", "1", "classlist"),
            "您当前位置：<a href='/default.html'>文章中心</a>&nbsp;&gt;&gt;&nbsp;<a href='/Article/"
            "list_" +
                std::to_string(a) + ".htm'>一级</a>&nbsp;&gt;&gt;&nbsp;<a href='/Article/list_" +
                std::to_string(b) + ".htm'>二级</a>&nbsp;&gt;&gt;&nbsp;分类列表");
  // A path whose last id lacks its comma leaves that class out, as a broken path must.
  site_.Sql("update Vantrel_ArticleClass set d_path = '" + std::to_string(a) + "," +
            std::to_string(b) + "' where d_id = " + std::to_string(b));
  EXPECT_EQ(Path(b, "", "0", "content"), head + link(a, "一级") + "</a> &gt;&gt;&nbsp;内容");
}

TEST_F(LocationPathTest, NeighboursAcrossChannelsWithTheCurrentChannelsLinks) {
  int other = site_.Add(ChannelRow{.name = "体育", .dir = "sports"});
  int a = site_.Add(ArticleRow{.title = "甲", .content = "x"});
  int b = site_.Add(ArticleRow{.title = "乙", .content = "x", .channel = other});
  int c = site_.Add(ArticleRow{.title = "丙", .content = "x"});
  EXPECT_EQ(Neighbours(a), "没有了|<a href='/asp.asp?m=content&articleid=" + std::to_string(b) +
                               "&channelid=1'>乙</a>");
  EXPECT_EQ(Neighbours(c), "<a href='/asp.asp?m=content&articleid=" + std::to_string(b) +
                               "&channelid=1'>乙</a>|没有了");
  // Static links use the current channel's naming and folder.
  site_.SetChannel(1, "d_generatehtml = 1, d_contentfiletype = 1");
  EXPECT_EQ(Neighbours(a), "没有了|<a href='/Article/20240305080910.html'>乙</a>");
  EXPECT_EQ(Neighbours(c, 1).substr(0, 9), "<a href='");
  // Malformed ids reach no query.
  std::string text;
  site_.InRequest(
      [&](RequestState& s) { text = ShowArticleNext(s, s.channel, ParseId("1 or 1=1")); });
  EXPECT_EQ(text, "没有了");
}

// The channel, class and subject names and the neighbours' titles are text.
TEST_F(LocationPathTest, NamesAndTitlesGoInAsText) {
  const std::string t = "A <b>\"粗\"</b>";
  const std::string e = "A &lt;b&gt;&quot;粗&quot;&lt;/b&gt;";
  site_.Exec("update Vantrel_Channel set d_channelname = ? where d_id = 1", {t});
  int cls = site_.Add(ClassRow{.name = t, .dir = "one"});
  int subject = site_.Add(SubjectRow{.name = t});
  int a = site_.Add(ArticleRow{.title = "甲", .content = "x"});
  int b = site_.Add(ArticleRow{.title = t, .content = "x"});
  std::string head = "您当前位置：<a href='/asp.asp?channelid=1'>" + e + "</a>&nbsp;&gt;&gt;&nbsp;";
  EXPECT_EQ(Path(cls, "", "0", "classlist"),
            head + "<a href='/asp.asp?m=classlist&classid=" + std::to_string(cls) +
                "&channelid=1'>" + e + "</a>&nbsp;&gt;&gt;&nbsp;分类列表");
  EXPECT_EQ(Path("", subject, "0", "subjectlist"), head + e + "列表");
  EXPECT_EQ(Neighbours(a), "没有了|<a href='/asp.asp?m=content&articleid=" + std::to_string(b) +
                               "&channelid=1'>" + e + "</a>");
}

}  // namespace
}  // namespace folirex::testing
