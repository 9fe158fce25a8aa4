#include "platform/db/sqlite_provider.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "temp_database.h"

namespace folirex {
namespace {

using testing::TempDatabase;

constexpr int64_t kPageSize = 4096;  // SQLite's default, which a new file gets
constexpr int64_t kFrame = kPageSize + 24;

// The write-ahead log's size in pages; 0 while there is none.
int64_t WalPages(const TempDatabase& db) {
  std::error_code error;
  const auto size = std::filesystem::file_size(db.path() + "-wal", error);
  return error ? 0 : static_cast<int64_t>(size) / kFrame;
}

class SqliteWalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Connection conn;
    conn.Open(db_.ConnectionString());
    db_.CreateSchema(conn);
    conn.Execute("insert into Vantrel_Article (d_title) values ('counter')");
    conn.Execute("insert into Vantrel_Article (d_title) values ('other')");
    ASSERT_EQ(conn.ExecuteScalar("pragma page_size").ToInt64(), kPageSize);
  }

  // One click as the pages count it, with a row that proves the click was kept.
  static void Click(Connection& conn, int i) {
    conn.BeginTrans();
    conn.Execute("update Vantrel_Article set d_clicktimes = d_clicktimes + 1 where d_id = 1");
    conn.Execute("insert into Vantrel_Keyword (d_name, d_order) values (?, ?)",
                 {Variant("click " + std::to_string(i)), Variant(i)});
    conn.CommitTrans();
  }

  void ExpectEveryClick(int clicks) {
    Connection conn;
    conn.Open(db_.ConnectionString());
    EXPECT_EQ(
        conn.ExecuteScalar("select d_clicktimes from Vantrel_Article where d_id = 1").ToInt64(),
        clicks);
    EXPECT_EQ(conn.ExecuteScalar("select count(distinct d_order) from Vantrel_Keyword where "
                                 "d_order >= 0 and d_order < ?",
                                 {Variant(clicks)})
                  .ToInt64(),
              clicks);
  }

  TempDatabase db_;
};

// Readers that always hold a snapshot somewhere (each thread opens its next read before it
// closes the last) leave SQLite's own checkpoint no moment to start the log over: without the
// provider's own, the log grew past 10,000 pages here and kept growing.
TEST_F(SqliteWalTest, TheLogStaysBoundedUnderReadsThatNeverPause) {
  constexpr int kReaders = 4;
  constexpr int kClicks = 4000;  // about 12,000 pages of log
  constexpr int64_t kBound = 6000;
  constexpr int kReadsPerPage = 2000;
  std::atomic<bool> writing{true};
  std::atomic<int> commits{0};
  std::atomic<int> torn{0};
  std::atomic<int64_t> reads{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < kReaders; ++t) {
    readers.emplace_back([&] {
      try {
        Connection conns[3];
        Recordset held[2];
        for (Connection& conn : conns) conn.Open(db_.ConnectionString());
        for (int n = 0; writing.load(); n ^= 1) {
          const int seen = commits.load();
          held[n].Open(
              "select d_clicktimes, (select count(*) from Vantrel_Keyword) from Vantrel_Article "
              "order by d_id",
              conns[n]);
          // The click and its row are one transaction: a snapshot sees both or neither.
          if (held[n].Field(0).ToInt64() != held[n].Field(1).ToInt64()) ++torn;
          held[n ^ 1].Close();
          // Holds the snapshot over the next commit, or for as long as a page takes over
          // some shorter reads of its own.
          for (int k = 0; k < kReadsPerPage && commits.load() == seen; ++k) {
            conns[2].ExecuteScalar("select d_title from Vantrel_Article where d_id = 2");
          }
          ++reads;
        }
      } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
      }
    });
  }
  int64_t most = 0;
  bool shrank = false;  // the file was cut back after the log started over
  try {
    Connection conn;
    conn.Open(db_.ConnectionString());
    for (int i = 0; i < kClicks; ++i) {
      Click(conn, i);
      ++commits;
      const int64_t pages = WalPages(db_);
      most = std::max(most, pages);
      shrank = shrank || pages < most / 2;
    }
  } catch (const std::exception& e) {
    ADD_FAILURE() << e.what();
  }
  writing = false;
  for (std::thread& th : readers) th.join();
  EXPECT_LT(most, kBound) << "pages of write-ahead log";
  EXPECT_TRUE(shrank);
  EXPECT_EQ(torn.load(), 0);
  EXPECT_GT(reads.load(), kReaders);
  ExpectEveryClick(kClicks);
}

// A page that keeps a recordset open on its connection while it writes through it: no
// checkpoint can run meanwhile, and still every commit succeeds; once the recordset is closed the
// next commits start the log over.
TEST_F(SqliteWalTest, ARecordsetOpenOnTheWritingConnectionFailsNoCommit) {
  constexpr int kClicks = 1600;  // about 4,800 pages of log
  Connection conn;
  conn.Open(db_.ConnectionString());
  Recordset rs;
  rs.Open("select d_title from Vantrel_Article order by d_id", conn);
  for (int i = 0; i < kClicks; ++i) Click(conn, i);
  const int64_t held = WalPages(db_);
  EXPECT_GT(held, 3 * kClicks / 2);
  rs.MoveNext();
  EXPECT_EQ(rs["d_title"].ToString(), "other");
  rs.Close();
  for (int i = kClicks; i < kClicks + 3; ++i) Click(conn, i);
  EXPECT_LT(WalPages(db_), held / 2);
  ExpectEveryClick(kClicks + 3);
}

}  // namespace
}  // namespace folirex
