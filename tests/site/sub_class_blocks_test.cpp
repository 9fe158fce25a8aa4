#include "site/sub_class_blocks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/site_fixture.h"

namespace folirex {
namespace {

using testing::ArticleRow;
using testing::ChannelRow;
using testing::ClassRow;
using testing::CountOf;
using testing::HttpAnswer;
using testing::SiteFixture;

constexpr const char* kGrid =
    "<table width='100%' border='0' align='center' cellpadding='0' cellspacing='0'>";
constexpr int kSet = 902;

std::string Block(const std::string& columns, const std::string& body) {
  return "<img src='b.gif' TemplateChip=\"ListSubClassList:" + columns + "\">" + body +
         "<img src='e.gif' TemplateChip=\"EndSubClassList\">";
}

std::string Design(const std::string& columns, const std::string& body,
                   const std::string& separator) {
  return Block(columns, body) + separator + body + separator;
}

class SubClassBlocksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Only the test's own channels appear in the home page's grid.
    s_.Exec("update Vantrel_Channel set d_shownameflag = 0");
    s_.UseChannel(1);
  }
  int64_t Channel(const std::string& dir, int order, bool shown = true, bool disabled = false,
                  int type = 1) {
    return s_.Add(ChannelRow{.name = "频道" + dir,
                             .dir = dir,
                             .order = order,
                             .type = type,
                             .show_name = shown,
                             .disabled = disabled,
                             .template_id = kSet});
  }
  std::string Id(int64_t v) { return std::to_string(v); }
  SiteFixture s_;
};

TEST_F(SubClassBlocksTest, SevenChannelsInThreeColumns) {
  for (int i = 0; i < 7; ++i) Channel("c" + std::to_string(i), 20 - i);
  Channel("hidden", 1, /*shown=*/false);
  Channel("off", 1, true, /*disabled=*/true);
  Channel("link", 1, true, false, /*type=*/2);
  const std::string cell = "<td valign=top>[{$showchanneldir}]</td>";
  std::string html = ShowSubClassListByChannel(s_.state, PageSkin{}, 1,
                                               Design("3", "[{$showchanneldir}]", "[zarnik1]"));
  // Channels in their display order (c6 has the smallest).
  std::string expected = std::string(kGrid) +
                         "<tr><td valign=top>[c6/]</td><td width=5></td><td valign=top>[c5/]</td>"
                         "<td width=5></td><td valign=top>[c4/]</td></tr>"
                         "<tr><td valign=top>[c3/]</td><td width=5></td><td valign=top>[c2/]</td>"
                         "<td width=5></td><td valign=top>[c1/]</td></tr>"
                         "<tr><td valign=top>[c0/]</td><td width=5></td><td>&nbsp;</td>"
                         "<td>&nbsp;</td></tr><tr><td colspan='3' height=5></td></tr></table>";
  EXPECT_EQ(html, expected);
  // The page's own channel and its settings are back.
  EXPECT_EQ(s_.state.channel.ChannelID.ToString(), "1");
  EXPECT_EQ(s_.state.channel.ChannelDir, "Article/");
}

// A cell is a page of its channel, statistics included; the page's own settings are there again
// after the grid.
TEST_F(SubClassBlocksTest, EachCellShowsItsChannelsStatistics) {
  int64_t a = Channel("a", 1);
  int64_t b = Channel("b", 2);
  s_.Exec("update Vantrel_Channel set d_itemcount = d_id * 100 where d_id in (?, ?)", {a, b});
  s_.UseChannel(1);
  const Variant page_items = s_.state.channel.ItemCount;
  std::string html = ShowSubClassListByChannel(s_.state, PageSkin{}, 1,
                                               Design("2", "{$showchannelstat}", "[zarnik1]"));
  EXPECT_NE(html.find("总数：" + std::to_string(a * 100) + " "), std::string::npos) << html;
  EXPECT_NE(html.find("总数：" + std::to_string(b * 100) + " "), std::string::npos) << html;
  EXPECT_EQ(s_.state.channel.ChannelID.ToString(), "1");
  EXPECT_EQ(s_.state.channel.ItemCount.ToString(), page_items.ToString());
}

