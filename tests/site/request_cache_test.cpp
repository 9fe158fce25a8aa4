// What a page reads once however often its parts ask: a channel's row and a template page.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "site/channel_loader.h"
#include "site/public_pages.h"
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
  // The template page once, and the channel folder for the link once.
  EXPECT_EQ(statements, 2);
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
