// The public search's pages against the plain like's rows, for tests that reach each way the
// search answers by: the same rows in the same order, and the total the page shows.
#ifndef FOLIREX_TESTS_SUPPORT_SEARCH_LIKE_CHECK_H_
#define FOLIREX_TESTS_SUPPORT_SEARCH_LIKE_CHECK_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/db/recordset.h"
#include "site/search.h"
#include "support/site_fixture.h"

namespace folirex::testing {

// The article ids a page links to, in order.
inline std::vector<int64_t> LinkedIds(const std::string& html) {
  std::vector<int64_t> ids;
  const std::string mark = "m=content&articleid=";
  for (size_t at = html.find(mark); at != std::string::npos; at = html.find(mark, at + 1)) {
    ids.push_back(std::stoll(html.substr(at + mark.size())));
  }
  return ids;
}

// The total a result page shows ("0" without one).
inline std::string Total(const std::string& html) {
  const std::string mark = "共<b>";
  const size_t at = html.find(mark);
  if (at == std::string::npos) return "0";
  const size_t start = at + mark.size();
  return html.substr(start, html.find("</b>", start) - start);
}

// The like's rows of channel `channel` in order `order` (1 to 6), against the search's first,
// second, middle and last pages on `site`, each asked `times` times.
inline void CompareSearchWithLike(SiteFixture& site, int64_t channel, const std::string& column,
                                  const std::string& keyword, int order, int times = 1) {
  static const char* const kOrderBy[] = {"d_id asc",       "d_id desc",        "d_addtime asc",
                                         "d_addtime desc", "d_clicktimes asc", "d_clicktimes desc"};
  std::vector<int64_t> expected;
  Recordset rs;
  rs.Open("select d_id from Vantrel_Article where d_channelid = " + std::to_string(channel) +
              " and d_deleted = false and d_checked = true and " + column + " like ? order by " +
              kOrderBy[order - 1],
          {Variant("%" + keyword + "%")}, *site.state.db.Conn);
  for (; !rs.Eof(); rs.MoveNext()) expected.push_back(rs["d_id"].ToInt64());
  rs.Close();
  const size_t pages = std::max<size_t>((expected.size() + 19) / 20, 1);
  for (size_t page : {size_t{1}, std::min<size_t>(2, pages), (pages + 1) / 2, pages}) {
    const std::string what = column + " like '%" + keyword + "%' in order " +
                             std::to_string(order) + " page " + std::to_string(page);
    for (int time = 0; time < times; ++time) {
      site.SetQuery(page > 1 ? "Page=" + std::to_string(page) : "");
      const std::string html =
          ShowSearchResult(site.state, site.state.channel, column, 0, keyword, order);
      EXPECT_EQ(Total(html), std::to_string(expected.size())) << what;
      const size_t from = std::min(expected.size(), (page - 1) * 20);
      EXPECT_EQ(LinkedIds(html),
                std::vector<int64_t>(expected.begin() + from,
                                     expected.begin() + std::min(expected.size(), from + 20)))
          << what;
    }
  }
}

// Titles and bodies in all six orders, each page asked twice, for the keywords the search-ways
// tests seed: common ("经", "正文"), middling ("中等"), rare ("稀有词"), found nowhere ("不在"),
// a character and a digit ("经1"), wildcards among characters ("经%1", "稀%词") and alone ("_").
// Stops at the first fatal failure.
inline void CompareEveryKeywordAndOrder(SiteFixture& site, int64_t channel) {
  for (const char* column : {"d_title", "d_content"}) {
    for (int order = 1; order <= 6; ++order) {
      for (const char* keyword :
           {"经", "中等", "稀有词", "不在", "经1", "正文", "经%1", "稀%词", "_"}) {
        CompareSearchWithLike(site, channel, column, keyword, order, 2);
        if (::testing::Test::HasFatalFailure()) return;
      }
    }
  }
}

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_SUPPORT_SEARCH_LIKE_CHECK_H_
