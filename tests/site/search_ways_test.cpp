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
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "site/search.h"
#include "site/search_plan.h"
#include "support/gram_counts_check.h"
#include "support/site_fixture.h"

namespace folirex {
namespace {

using testing::ChannelRow;
using testing::SiteFixture;

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

class SearchWaysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ch_ = s_.Add(ChannelRow{.dir = "news"});
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
  for (const char* column : {"d_title", "d_content"}) {
    for (int order = 1; order <= 6; ++order) {
      for (const char* keyword :
           {"经", "中等", "稀有词", "不在", "经1", "正文", "经%1", "稀%词", "_"}) {
        Compare(column, keyword, order, 2);
        if (HasFatalFailure()) return;
      }
    }
  }
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

}  // namespace
}  // namespace folirex
