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

std::vector<int64_t> LinkedIds(const std::string& html) {
  std::vector<int64_t> ids;
  const std::string mark = "m=content&articleid=";
  for (size_t at = html.find(mark); at != std::string::npos; at = html.find(mark, at + 1)) {
    ids.push_back(std::stoll(html.substr(at + mark.size())));
  }
  return ids;
}

std::string Total(const std::string& html) {
  const std::string mark = "共<b>";
  const size_t at = html.find(mark);
  if (at == std::string::npos) return "0";
  const size_t start = at + mark.size();
  return html.substr(start, html.find("</b>", start) - start);
}

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

  // The like's rows in order `order` (1 to 6), against the search's first, second, middle and last
  // pages, each asked `times` times.
  void Compare(const std::string& column, const std::string& keyword, int order, int times = 1) {
    static const char* const kOrderBy[] = {"d_id asc",         "d_id desc",
                                           "d_addtime asc",    "d_addtime desc",
                                           "d_clicktimes asc", "d_clicktimes desc"};
    std::vector<int64_t> expected;
    Recordset rs;
    rs.Open("select d_id from Vantrel_Article where d_channelid = " + std::to_string(ch_) +
                " and d_deleted = false and d_checked = true and " + column + " like ? order by " +
                kOrderBy[order - 1],
            {Variant("%" + keyword + "%")}, *s_.state.db.Conn);
    for (; !rs.Eof(); rs.MoveNext()) expected.push_back(rs["d_id"].ToInt64());
    rs.Close();
    const size_t pages = std::max<size_t>((expected.size() + 19) / 20, 1);
    for (size_t page : {size_t{1}, std::min<size_t>(2, pages), (pages + 1) / 2, pages}) {
      const std::string what = column + " like '%" + keyword + "%' in order " +
                               std::to_string(order) + " page " + std::to_string(page);
      for (int time = 0; time < times; ++time) {
        s_.SetQuery(page > 1 ? "Page=" + std::to_string(page) : "");
        const std::string html =
            ShowSearchResult(s_.state, s_.state.channel, column, 0, keyword, order);
        EXPECT_EQ(Total(html), std::to_string(expected.size())) << what;
        const size_t from = std::min(expected.size(), (page - 1) * 20);
        EXPECT_EQ(LinkedIds(html),
                  std::vector<int64_t>(expected.begin() + from,
                                       expected.begin() + std::min(expected.size(), from + 20)))
            << what;
      }
    }
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
  EnsureListStructures(conn);
  EnsureSearchIndexState(conn);
  BuildSearchStructures(conn);
  testing::KeepGramCountsFrom(conn, 60);
  SearchWayCounts::Reset();
  for (const char* column : {"d_title", "d_content"}) {
    for (int order = 1; order <= 6; ++order) {
      for (const char* keyword :
           {"经", "中等", "稀有词", "不在", "经1", "正文", "经%1", "稀%词", "_"}) {
        Compare(column, keyword, order, 2);
        if (HasFatalFailure()) return;
      }
    }
  }
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
