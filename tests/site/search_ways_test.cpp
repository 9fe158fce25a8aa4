// Every way the search can answer a keyword by on SQLite lists the plain like's rows: in all six
// orders, for titles and bodies, on the first, second, a middle and the last page, with the total
// the page shows. The keywords and the data are chosen to drive the plan to each way (common, rare,
// asked again, not found, deep pages), and the way counts say that each way was reached.
#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "core/article_grams.h"
#include "core/public_request.h"
#include "core/search_structures.h"
#include "core/site_caches.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "site/search.h"
#include "site/search_plan.h"
#include "support/gram_counts_check.h"
#include "support/search_like_check.h"
#include "support/site_fixture.h"

namespace folirex {
namespace {

using testing::ChannelRow;
using testing::SiteFixture;

class SearchWaysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ch_ = s_.Add(ChannelRow{.dir = "news"});
    s_.UseChannel(ch_);
  }

  SiteFixture s_;
  int64_t ch_ = 0;
};

TEST_F(SearchWaysTest, EveryWayListsThePlainLikesRowsInEveryOrder) {
  // 2,600 articles of distinct times and clicks, in an order of time that is not that of ids:
  // "经" in every second title and body, "稀有词" in every hundredth, "中等" in every seventh.
  s_.Exec(
      "with recursive n(i) as (select 0 union all select i + 1 from n where i < 2599) "
      "insert into Vantrel_Article (d_channelid, d_title, d_content, d_author, d_inputer, "
      "d_checked, d_deleted, d_addtime, d_clicktimes) select " +
      std::to_string(ch_) +
      ", (case when i % 2 = 0 then '经' else '纬' end) || (case when i % 100 = 7 then '稀有词' "
      "else '' end) || (case when i % 7 = 3 then '中等' else '' end) || i, "
      "(case when i % 2 = 1 then '经' else '文' end) || (case when i % 100 = 9 then '稀有词' "
      "else '' end) || (case when i % 7 = 2 then '中等' else '' end) || '正文' || i, '甲', "
      "'admin', "
      "case when i % 17 <> 0 then -1 else 0 end, case when i % 23 = 0 then -1 else 0 end, "
      "datetime('2020-01-01', '+' || ((i * 7919) % 2600) || ' minutes'), "
      "(i * 104729) % 2600 from n");
  Connection& conn = *s_.state.db.Conn;
  EnsureSearchIndexState(conn);
  BuildSearchStructures(conn);
  testing::KeepGramCountsFrom(conn, 60);
  SearchWayCounts::Reset();
  testing::CompareEveryKeywordAndOrder(s_, ch_);
  if (HasFatalFailure()) return;
  for (int way = 0; way < kSearchWaysTaken; ++way) {
    const auto taken = static_cast<SearchWayTaken>(way);
    // Every way can occur on SQLite: the like alone for wildcards alone in an order of clicks,
    // the found step's ways for keywords of wildcards among characters, which the index does not
    // read whole.
    EXPECT_GT(SearchWayCounts::Of(SqlEngine::kSqlite, taken), 0)
        << "the way never taken: " << SearchWayTakenName(taken);
    std::cout << SearchWayTakenName(taken) << ": " << SearchWayCounts::Of(SqlEngine::kSqlite, taken)
              << "\n";
  }
}

// The lists a search asked for are noted in the caches of the server that served it, apart from
// another server's; a state without caches lists the same rows and notes none.
TEST_F(SearchWaysTest, TheListsAskedForAreKeptByTheServingSitesCaches) {
  s_.Exec(
      "with recursive n(i) as (select 0 union all select i + 1 from n where i < 299) "
      "insert into Vantrel_Article (d_channelid, d_title, d_content, d_author, d_inputer, "
      "d_checked, d_deleted, d_addtime) select " +
      std::to_string(ch_) +
      ", (case when i % 3 = 0 then '经' else '纬' end) || i, '正文' || i, '甲', 'admin', -1, 0, "
      "datetime('2020-01-01', '+' || i || ' minutes') from n");
  Connection& conn = *s_.state.db.Conn;
  EnsureSearchIndexState(conn);
  BuildSearchStructures(conn);
  SiteFixture other;
  const std::string first = ShowSearchResult(s_.state, s_.state.channel, "d_title", 0, "经", 1);
  EXPECT_GT(s_.caches().asked_lists.keys.size(), 0u);
  EXPECT_EQ(other.caches().asked_lists.keys.size(), 0u);
  const size_t noted = s_.caches().asked_lists.keys.size();
  s_.state.site_caches = nullptr;
  const std::string bare = ShowSearchResult(s_.state, s_.state.channel, "d_title", 0, "经", 1);
  s_.state.site_caches = &s_.caches();
  EXPECT_EQ(testing::LinkedIds(bare), testing::LinkedIds(first));
  EXPECT_EQ(testing::Total(bare), "100");
  EXPECT_EQ(s_.caches().asked_lists.keys.size(), noted);
}

}  // namespace
}  // namespace folirex