TEST_F(SubClassBlocksTest, ColumnCountsAndMissingPieces) {
  Channel("a", 1);
  Channel("b", 2);
  const std::string body = "x";
  EXPECT_EQ(ShowSubClassListByChannel(s_.state, PageSkin{}, 1, Design("0", body, "[zarnik1]")),
            Block("0", body));
  EXPECT_EQ(ShowSubClassListByChannel(s_.state, PageSkin{}, 1, Design("a", body, "[zarnik1]")),
            Block("a", body));
  // Only the first character counts: 12 is one column.
  std::string one =
      ShowSubClassListByChannel(s_.state, PageSkin{}, 1, Design("12", body, "[zarnik1]"));
  EXPECT_EQ(one, std::string(kGrid) +
                     "<tr><td valign=top>x</td></tr><tr><td valign=top>x</td></tr>"
                     "<tr><td colspan='1' height=5></td></tr></table>");
  EXPECT_EQ(ShowSubClassListByChannel(s_.state, PageSkin{}, 2, Design("2", body, "[zarnik1]")), "");
  EXPECT_EQ(ShowSubClassListByChannel(s_.state, PageSkin{}, 1, ""), "");
  EXPECT_EQ(ShowSubClassList(s_.state, s_.state.channel, 0, "first", ""), "");
  EXPECT_EQ(
      ShowSubClassList(s_.state, s_.state.channel, 0, "first", Design("2", body, "[zarnik1]")), "");
  s_.Exec("update Vantrel_Channel set d_shownameflag = 0");
  s_.state.caches.Clear();  // as a page that changes a channel does
  EXPECT_EQ(ShowSubClassListByChannel(s_.state, PageSkin{}, 1, Design("2", body, "[zarnik1]")), "");
}

TEST_F(SubClassBlocksTest, ChipsOfTheCurrentChannelAreBoundToEachCell) {
  int64_t a = Channel("alpha", 1);
  int64_t b = Channel("beta", 2);
  for (int64_t ch : {a, b}) {
    s_.Add(ArticleRow{.title = "文章" + Id(ch), .channel = ch});
  }
  const std::string chip =
      "<img src='c.gif' TemplateChip=\"ListArticleList:-1,0,false,0,5,false,false,,0,0,1,false,"
      "0,0,false,false,false,false,false,false,false,2\">";
  const std::string body = "<B>Head</B><script>document.getElementById('X')</script>" + chip;
  std::string html =
      ShowSubClassListByChannel(s_.state, PageSkin{}, 1, Design("2", body, "[zarnik1]"));
  EXPECT_NE(html.find("文章" + Id(a) + "</font>"), std::string::npos) << html;
  EXPECT_NE(html.find("文章" + Id(b) + "</font>"), std::string::npos);
  EXPECT_NE(html.find("&channelid=" + Id(a) + "'"), std::string::npos);
  EXPECT_NE(html.find("&channelid=" + Id(b) + "'"), std::string::npos);
  EXPECT_NE(html.find("/alpha/images/arrow.gif"), std::string::npos);
  EXPECT_NE(html.find("/beta/images/arrow.gif"), std::string::npos);
  // The rest of the body keeps its letter case.
  EXPECT_EQ(CountOf(html, "<B>Head</B><script>document.getElementById('X')</script>"), 2);
  EXPECT_EQ(s_.state.channel.ChannelID.ToString(), "1");
}

TEST_F(SubClassBlocksTest, ClassGridsOfAFirstPageAndAClassList) {
  int64_t ch = Channel("news", 1);
  s_.SetPage("classlist", "unused", 5, kSet);
  int64_t a = s_.Add(ClassRow{.name = "国内", .dir = "home", .channel = ch});
  int64_t a1 = s_.Add(ClassRow{.name = "北京", .dir = "bj", .parent = a, .channel = ch});
  int64_t b = s_.Add(ClassRow{.name = "国际", .dir = "world", .channel = ch});
  int64_t c = s_.Add(ClassRow{.name = "体育", .dir = "sport", .channel = ch});
  s_.UseChannel(ch);
  const std::string body = "{$showclassname}";
  std::string first = ShowSubClassList(s_.state, s_.state.channel, std::nullopt, "First",
                                       Design("2", body, "[zarnik]"));
  const std::string spacer = "<tr height=5><td colspan=2></td></tr>";
  EXPECT_EQ(first, std::string(kGrid) +
                       "<tr><td valign=top  height='100%'>国内</td><td width=5></td>"
                       "<td valign=top  height='100%'>国际</td></tr>" +
                       spacer +
                       "<tr><td valign=top  height='100%'>体育</td><td width=5></td>"
                       "<td>&nbsp;</td></tr>" +
                       spacer + "</table>");
  EXPECT_EQ(
      ShowSubClassList(s_.state, s_.state.channel, a, "classlist", Design("3", body, "[zarnik]")),
      std::string(kGrid) +
          "<tr><td valign=top  height='100%'>北京</td><td width=5></td><td>&nbsp;</td>"
          "<td>&nbsp;</td></tr><tr height=5><td colspan=3></td></tr></table>");
  EXPECT_EQ(
      ShowSubClassList(s_.state, s_.state.channel, b, "classlist", Design("3", body, "[zarnik]")),
      "");
  EXPECT_EQ(
      ShowSubClassList(s_.state, s_.state.channel, a, "content", Design("3", body, "[zarnik]")),
      "");
  (void)a1;
  (void)c;
}

