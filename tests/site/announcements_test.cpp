// The announcement chip and the announcement view: the lists by layout and number, the script
// files they are written into (one per list, so pages never overwrite each other's list), the
// checks of the chip's fields, and the view of one announcement.
#include "site/announcements.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/public_request.h"
#include "core/site_files.h"
#include "support/site_fixture.h"

namespace folirex::testing {
namespace {

class AnnouncementsTest : public ::testing::Test {
 protected:
  std::string List(const std::string& parameters, const std::string& page_type, int channel = 1) {
    std::string tag;
    site_.InRequest(
        [&](RequestState& state) {
          tag = ShowAnnounceList(state, state.channel, parameters, page_type);
        },
        channel);
    return tag;
  }

  static std::string Entry(int id, const std::string& title, const std::string& info, bool line) {
    return std::string(line ? "[" : "") +
           "<a href='#' onclick=\"javascript:window.open('/asp.asp?m=notice&noticeid=" +
           std::to_string(id) +
           "', 'noticewin', 'height=440, width=400, toolbar=no, menubar=no, scrollbars=auto, "
           "resizable=no, location=no, status=no')\">" +
           title + "</a> " + info + (line ? "] " : "<br>");
  }

  SiteFixture site_;
};

TEST_F(AnnouncementsTest, AChannelPageListsItsSelectedAnnouncementsNewestFirst) {
  int older = site_.Add(AnnounceRow{.title = "旧公告", .add_time = "2024-01-01 08:00:00"});
  int newer = site_.Add(AnnounceRow{.title = "新公告", .add_time = "2024-02-01 08:00:00"});
  site_.Add(AnnounceRow{.title = "未选中", .add_time = "2024-03-01 08:00:00", .selected = false});
  site_.Add(AnnounceRow{.title = "全站公告", .add_time = "2024-03-01 08:00:00", .channel = 0});

  EXPECT_EQ(List("2,0,true,true", "first"),
            "<script language='javascript' src='/Article/Js/Announce_1_2_0_11.js'></script>");
  std::string list =
      "<marquee onmouseover='this.stop()' onmouseout='this.start()' "
      "scrollAmount=1 scrollDelay=4 width=300 align='left' direction=up>" +
      Entry(newer, "新公告", "编辑部  2024-02-01", false) +
      Entry(older, "旧公告", "编辑部  2024-01-01", false) + "</marquee>";
  EXPECT_EQ(site_.FileText("Article/Js/Announce_1_2_0_11.js"), HtmlToJsWrite(list));
}

TEST_F(AnnouncementsTest, TheHomePageListsTheSiteAnnouncementsInOneLine) {
  int ids[4];
  for (int i = 0; i < 4; ++i) {
    ids[i] = site_.Add(AnnounceRow{.title = "全站" + std::to_string(i),
                                   .add_time = "2024-01-0" + std::to_string(i + 1) + " 08:00:00",
                                   .channel = 0});
  }
  site_.Add(AnnounceRow{.title = "频道公告", .add_time = "2024-05-01 08:00:00"});
  EXPECT_EQ(List(" 1 , 3 , false , FALSE ", "default"),
            "<script language='javascript' src='/Article/Js/Announce_0_1_3_00.js'></script>");
  std::string list =
      "<marquee onmouseover='this.stop()' onmouseout='this.start()' "
      "scrollAmount=1 scrollDelay=4 width='450' align='left'>" +
      Entry(ids[3], "全站3", "  ", true) + Entry(ids[2], "全站2", "  ", true) +
      Entry(ids[1], "全站1", "  ", true) + "</marquee>";
  EXPECT_EQ(site_.FileText("Article/Js/Announce_0_1_3_00.js"), HtmlToJsWrite(list));
}

TEST_F(AnnouncementsTest, PagesWithDifferentListsKeepTheirOwnFiles) {
  site_.Add(AnnounceRow{.title = "全站公告", .add_time = "2024-01-01 08:00:00", .channel = 0});
  site_.Add(AnnounceRow{.title = "频道公告", .add_time = "2024-01-01 08:00:00"});
  int news = site_.Add(ChannelRow{.name = "新闻", .dir = "news"});
  site_.Add(AnnounceRow{.title = "新闻公告", .add_time = "2024-01-01 08:00:00", .channel = news});

  std::string home = List("2,0,false,false", "default");
  std::string channel = List("2,0,false,false", "first");
  std::string brief = List("2,1,false,true", "first");
  std::string other = List("2,0,false,false", "first", news);
  EXPECT_NE(home, channel);
  EXPECT_NE(channel, brief);
  // Each page's tag loads a file holding that page's own list, whichever rendered last.
  EXPECT_NE(site_.FileText("Article/Js/Announce_0_2_0_00.js").find("全站公告"), std::string::npos);
  EXPECT_EQ(site_.FileText("Article/Js/Announce_0_2_0_00.js").find("频道公告"), std::string::npos);
  EXPECT_NE(site_.FileText("Article/Js/Announce_1_2_0_00.js").find("频道公告"), std::string::npos);
  EXPECT_EQ(site_.FileText("Article/Js/Announce_1_2_0_00.js").find("全站公告"), std::string::npos);
  EXPECT_NE(site_.FileText("Article/Js/Announce_1_2_1_01.js").find("2024-01-01"),
            std::string::npos);
  EXPECT_EQ(other, "<script language='javascript' src='/news/Js/Announce_" + std::to_string(news) +
                       "_2_0_00.js'></script>");
  EXPECT_NE(
      site_.FileText("news/Js/Announce_" + std::to_string(news) + "_2_0_00.js").find("新闻公告"),
      std::string::npos);

  // A new announcement reaches the file at the next rendering.
  site_.Add(AnnounceRow{.title = "又一条", .add_time = "2024-06-01 08:00:00"});
  List("2,0,false,false", "first");
  EXPECT_NE(site_.FileText("Article/Js/Announce_1_2_0_00.js").find("又一条"), std::string::npos);
}

TEST_F(AnnouncementsTest, ChipFieldsAreChecked) {
  site_.Add(AnnounceRow{.title = "公告", .add_time = "2024-01-01 08:00:00"});
  for (const char* bad :
       {"3,5,true,true", "1,05,true,true", "1,5,true", "1,5,true,true,x", "1,-5,true,true",
        "1,5,yes,true", "1,5,true,1", "", "1,99999,true,true"}) {
    EXPECT_EQ(List(bad, "first"), "") << bad;
  }
  // The folder holds only the menu script a new site ships: no list was written.
  for (const auto& entry : std::filesystem::directory_iterator(site_.Disk("Article/Js"))) {
    EXPECT_EQ(entry.path().filename(), "default.js");
  }

  // Capitals pass the check but do not count as set.
  List("1,5,True,true", "first");
  std::string file = site_.FileText("Article/Js/Announce_1_1_5_01.js");
  EXPECT_EQ(file.find("编辑部"), std::string::npos);
  EXPECT_NE(file.find("</a>   2024-01-01] "), std::string::npos) << file;
}

TEST_F(AnnouncementsTest, TheFileIsAScriptEvenForAwkwardTitlesOrNoAnnouncement) {
  List("2,0,true,true", "first");
  EXPECT_EQ(site_.FileText("Article/Js/Announce_1_2_0_11.js"),
            "document.write(\"<marquee onmouseover='this.stop()' onmouseout='this.start()' "
            "scrollAmount=1 scrollDelay=4 width=300 align='left' direction=up>"
            "本栏目暂时没有公告！</marquee>\");\r\n");

  site_.Add(AnnounceRow{
      .title = "带\"引号\"和\\斜杠", .add_time = "2024-01-01 08:00:00", .author = "作者\r\n换行"});
  List("2,0,true,true", "first");
  std::string file = site_.FileText("Article/Js/Announce_1_2_0_11.js");
  // The title is text: its quotes are entities; the backslash and the markup's own quotes are
  // escaped for the script string.
  EXPECT_NE(file.find("带&quot;引号&quot;和\\\\斜杠"), std::string::npos) << file;
  EXPECT_NE(file.find("onclick=\\\"javascript"), std::string::npos) << file;
  EXPECT_EQ(CountOf(file, "document.write(\""), 2);
}

TEST_F(AnnouncementsTest, TheViewShowsOneAnnouncementByItsId) {
  int id = site_.Add(AnnounceRow{.title = "停机通知",
                                 .add_time = "2024-04-05 06:07:08",
                                 .selected = false,
                                 .author = "管理员"});
  std::string html;
  site_.InRequest([&](RequestState& state) { html = ShowAnnounceDetail(state.db, id); });
  EXPECT_EQ(html,
            "<table width='100%'  border='0' cellspacing='0' cellpadding='0' "
            "style='word-break:break-all;Width:fixed'><tr><td align='center' height='24'>"
            "停机通知</td></tr><tr><td align='left' valign='top'><p>停机通知的内容</p></td></tr>"
            "<tr><td align='right' valign='top'><p align='right'>管理员&nbsp;&nbsp;<br>"
            "2024-04-05</td></tr></table>");
  for (const std::string& bad :
       std::vector<std::string>{"12a", std::to_string(id + 50), "", "1 or 1=1"}) {
    site_.InRequest(
        [&](RequestState& state) { html = ShowAnnounceDetail(state.db, ParseId(bad)); });
    EXPECT_EQ(html, "传入参数错误！") << bad;
  }

  // Through the notice page.
  site_.SetPage("notice", "<div>{$showannouncelist}</div>");
  std::string page =
      site_.Page("/asp.asp?m=notice&noticeid=" + std::to_string(id) + "&channelid=1");
  EXPECT_NE(page.find("<p>停机通知的内容</p>"), std::string::npos) << page;
}

// Titles and authors are text in the list and in the view; the body is the site's own HTML.
TEST_F(AnnouncementsTest, TitlesAndAuthorsGoInAsTextTheBodyAsHtml) {
  const std::string t = "A <b>\"粗\"</b>";
  const std::string e = "A &lt;b&gt;&quot;粗&quot;&lt;/b&gt;";
  int id = site_.Add(AnnounceRow{.title = t, .add_time = "2024-01-01 08:00:00", .author = t});
  List("2,0,true,false", "first");
  EXPECT_EQ(site_.FileText("Article/Js/Announce_1_2_0_10.js"),
            HtmlToJsWrite("<marquee onmouseover='this.stop()' onmouseout='this.start()' "
                          "scrollAmount=1 scrollDelay=4 width=300 align='left' direction=up>" +
                          Entry(id, e, e + "  ", false) + "</marquee>"));
  std::string html;
  site_.InRequest([&](RequestState& state) { html = ShowAnnounceDetail(state.db, id); });
  EXPECT_NE(html.find("height='24'>" + e + "</td>"), std::string::npos) << html;
  EXPECT_NE(html.find("<p>" + t + "的内容</p>"), std::string::npos) << html;
  EXPECT_NE(html.find("<p align='right'>" + e + "&nbsp;"), std::string::npos) << html;
}

}  // namespace
}  // namespace folirex::testing
