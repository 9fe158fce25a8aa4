// A check for the search tests of both database forms: the counts of short sequences that the
// triggers kept through a test's changes are those a count of the articles as they stand gives,
// for every sequence kept.
#ifndef FOLIREX_TESTS_SUPPORT_GRAM_COUNTS_CHECK_H_
#define FOLIREX_TESTS_SUPPORT_GRAM_COUNTS_CHECK_H_

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/article_grams.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"

namespace folirex::testing {

// The rows of the table (channel, column, sequence, class, count), those of count 0 left out;
// only the sequences with a marker row when `kept` is given.
inline std::vector<std::string> KeptGramCounts(Connection& conn,
                                               const std::set<std::string>* kept = nullptr) {
  ApplyGramChanges(conn);
  std::vector<std::string> rows;
  Recordset rs;
  rs.Open("select k_channelid, k_column, k_gram, k_classid, k_count from " +
              std::string(kArticleGramTable) + " where k_count <> 0 order by 1, 2, 3, 4",
          conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    const std::string sequence = rs["k_channelid"].ToString() + " " + rs["k_column"].ToString() +
                                 " " + rs["k_gram"].ToString();
    if (kept != nullptr && kept->count(sequence) == 0) continue;
    rows.push_back(sequence + " " + rs["k_classid"].ToString() + " " + rs["k_count"].ToString());
  }
  return rows;
}

// The sequences kept (those with a marker row), as KeptGramCounts begins its rows.
inline std::set<std::string> KeptSequences(Connection& conn) {
  std::set<std::string> kept;
  Recordset rs;
  rs.Open("select k_channelid, k_column, k_gram from " + std::string(kArticleGramTable) +
              " where k_classid = -1",
          conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    kept.insert(rs["k_channelid"].ToString() + " " + rs["k_column"].ToString() + " " +
                rs["k_gram"].ToString());
  }
  return kept;
}

// Builds the table again, keeping the sequences that `kept_from` listed articles of a channel
// hold (a test site is too small for the default); `after_counting` as GramBuildOptions says.
inline void KeepGramCountsFrom(Connection& conn, int64_t kept_from,
                               std::function<void()> after_counting = {}) {
  BuildArticleGrams(
      conn, {.kept_from = kept_from, .again = true, .after_counting = std::move(after_counting)});
}

// Compares the kept counts with the counts made again from the articles, every sequence counted
// (which then stay), for the sequences kept; more than `at_least` rows of them.
inline void ExpectKeptGramCountsAsCountedAfresh(Connection& conn, size_t at_least = 100) {
  const std::vector<std::string> kept = KeptGramCounts(conn);
  ASSERT_GT(kept.size(), at_least);
  const std::set<std::string> sequences = KeptSequences(conn);
  KeepGramCountsFrom(conn, 1);
  EXPECT_EQ(kept, KeptGramCounts(conn, &sequences));
}

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_SUPPORT_GRAM_COUNTS_CHECK_H_
