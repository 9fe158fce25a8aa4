// Small label values: channel and item names, the home page's channel statistics, page keywords
// from the keyword library, and the class and list links by HTML mode.
#include "site/small_labels.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "site/channel_loader.h"
#include "support/site_fixture.h"

namespace folirex::testing {
namespace {

class SmallLabelsTest : public ::testing::Test {
 protected:
  std::string In(const std::function<std::string(RequestState&)>& fn, int channel = 1) {
    std::string value;
    site_.InRequest([&](RequestState& s) { value = fn(s); }, channel);
    return value;
  }

  SiteFixture site_;
};

TEST_F(SmallLabelsTest, ChannelAndProjectNames) {
  EXPECT_EQ(In([](RequestState& s) { return GetChannelName(s.db, s.caches, 1); }), "文章中心");
  EXPECT_EQ(In([](RequestState& s) { return GetProjectName(s.db, s.caches, "1"); }), "文章");
  EXPECT_EQ(In([](RequestState& s) {
              return GetChannelName(s.db, s.caches, 77) + GetProjectName(s.db, s.caches, 77);
            }),
            "");
  EXPECT_EQ(In([](RequestState& s) { return GetChannelName(s.db, s.caches, "1 or 1=1"); }), "");
}

TEST_F(SmallLabelsTest, ChannelStatisticsOfTheShownChannels) {
  site_.SetChannel(1, "d_channelname = '文章中心', d_itemcount = 120, d_itemcountchecked = 100");
  int other = site_.Add(ChannelRow{.name = "图片",
                                   .dir = "pic",
                                   .order = 0,
                                   .project_name = "图片",
                                   .project_unit = "张",
                                   .item_count = 4,
                                   .item_count_checked = 1});
  EXPECT_EQ(In([](RequestState& s) { return ShowChannelStat(s.db, s.caches); }),
            "图片：4张图片<br>图片：1张已审核<br>文章中心：120篇文章<br>文章中心：100篇已审核<br>");
  site_.SetChannel(other, "d_channeltype = 2");
  site_.SetChannel(1, "d_disabledflag = -1");
  EXPECT_EQ(In([](RequestState& s) { return ShowChannelStat(s.db, s.caches); }), "");
}

// The statistics blocks are markup around text: channel names, item words and units encoded.
TEST_F(SmallLabelsTest, StatisticsShowNamesAsText) {
  const std::string t = "A <b>\"粗\"</b>";
  const std::string e = "A &lt;b&gt;&quot;粗&quot;&lt;/b&gt;";
  site_.Exec(
      "update Vantrel_Channel set d_channelname = ?, d_projectname = ?, d_projectunit = '<i>', "
      "d_itemcount = 3, d_itemcountchecked = 2 where d_id = 1",
      {t, t});
  EXPECT_EQ(In([](RequestState& s) { return ShowChannelStat(s.db, s.caches); }),
            e + "：3&lt;i&gt;" + e + "<br>" + e + "：2&lt;i&gt;已审核<br>");
  ChannelSettings channel;
  channel.ProjectName = t;
  channel.ProjectUnit = "<i>";
  channel.ItemCount = 3;
  EXPECT_EQ(ChannelStatHtml(channel).rfind(
                "<table width='100%' align=center><tr><td>" + e + "总数：3 &lt;i&gt;</td></tr>", 0),
            0u);
}

TEST_F(SmallLabelsTest, PageKeywordsFromTheKeywordLibrary) {
  for (const char* word : {"奥运", "北京", "足球"}) site_.Add(KeywordRow{.name = word});
  site_.Add(KeywordRow{.name = "北京", .channel = 2});
  auto keywords = [&](const Variant& flag, const std::string& title) {
    return In([&](RequestState& s) {
      return GetMatchedKeywords(s.db, s.channel, flag, title, "手写,词");
    });
  };
  EXPECT_EQ(keywords(false, "北京奥运"), "手写,词");
  EXPECT_EQ(keywords("0", "北京奥运"), "手写,词");
  std::string both = keywords(true, "北京奥运会开幕");
  EXPECT_TRUE(both == "奥运,北京" || both == "北京,奥运") << both;
  EXPECT_EQ(keywords(1, "无关标题"), "");
  // A quote in the title is only text.
  EXPECT_EQ(keywords(true, "足球' or '1'='1"), "足球");
  EXPECT_EQ(In([](RequestState& s) { return GetMatchedKeywords(s.db, s.channel, false, "t", ""); }),
            "");
}

TEST_F(SmallLabelsTest, ClassAndListLinksByHtmlMode) {
  int cls = site_.Add(ClassRow{.name = "国内", .dir = "china"});
  std::string id = std::to_string(cls);
  auto links = [&]() {
    return In([&](RequestState& s) {
      return GetClassLinkUrl(s, s.channel, cls) + "|" + GetHotListUrl(s, s.channel) + "|" +
             GetRecommendListUrl(s, s.channel) + "|" + GetNewListUrl(s, s.channel);
    });
  };
  EXPECT_EQ(links(), "/asp.asp?m=classlist&classid=" + id +
                         "&channelid=1|/asp.asp?m=hotlist&channelid=1|/asp.asp?m=recommendlist&"
                         "channelid=1|/asp.asp?m=newlist&channelid=1");
  site_.SetChannel(1, "d_generatehtml = 2, d_listfileext = 2");
  EXPECT_EQ(links(), "/asp.asp?m=classlist&classid=" + id +
                         "&channelid=1|/Article/listhot/list_hot.shtml|/Article/listhot/"
                         "list_recommend.shtml|/Article/listhot/list_new.shtml");
  site_.SetChannel(1, "d_generatehtml = 1, d_listfileext = 0, d_listdir = 2");
  EXPECT_EQ(links(), "/Article/list_" + id +
                         ".html|/Article/listhot/list_hot.html|/Article/listhot/"
                         "list_recommend.html|/Article/listhot/list_new.html");
}

}  // namespace
}  // namespace folirex::testing
