// The channel loader: the channel's settings in the request state, the statistics block, the
// upload folder in the session, and refusal of unknown or malformed channel ids.
#include "site/channel_loader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/public_request.h"
#include "platform/db/recordset.h"
#include "site/template_engine.h"
#include "support/site_fixture.h"

namespace folirex::testing {
namespace {

class ChannelLoaderTest : public ::testing::Test {
 protected:
  SiteFixture site_;
};

TEST_F(ChannelLoaderTest, LoadsTheChannelSettings) {
  int id = site_.Add(ChannelRow{.name = "  资讯  ",
                                .dir = " news ",
                                .disabled = true,
                                .open_type = 1,
                                .project_unit = " 条 ",
                                .upload_dir = "up",
                                .generate_html = 2,
                                .list_dir = 1,
                                .content_file_type = 3,
                                .first_file_ext = 4,
                                .list_file_ext = 1,
                                .content_file_ext = 9,
                                .days_of_new = 4,
                                .clicks_of_hot = 50,
                                .group_num = 25,
                                .item_count = 12,
                                .item_count_checked = 9,
                                .comment_count = 5,
                                .subject_count = 2,
                                .click_count = 340,
                                .navi_menu_css = "menu.css"});
  RequestState seen;
  std::string stat_shown;  // {$showchannelstat} on a page of the channel
  std::optional<ChannelSettings> loaded, missing, malformed;
  site_.InRequest(
      [&](RequestState& s) {
        seen.channel.ChannelName = s.channel.ChannelName;
        seen.channel.ChannelType = s.channel.ChannelType;
        seen.channel.ChannelOpenType = s.channel.ChannelOpenType;
        seen.channel.ChannelDisabled = s.channel.ChannelDisabled;
        seen.channel.ChannelDir = s.channel.ChannelDir;
        seen.channel.ProjectName = s.channel.ProjectName;
        seen.channel.ProjectUnit = s.channel.ProjectUnit;
        seen.channel.GenerateHtml = s.channel.GenerateHtml;
        seen.channel.ContentFileType = s.channel.ContentFileType;
        seen.channel.FirstFileExt = s.channel.FirstFileExt;
        seen.channel.ListFileExt = s.channel.ListFileExt;
        seen.channel.ContentFileExt = s.channel.ContentFileExt;
        seen.channel.ListDirType = s.channel.ListDirType;
        seen.channel.ChannelTemplateID = s.channel.ChannelTemplateID;
        seen.channel.GroupNum = s.channel.GroupNum;
        seen.channel.UploadDir = s.channel.UploadDir;
        seen.channel.NaviMenuCss = s.channel.NaviMenuCss;
        seen.channel.ClicksOfHot = s.channel.ClicksOfHot;
        seen.channel.DaysOfNew = s.channel.DaysOfNew;
        std::string page = "{$showchannelstat}";
        stat_shown = ParseTemplate(s, s.channel, PageSkin{}, page, {.page_type = "first"});
        loaded = LoadChannelSettings(s.db, s.caches, id);
        missing = LoadChannelSettings(s.db, s.caches, 99);
        malformed = LoadChannelSettings(s.db, s.caches, ParseId("1 or 1=1"));
      },
      id);
  EXPECT_EQ(seen.channel.ChannelName.ToString(), "资讯");
  EXPECT_EQ(seen.channel.ChannelType.ToString(), "1");
  EXPECT_EQ(seen.channel.ChannelOpenType.ToString(), "1");
  EXPECT_TRUE(seen.channel.ChannelDisabled.ToBoolOr(false)) << "a disabled channel still loads";
  EXPECT_EQ(seen.channel.ChannelDir, "news/");
  EXPECT_EQ(seen.channel.ProjectName.ToString(), "文章");
  EXPECT_EQ(seen.channel.ProjectUnit.ToString(), "条");
  EXPECT_EQ(seen.channel.GenerateHtml.ToString(), "2");
  EXPECT_EQ(seen.channel.ContentFileType.ToString(), "3");
  EXPECT_EQ(seen.channel.FirstFileExt, ".asp");
  EXPECT_EQ(seen.channel.ListFileExt, ".htm");
  EXPECT_EQ(seen.channel.ContentFileExt, ".html");
  EXPECT_EQ(seen.channel.ListDirType.ToString(), "1");
  EXPECT_EQ(seen.channel.ChannelTemplateID.ToString(), std::to_string(kTestTemplateSet));
  EXPECT_EQ(seen.channel.GroupNum.ToString(), "25");
  EXPECT_EQ(seen.channel.UploadDir.ToString(), "up");
  EXPECT_EQ(seen.channel.NaviMenuCss.ToString(), "menu.css");
  EXPECT_EQ(seen.channel.ClicksOfHot.ToString(), "50");
  EXPECT_EQ(seen.channel.DaysOfNew.ToString(), "4");
  // The settings as a value, for drawing another channel's block: the same row, read once.
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->ChannelID.ToString(), std::to_string(id));
  EXPECT_EQ(loaded->ChannelName.ToString(), "资讯");
  EXPECT_EQ(loaded->ChannelDir, "news/");
  EXPECT_EQ(ChannelStatHtml(*loaded), stat_shown);
  EXPECT_FALSE(missing.has_value());
  EXPECT_FALSE(malformed.has_value());
  EXPECT_EQ(stat_shown,
            "<table width='100%' align=center><tr><td>文章总数：12 条</td></tr>"
            "<tr><td>待审文章：3 条</td></tr><tr><td>评论总数：5 条</td></tr>"
            "<tr><td>专题总数：2 条</td></tr><tr><td>文章阅读：340 人次</td></tr></table>");
}

TEST_F(ChannelLoaderTest, EmptyFolderAndSecondLoadReplaceEverything) {
  int plain = site_.Add(ChannelRow{.name = "无目录", .dir = "", .upload_dir = "files"});
  site_.SetChannel(plain, "d_channeldir = NULL");
  std::string first_dir = "x", second_name, second_dir, second_stat, name_while_loading;
  Variant generate;
  site_.InRequest(
      [&](RequestState& s) {
        first_dir = s.channel.ChannelDir;
        ChannelSettings loaded = InitChannel(s, 1);
        // The settings come back as a value: the request's channel stays as it was until kept.
        name_while_loading = s.channel.ChannelName.ToString();
        s.channel = std::move(loaded);
        second_name = s.channel.ChannelName.ToString();
        second_dir = s.channel.ChannelDir;
        generate = s.channel.GenerateHtml;
      },
      plain);
  EXPECT_EQ(first_dir, "");
  EXPECT_EQ(name_while_loading, "无目录");
  EXPECT_EQ(second_name, "文章中心");
  EXPECT_EQ(second_dir, "Article/");
  EXPECT_EQ(generate.ToString(), "0");
}

TEST_F(ChannelLoaderTest, KeepsTheUploadFolderInAStartedSession) {
  // A visitor without a session gets none just for browsing.
  site_.InRequest([](RequestState&) {});
  EXPECT_TRUE(site_.runner().session().SessionID().empty());
  EXPECT_TRUE(site_.runner().session().Get("channel_path").IsBlank());

  site_.runner().session().Set("User_Code", "admin");  // a signed-in console user
  site_.InRequest([](RequestState&) {});
  EXPECT_EQ(site_.runner().session().Get("channel_path").ToString(), "../Article/uploadfile/");
}

TEST_F(ChannelLoaderTest, LeavesTheCallersSharedRecordsetOpen) {
  bool still_open = false;
  std::string name;
  site_.InRequest([&](RequestState& s) {
    s.db.Rs->Open("select d_name from Vantrel_Config", *s.db.Conn, 0, 1);
    InitChannel(s, s.channel.ChannelID.ToInt64());
    still_open = s.db.Rs->IsOpen() && !s.db.Rs->Eof();
    if (still_open) name = (*s.db.Rs)["d_name"].ToString();
    s.db.Rs->Close();
  });
  EXPECT_TRUE(still_open);
  EXPECT_EQ(name, "Folirex 新闻网");
}

TEST_F(ChannelLoaderTest, UnknownOrMalformedChannelAnswersTheAlertOnly) {
  site_.SetPage("first", "FIRST PAGE");
  site_.Start();
  for (const char* bad : {"99", "1 or 1=1", "-1", "1x", "01"}) {
    SCOPED_TRACE(bad);
    HttpAnswer answer = site_.Get(std::string("/asp.asp?channelid=") + bad);
    EXPECT_EQ(answer.status, 200);
    EXPECT_NE(answer.text.find("alert('提示：请先设置频道信息表！"), std::string::npos)
        << answer.text;
    EXPECT_EQ(answer.text.find("FIRST PAGE"), std::string::npos);
  }
  EXPECT_NE(site_.Page("/asp.asp?channelid=1").find("FIRST PAGE"), std::string::npos);
}

}  // namespace
}  // namespace folirex::testing
