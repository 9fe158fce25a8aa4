// What a page reads once however often its parts ask: a channel's row and a template page.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "site/channel_loader.h"
#include "site/public_pages.h"
#include "site/template_lookup.h"
#include "support/page_runner.h"
#include "support/test_site.h"

namespace folirex::testing {
namespace {

class RequestCacheTest : public ::testing::Test {
 protected:
  RequestCacheTest() : site_(false), runner_(site_) {}

  void RunInPage(std::function<void(RequestState&)> fn) {
    ModuleRegistry modules;
    modules.AddAdminEntry("Set_Main", [&fn](RequestState& state) { fn(state); });
    runner_.NewRequest("/admin.asp?m=admin_set");
    runner_.Run(EntryKind::kAdmin, modules);
  }

  TestSite site_;
  PageRunner runner_;
};

TEST_F(RequestCacheTest, AChannelRowIsReadOncePerRequest) {
  int64_t first = -1, again = -1;
  std::string name_after_switch;
  RunInPage([&](RequestState& s) {
    s.channel.ChannelID = 1;
    int64_t before = s.db.Conn->statement_count();
    InitChannel(s);
    first = s.db.Conn->statement_count() - before;
    std::string name = s.channel.ChannelName.ToString();
    s.channel.ChannelName = "changed by a renderer";
    before = s.db.Conn->statement_count();
    InitChannel(s);
    again = s.db.Conn->statement_count() - before;
    name_after_switch = s.channel.ChannelName.ToString();
    EXPECT_EQ(name_after_switch, name) << "the settings are loaded again from the row read";
  });
  EXPECT_EQ(first, 1);
  EXPECT_EQ(again, 0);
}

TEST_F(RequestCacheTest, ATemplatePageAndItsSkinAreReadOnce) {
  std::string text, link;
  int64_t statements = -1;
  RunInPage([&](RequestState& s) {
    s.channel.ChannelID = 1;
    InitChannel(s);
    int64_t before = s.db.Conn->statement_count();
    text = LoadTemplatePage(s, s.channel.ChannelTemplateID, "content");
    link = GetSkinCssLink(s, s.channel.ChannelTemplateID, "", "content");
    LoadTemplatePage(s, s.channel.ChannelTemplateID, "content");
    statements = s.db.Conn->statement_count() - before;
  });
  std::string skin = site_.SqlValue(
      "select p.d_skinid from Vantrel_TemplatePage p join Vantrel_TemplateAndPage m on "
      "m.d_pageid = p.d_id where m.d_templateid = 1 and m.d_type = 'content'");
  EXPECT_FALSE(text.empty());
  EXPECT_NE(link.find("Skin/" + skin + ".css"), std::string::npos) << link;
  // The template page once, and the channel folder for the link once.
  EXPECT_EQ(statements, 2);
}

}  // namespace
}  // namespace folirex::testing
