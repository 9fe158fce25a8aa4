// The index of the articles' keywords built after the server listens: until the build has run,
// the related-articles block reads the channel (the same rows), and no page makes the index or
// waits for it; the console's server page says where it stands.
#include <gtest/gtest.h>

#include <string>

#include "core/article_keywords.h"
#include "core/site_caches.h"
#include "site/related_chips.h"
#include "support/site_fixture.h"

namespace folirex::testing {
namespace {

TEST(KeywordIndexBuildTest, PagesReadTheChannelUntilTheBackgroundBuildHasRun) {
  SiteFixture site;
  auto keyed = [&site](const std::string& title, const std::string& keywords,
                       const std::string& time) {
    return site.Add(
        ArticleRow{.title = title, .content = "x", .add_time = time, .keyword = keywords});
  };
  const int64_t current = keyed("当前", "|a|b|", "2024-01-01 00:00:00");
  keyed("共享a", "|a|", "2024-01-02 00:00:00");
  keyed("共享b", "|x|b|", "2024-01-03 00:00:00");
  keyed("无关", "|c|", "2024-01-04 00:00:00");
  auto related = [&site, current] {
    std::string html;
    site.InRequest([&](RequestState& state) {
      html = ShowArticleCorrelative(state, state.channel, "listarticlecorrelative:5,0", "content",
                                    static_cast<int>(current));
    });
    return html;
  };
  auto has_table = [&site] {
    return site.Number("select count(*) from sqlite_schema where name = 'Vantrel_ArticleKeyword'");
  };
  Connection& conn = *site.state.db.Conn;
  ASSERT_EQ(has_table(), 0);
  std::string meanwhile;
  {
    ArticleKeywordIndexBuild build(conn, site.caches().keyword_index);
    EXPECT_EQ(ArticleKeywordIndexState(conn, &site.caches().keyword_index),
              KeywordIndexState::kBuilding);
    meanwhile = related();
    EXPECT_NE(meanwhile.find("共享a"), std::string::npos) << meanwhile;
    EXPECT_NE(meanwhile.find("共享b"), std::string::npos) << meanwhile;
    EXPECT_EQ(meanwhile.find("无关"), std::string::npos) << meanwhile;
    // The page neither made the index nor waited for it.
    EXPECT_EQ(has_table(), 0);
    EXPECT_TRUE(build.Run());
    EXPECT_EQ(ArticleKeywordIndexState(conn, &site.caches().keyword_index),
              KeywordIndexState::kReady);
  }
  EXPECT_EQ(has_table(), 1);
  EXPECT_EQ(site.Number("select count(*) from Vantrel_ArticleKeyword"), 6);
  EXPECT_EQ(related(), meanwhile);
  // A second build finds it made.
  ArticleKeywordIndexBuild again(conn, site.caches().keyword_index);
  EXPECT_FALSE(again.Run());
}

// A build stopped while it filled the rows in steps leaves its mark: the index is not taken as
// made, and the next build fills every step again.
TEST(KeywordIndexBuildTest, ABuildStoppedMidwayIsFilledAgain) {
  SiteFixture site;
  for (int i = 0; i < 30; ++i) {
    site.Add(ArticleRow{.title = "文章" + std::to_string(i),
                        .content = "x",
                        .keyword = "|k" + std::to_string(i % 4) + "|共同|"});
  }
  Connection& conn = *site.state.db.Conn;
  {
    ArticleKeywordIndexBuild build(conn, site.caches().keyword_index);
    EXPECT_TRUE(build.Run());
  }
  EXPECT_EQ(site.Number("select count(*) from Vantrel_ArticleKeyword"), 60);
  // As a build stopped after its first steps leaves it: the mark, and rows of some articles only.
  site.Exec("create table Vantrel_ArticleKeywordFill (d_id integer)");
  site.Exec("delete from Vantrel_ArticleKeyword where d_articleid % 3 <> 0");
  ArticleKeywordIndexBuild again(conn, site.caches().keyword_index);
  EXPECT_TRUE(again.Needed());
  EXPECT_TRUE(again.Run());
  EXPECT_EQ(site.Number("select count(*) from Vantrel_ArticleKeyword"), 60);
  EXPECT_EQ(site.Number("select count(*) from sqlite_schema where name = "
                        "'Vantrel_ArticleKeywordFill'"),
            0);
}

}  // namespace
}  // namespace folirex::testing