// Through the host: the site home page with a block per channel, and a first page with a block
// per class; the page's own labels still show its own channel afterwards.
TEST(SubClassBlocksPageTest, HomePageWithChannelBlocks) {
  SiteFixture s;
  s.Exec("update Vantrel_Channel set d_shownameflag = 0");
  std::vector<int64_t> channels;
  for (const char* dir : {"news", "sport", "tech"}) {
    int64_t ch =
        s.Add(ChannelRow{.name = std::string("频道") + dir, .dir = dir, .template_id = kSet});
    channels.push_back(ch);
    for (int i = 1; i <= 4; ++i) {
      s.Add(ArticleRow{.title = std::string(dir) + "-" + std::to_string(i), .channel = ch});
    }
  }
  const std::string chip =
      "<img src='c.gif' TemplateChip=\"ListArticleList:-1,0,false,0,3,false,false,,0,0,1,false,"
      "0,0,false,false,false,false,false,false,false,2\">";
  s.SetHomePage("<html>page={$showchannelid}|{$showchanneldir}|" +
                Block("2", "<h3>{$showchanneldir}</h3>" + chip) + "|end={$showchannelid}</html>");
  HttpAnswer page = s.Get("/asp.asp");
  ASSERT_EQ(page.status, 200);
  const std::string& html = page.text;
  EXPECT_NE(html.find("<html>page=1|Article/|<table"), std::string::npos) << html;
  EXPECT_NE(html.find("</table>|end=1</html>"), std::string::npos);
  for (size_t i = 0; i < channels.size(); ++i) {
    const std::string dir = i == 0 ? "news" : i == 1 ? "sport" : "tech";
    EXPECT_NE(html.find("<h3>" + dir + "/</h3>"), std::string::npos) << dir;
    // The newest three of each channel, linked with the channel's id.
    EXPECT_NE(html.find(">" + dir + "-4</font>"), std::string::npos) << dir;
    EXPECT_NE(html.find(">" + dir + "-2</font>"), std::string::npos) << dir;
    EXPECT_EQ(html.find(">" + dir + "-1</font>"), std::string::npos) << dir;
    EXPECT_NE(html.find("&channelid=" + std::to_string(channels[i]) + "'"), std::string::npos);
  }
  EXPECT_EQ(CountOf(html, "<td valign=top>"), 3);
  EXPECT_EQ(CountOf(html, "<td>&nbsp;</td>"), 1);
}

TEST(SubClassBlocksPageTest, FirstPageWithClassBlocks) {
  SiteFixture s;
  int64_t ch = s.Add(ChannelRow{.dir = "news", .template_id = kSet});
  int64_t home = s.Add(ClassRow{.name = "国内", .dir = "home", .channel = ch});
  int64_t city = s.Add(ClassRow{.name = "北京", .dir = "bj", .parent = home, .channel = ch});
  int64_t world = s.Add(ClassRow{.name = "国际", .dir = "world", .channel = ch});
  for (int64_t k : {home, city, world}) {
    s.Add(ArticleRow{.title = "文章" + std::to_string(k), .channel = ch, .class_id = k});
  }
  const std::string chip =
      "<img src='c.gif' TemplateChip=\"ListArticleList:-1,0,true,0,5,false,false,,0,0,1,false,0,"
      "0,false,false,false,false,false,false,false,2\">";
  s.SetPage(
      "first",
      "{$showcss}|" + Block("2", "<b>{$showclassname}</b>" + chip) + "|{$showchannelid}|{$showcss}",
      3, kSet);
  s.SetPage("classlist", "class page", 5, kSet);
  HttpAnswer page = s.Get("/asp.asp?channelid=" + std::to_string(ch));
  ASSERT_EQ(page.status, 200);
  const std::string& html = page.text;
  const std::string first_skin = "<link href='/news/Skin/3.css' rel='stylesheet' type='text/css'>";
  EXPECT_EQ(html.rfind(first_skin + "|<table", 0), 0u) << html;
  EXPECT_NE(html.find("</table>|" + std::to_string(ch) + "|" + first_skin), std::string::npos);
  EXPECT_EQ(html.find("Skin/5.css"), std::string::npos);
  EXPECT_NE(html.find("<b>国内</b>"), std::string::npos);
  EXPECT_NE(html.find("<b>国际</b>"), std::string::npos);
  // Each class block lists its class with its descendants.
  const std::string home_cell =
      html.substr(html.find("<b>国内</b>"), html.find("<b>国际</b>") - html.find("<b>国内</b>"));
  EXPECT_NE(home_cell.find("文章" + std::to_string(home)), std::string::npos);
  EXPECT_NE(home_cell.find("文章" + std::to_string(city)), std::string::npos);
  EXPECT_EQ(home_cell.find("文章" + std::to_string(world)), std::string::npos);
}

}  // namespace
}  // namespace folirex

