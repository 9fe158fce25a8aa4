// A check for the search tests of both database forms: the counts of short sequences that the
// triggers kept through a test's changes are those a count of the articles as they stand gives.
#ifndef FOLIREX_TESTS_SUPPORT_GRAM_COUNTS_CHECK_H_
#define FOLIREX_TESTS_SUPPORT_GRAM_COUNTS_CHECK_H_

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/article_grams.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"

namespace folirex::testing {

inline std::vector<std::string> KeptGramCounts(Connection& conn) {
  ApplyGramChanges(conn);
  std::vector<std::string> rows;
  Recordset rs;
  rs.Open("select k_channelid, k_column, k_gram, k_classid, k_count from " +
              std::string(kArticleGramTable) + " where k_count <> 0 order by 1, 2, 3, 4",
          conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    rows.push_back(rs["k_channelid"].ToString() + " " + rs["k_column"].ToString() + " " +
                   rs["k_gram"].ToString() + " " + rs["k_classid"].ToString() + " " +
                   rs["k_count"].ToString());
  }
  return rows;
}

// Compares the kept counts with the counts made again from the articles (which then stay).
inline void ExpectKeptGramCountsAsCountedAfresh(Connection& conn) {
  const std::vector<std::string> kept = KeptGramCounts(conn);
  ASSERT_GT(kept.size(), 100u);
  conn.Execute("delete from " + std::string(kArticleGramTable));
  FillArticleGrams(conn);
  EXPECT_EQ(kept, KeptGramCounts(conn));
}

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_SUPPORT_GRAM_COUNTS_CHECK_H_
