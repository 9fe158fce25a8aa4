// What a page reads once however often its parts ask: a channel's row and a template page.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/site_config.h"
#include "site/channel_loader.h"
#include "site/public_pages.h"
#include "site/small_labels.h"
#include "site/template_lookup.h"
#include "support/site_fixture.h"

namespace folirex::testing {
namespace {

class RequestCacheTest : public ::testing::Test {
 protected:
  SiteFixture site_;
};

TEST_F(RequestCacheTest, AChannelRowIsReadOncePerRequest) {
  int64_t first = -1, again = -1;
  std::string name_after_switch;
  site_.InConsole([&](RequestState& s) {
    s.caches.Clear();  // the page's start has read the channels already
    int64_t before = s.db.Conn->statement_count();
    s.channel = InitChannel(s, 1);
    first = s.db.Conn->statement_count() - before;
    std::string name = s.channel.ChannelName.ToString();
    s.channel.ChannelName = "changed by a renderer";
    before = s.db.Conn->statement_count();
    s.channel = InitChannel(s, 1);
    again = s.db.Conn->statement_count() - before;
    name_after_switch = s.channel.ChannelName.ToString();
    EXPECT_EQ(name_after_switch, name) << "the settings are loaded again from the row read";
  });
  EXPECT_EQ(first, 1);
  EXPECT_EQ(again, 0);
}

TEST_F(RequestCacheTest, EveryChannelLookupOfAPageSharesOneReadUntilAChangeClearsIt) {
  site_.Add(ChannelRow{.name = "图片中心", .dir = "photo", .id = 5, .project_name = "图片"});
  std::string names, folders, changed;
  bool unknown_found = true;
  int64_t statements = -1;
  site_.InConsole([&](RequestState& s) {
    s.caches.Clear();
    const int64_t before = s.db.Conn->statement_count();
    for (const char* id : {"1", "5", "77", "1 or 1=1"}) {
      names += GetChannelName(s.db, s.caches, id) + "/" + GetProjectName(s.db, s.caches, id) + ";";
    }
    // Neither leading zeros nor digits beyond 64 bits name a channel.
    for (const char* id : {"5", "0005", "77", "99999999999999999999"}) {
      folders += GetChannelFolder(s.host, s.db, s.caches, id).path + ";";
    }
    std::optional<ChannelSettings> photo = LoadChannelSettings(s.db, s.caches, 5);
    unknown_found = LoadChannelSettings(s.db, s.caches, 77).has_value();
    statements = s.db.Conn->statement_count() - before;
    ASSERT_TRUE(photo.has_value());
    EXPECT_EQ(photo->ChannelDir, "photo/");
    s.db.Conn->Execute(
        "update Vantrel_Channel set d_channelname = ?, d_channeldir = ? where "
        "d_id = 5",
        {Variant("相册"), Variant("album")});
    s.caches.Clear();
    changed = GetChannelName(s.db, s.caches, 5) + " " +
              GetChannelFolder(s.host, s.db, s.caches, 5).dir + " " +
              LoadChannelSettings(s.db, s.caches, 5)->ChannelName.ToString();
  });
  EXPECT_EQ(names, site_.SqlValue("select d_channelname from Vantrel_Channel where d_id = 1") +
                       "/文章;图片中心/图片;/;/;");
  EXPECT_EQ(folders, "/photo/;/;/;/;");
  EXPECT_FALSE(unknown_found);
  EXPECT_EQ(statements, 1) << "every channel is read in one statement";
  EXPECT_EQ(changed, "相册 album/ 相册");
}

TEST_F(RequestCacheTest, ATemplatePageAndItsSkinAreReadOnce) {
  site_.SetPage("content", "内容页", 3);
  std::string text, link;
  int64_t statements = -1;
  site_.InConsole([&](RequestState& s) {
    s.channel = InitChannel(s, 1);
    int64_t before = s.db.Conn->statement_count();
    text = LoadTemplatePage(s.db, s.caches, s.channel.ChannelTemplateID, "content");
    link = GetSkinCssLink(s, s.channel, s.channel.ChannelTemplateID, "", "content");
    LoadTemplatePage(s.db, s.caches, s.channel.ChannelTemplateID, "content");
    statements = s.db.Conn->statement_count() - before;
  });
  EXPECT_EQ(text, "内容页");
  EXPECT_NE(link.find("Skin/3.css"), std::string::npos) << link;
  // The template page once; the channel folder for the link comes from the rows already read.
  EXPECT_EQ(statements, 1);
}

TEST_F(RequestCacheTest, TemplateIdsThatNameNoPageReadNothing) {
  std::string by_set, by_id, by_type;
  int64_t statements = -1;
  site_.InConsole([&](RequestState& s) {
    const int64_t before = s.db.Conn->statement_count();
    // Digits beyond 64 bits, and a page type that is not a plain word.
    by_set = LoadTemplatePage(s.db, s.caches, Variant("99999999999999999999"), "content");
    by_id = LoadTemplatePageById(s.db, s.caches, Variant("99999999999999999999"));
    by_type = LoadTemplatePage(s.db, s.caches, Variant("1"), "content' or '1'='1");
    statements = s.db.Conn->statement_count() - before;
  });
  EXPECT_EQ(by_set, "");
  EXPECT_EQ(by_id, "");
  EXPECT_EQ(by_type, "");
  EXPECT_EQ(statements, 0);
}

}  // namespace
}  // namespace folirex::testing