namespace folirex {
namespace {

// The shipped design on a seeded site: the home page's channel blocks, the first page's class
// blocks, the class, hot and newest lists and the search results come out filled, with no chip
// or block left unrendered.
TEST(ShippedDesignListsTest, SeededSiteShowsFilledListsAndBlocks) {
  SiteFixture s;
  s.SetChannel(1, "d_templateid = 1");  // back on the shipped design
  int64_t other =
      s.Add(ChannelRow{.name = "第二频道", .dir = "second", .order = 2, .template_id = 1});
  int64_t news = s.Add(ClassRow{.name = "新闻", .dir = "news"});
  int64_t local = s.Add(ClassRow{.name = "本地", .dir = "local", .parent = news});
  int64_t tech = s.Add(ClassRow{.name = "科技", .dir = "tech"});
  for (int i = 1; i <= 30; ++i) {
    s.Add(ArticleRow{.title = "种子文章" + std::to_string(i),
                     .channel = 1,
                     .class_id = i % 3 == 0   ? news
                                 : i % 3 == 1 ? local
                                              : tech,
                     .hot = i % 4 == 0,
                     .recommend = i % 5 == 0,
                     .pic_url = i % 2 ? "/images/arrow.gif" : ""});
  }
  s.Add(ArticleRow{.title = "第二频道的文章", .channel = other});
  auto check_rendered = [](const std::string& html, const std::string& what) {
    EXPECT_EQ(html.find("TemplateChip"), std::string::npos) << what;
    EXPECT_EQ(html.find("{$"), std::string::npos) << what;
    EXPECT_EQ(html.find("暂时没有"), std::string::npos) << what;
  };

  const std::string home = s.Get("/asp.asp").text;
  check_rendered(home, "home");
  EXPECT_NE(home.find("种子文章"), std::string::npos);
  EXPECT_NE(home.find("第二频道的文章"), std::string::npos);
  EXPECT_NE(home.find("&channelid=" + std::to_string(other) + "'"), std::string::npos);

  const std::string first = s.Get("/asp.asp?channelid=1").text;
  check_rendered(first, "first");
  EXPECT_NE(first.find("新闻"), std::string::npos);
  EXPECT_NE(first.find("科技"), std::string::npos);
  EXPECT_EQ(first.find("第二频道的文章"), std::string::npos);

  const std::string list =
      s.Get("/asp.asp?m=classlist&channelid=1&classid=" + std::to_string(news)).text;
  check_rendered(list, "classlist");
  // The news class with its local sub-class: articles 1, 3, 4, 6, ...; none of tech (2, 5, ...).
  EXPECT_NE(list.find(">种子文章3<"), std::string::npos);
  EXPECT_NE(list.find(">种子文章4<"), std::string::npos);
  EXPECT_EQ(list.find(">种子文章2<"), std::string::npos);

  for (const char* m : {"hotlist", "newlist", "recommendlist"}) {
    const std::string page = s.Get(std::string("/asp.asp?channelid=1&m=") + m).text;
    check_rendered(page, m);
    EXPECT_NE(page.find("种子文章"), std::string::npos) << m;
  }

  const std::string search =
      s.Get(
           "/asp.asp?m=search&channelid=1&searchtype=d_title&searchclass=0&searchorder=4"
           "&searchkeyword=文章2")
          .text;
  check_rendered(search, "search");
  // 2 and 20 to 29 match.
  EXPECT_EQ(CountOf(search, "种子<font color=red>文章2</font>"), 11);
  (void)local;
}

}  // namespace
}  // namespace folirex
