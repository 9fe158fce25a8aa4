// Every way the search can answer a keyword by on PostgreSQL lists the plain like's rows: in all
// six orders, for titles and bodies, on the first, second, a middle and the last page, with the
// total the page shows. The search runs in this process over a site made by `folirex init` on the
// private cluster, so that the way counts it keeps say that each way was reached.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "core/article_grams.h"
#include "core/list_structures.h"
#include "core/public_request.h"
#include "core/search_structures.h"
#include "pg_test_support.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "site/search.h"
#include "site/search_plan.h"
#include "support/gram_counts_check.h"
#include "support/search_like_check.h"
#include "support/site_fixture.h"
#include "support/temp_folder.h"

namespace folirex {
namespace {

using testing::InitSiteOn;
using testing::PgDatabase;
using testing::PgServer;
using testing::ProgramRun;
using testing::SiteFixture;
using testing::TempFolder;

class PgSearchWaysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FOLIREX_REQUIRE_POSTGRES(pg_);
    db_ = std::make_unique<PgDatabase>(pg_);
    ProgramRun init = InitSiteOn(pg_, *db_, dir_);
    ASSERT_EQ(init.code, 0) << init.output;
    s_.state.db.Conn = std::make_unique<Connection>();
    s_.state.db.Conn->Open(db_->ConnectionString());
    s_.UseChannel(ch_);
  }

  void Compare(const std::string& column, const std::string& keyword, int order, int times = 1) {
    testing::CompareSearchWithLike(s_, ch_, column, keyword, order, times);
  }

  PgServer pg_ = PgServer::FromEnvironment();
  std::unique_ptr<PgDatabase> db_;
  TempFolder folder_;
  std::filesystem::path dir_ = folder_.path() / "site";
  SiteFixture s_;
  int64_t ch_ = 1;
};

TEST_F(PgSearchWaysTest, EveryWayListsThePlainLikesRowsInEveryOrder) {
  // 2,600 articles of distinct times and clicks, in an order of time that is not that of ids:
  // "经" in every second title and body, "稀有词" in every hundredth, "中等" in every seventh.
  s_.Exec(
      "insert into Vantrel_Article (d_channelid, d_title, d_content, d_author, d_inputer, "
      "d_checked, d_deleted, d_addtime, d_clicktimes) select " +
      std::to_string(ch_) +
      ", (case when i % 2 = 0 then '经' else '纬' end) || (case when i % 100 = 7 then '稀有词' "
      "else '' end) || (case when i % 7 = 3 then '中等' else '' end) || i, "
      "(case when i % 2 = 1 then '经' else '文' end) || (case when i % 100 = 9 then '稀有词' "
      "else '' end) || (case when i % 7 = 2 then '中等' else '' end) || '正文' || i, '甲', "
      "'admin', "
      "case when i % 17 <> 0 then -1 else 0 end, case when i % 23 = 0 then -1 else 0 end, "
      "timestamp '2020-01-01' + ((i * 7919) % 2600) * interval '1 minute', "
      "(i * 104729) % 2600 from generate_series(0, 2599) i");
  Connection& conn = *s_.state.db.Conn;
  EnsureListStructures(conn, s_.state.db.Lists);
  EnsureSearchIndexState(conn);
  BuildSearchStructures(conn);
  testing::KeepGramCountsFrom(conn, 60);
  SearchWayCounts::Reset();
  testing::CompareEveryKeywordAndOrder(s_, ch_);
  if (HasFatalFailure()) return;
  // An article without a time among the matches: they are not kept in the order of time, and the
  // list's index condition reads them (kept ids for a rare keyword, a walk of the list in its
  // order for a common one).
  s_.Exec(
      "insert into Vantrel_Article (d_channelid, d_title, d_content, d_checked, d_deleted, "
      "d_addtime, d_clicktimes) values (1, '经稀有词中等1', '经稀有词中等1', -1, 0, null, 5000)");
  for (int order = 3; order <= 4; ++order) {
    for (const char* keyword : {"经", "中等", "稀有词", "经%1"}) {
      Compare("d_title", keyword, order, 2);
      if (HasFatalFailure()) return;
    }
  }
  for (int way = 0; way < kSearchWaysTaken; ++way) {
    const auto taken = static_cast<SearchWayTaken>(way);
    const int64_t count = SearchWayCounts::Of(SqlEngine::kPostgres, taken);
    std::cout << SearchWayTakenName(taken) << ": " << count << "\n";
    // The trigram index reads no keyword's matches whole on PostgreSQL (IndexReadsMatches): its
    // three ways cannot occur there.
    if (taken == SearchWayTaken::kIndexSlice || taken == SearchWayTaken::kIndexWalk ||
        taken == SearchWayTaken::kIndexInTime) {
      EXPECT_EQ(count, 0) << SearchWayTakenName(taken);
      continue;
    }
    EXPECT_GT(count, 0) << "the way never taken: " << SearchWayTakenName(taken);
  }
}

}  // namespace
}  // namespace folirex
