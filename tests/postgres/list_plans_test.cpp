// What the list pages of a PostgreSQL site make the database read, as its own statistics count
// it: each kind of list page reads the articles it shows (and a few around them), never the
// articles' table or the order of clicks whole, and never the order of clicks once for every
// article of a class. Sessions keep their statements prepared with one plan for every value they
// bind, so a class holding most of its channel and one holding a few are both asked: a plan made
// for an average class fits neither.
//
// Each page kind is served twice by a server of its own, asked a few times and then more times,
// and stopped: its sessions end and hand the database their counts, which were reset before it
// started. The difference is what the further requests read, once the statements are prepared
// (from their second run on) and what a server reads once (its kept lists) is read.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "postgres/pg_test_support.h"
#include "support/temp_folder.h"

namespace folirex::testing {
namespace {

constexpr int kArticles = 6000;
constexpr int kFirst = 2;  // requests of a page kind before those that are counted
constexpr int kAsked = 6;  // requests counted

// The counts of one table since the last reset.
struct TableReads {
  int64_t whole_reads = 0;  // sequential scans
  int64_t rows = 0;         // rows read by them and fetched through indexes
  int64_t index_scans = 0;
};

class ListPlansTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FOLIREX_REQUIRE_POSTGRES(pg_);
    db_ = std::make_unique<PgDatabase>(pg_);
    ProgramRun init = InitSiteOn(pg_, *db_, dir_);
    ASSERT_EQ(init.code, 0) << init.output;
    // Class 1 holds half the articles of channel 1, classes 2 to 60 some fifty each (a plan
    // made for an average class takes any class for one of those); half the articles are in
    // subject 1; clicks, flags and times spread.
    Native(
        "INSERT INTO Vantrel_ArticleClass (d_channelid, d_pid, d_name, d_dir, d_child, d_level, "
        "d_order, d_rootid, d_path) SELECT 1, 0, '类' || n, 'c' || n, 0, 0, n, n, n || ',' FROM "
        "generate_series(1, 60) n");
    Native(
        "INSERT INTO Vantrel_ArticleSubject (d_channelid, d_name, d_dir, d_order) VALUES (1, "
        "'专题', 'special', 1)");
    Native(
        "INSERT INTO Vantrel_Article (d_channelid, d_classid, d_subjectid, d_title, d_content, "
        "d_checked, d_deleted, d_addtime, d_keyword, d_clicktimes, d_hotflag, d_recommendflag, "
        "d_topflag) SELECT 1, CASE WHEN i % 2 = 0 THEN 1 ELSE 2 + i % 59 END, i % 2, '文章' || i, "
        "'<p>正文' || i || '</p>', -1, 0, timestamp '2025-01-01' + i * interval '1 hour', "
        "'|新闻|', (i * 7919) % 1000, -(i % 10 = 0)::int, -(i % 10 = 1)::int, "
        "-(i % 500 = 0)::int "
        "FROM generate_series(1, " +
        std::to_string(kArticles) + ") i");
    Native("UPDATE Vantrel_Channel SET d_itemcount = " + std::to_string(kArticles) +
           ", d_itemcountchecked = " + std::to_string(kArticles) + " WHERE d_id = 1");
    // The first start builds the structures the lists read, and the first article page the
    // index of keywords; the search structures are built in the background, reading every
    // article, so they are waited for.
    {
      ServedSite first(dir_);
      ASSERT_EQ(first.Get("/asp.asp").status, 200);
      ASSERT_EQ(first.Get("/asp.asp?m=content&articleid=1&channelid=1").status, 200);
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
      while (Value("select d_ready from Vantrel_SearchIndex where d_id = 1") != "1") {
        ASSERT_LT(std::chrono::steady_clock::now(), until)
            << "the search structures were not built";
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    }
    Native("VACUUM ANALYZE");
  }

  void Native(const std::string& sql) {
    Connection conn;
    conn.Open(db_->ConnectionString());
    conn.session().ExecuteNative(sql);
  }

  std::string Value(const std::string& sql) {
    Connection conn;
    conn.Open(db_->ConnectionString());
    return conn.ExecuteScalar(sql).ToString();
  }

  // Serves the site, asks `path` `times` times, stops it, and answers what its sessions read of
  // the articles and of the order of clicks (by lower-case name).
  std::map<std::string, TableReads> ReadsOf(const std::string& path, int times) {
    Connection conn;
    conn.Open(db_->ConnectionString());
    conn.session().ExecuteNative("SELECT pg_stat_reset()");
    {
      ServedSite site(dir_);
      for (int i = 0; i < times; ++i) {
        HttpAnswer answer = site.Get(path);
        EXPECT_EQ(answer.status, 200) << path;
        // Every page kind shows some of the articles ("文章N").
        EXPECT_TRUE(std::regex_search(answer.text, std::regex("文章[0-9]+"))) << path;
      }
    }
    // The server's sessions hand over their counts as they end: wait until none is left, then
    // until two reads agree.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const std::string others =
        "select count(*) from pg_stat_activity where datname = current_database() and pid <> "
        "pg_backend_pid()";
    while (conn.ExecuteScalar(others).ToInt64Or(0) != 0 &&
           std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::map<std::string, TableReads> reads, before;
    do {
      before = std::move(reads);
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      reads.clear();
      // A new snapshot of the counts for every read (not the one kept for the transaction).
      conn.session().ExecuteNative("SELECT pg_stat_clear_snapshot()");
      Recordset rs;
      rs.Open(
          "select relname, seq_scan, seq_tup_read, coalesce(idx_scan, 0) as idx_scan, "
          "coalesce(idx_tup_fetch, 0) as idx_tup_fetch from pg_stat_user_tables where relname "
          "in ('vantrel_article', 'vantrel_articleclickorder')",
          conn);
      for (; !rs.Eof(); rs.MoveNext()) {
        reads[rs["relname"].ToString()] =
            TableReads{rs["seq_scan"].ToInt64Or(0),
                       rs["seq_tup_read"].ToInt64Or(0) + rs["idx_tup_fetch"].ToInt64Or(0),
                       rs["idx_scan"].ToInt64Or(0)};
      }
    } while ((before.size() != reads.size() ||
              before["vantrel_article"].rows != reads["vantrel_article"].rows ||
              before["vantrel_articleclickorder"].index_scans !=
                  reads["vantrel_articleclickorder"].index_scans) &&
             std::chrono::steady_clock::now() < until);
    return reads;
  }

  PgServer pg_ = PgServer::FromEnvironment();
  std::unique_ptr<PgDatabase> db_;
  TempFolder folder_;
  std::filesystem::path dir_ = folder_.path() / "site";
};

TEST_F(ListPlansTest, ListPagesReadTheirRowsNotTheirClassWholeNorTheClickOrderRowByRow) {
  // Every list page kind, for a class of most of the channel and one of a few.
  const std::vector<std::string> pages = {
      "/asp.asp",
      "/asp.asp?channelid=1",
      "/asp.asp?m=classlist&classid=1&channelid=1",
      "/asp.asp?m=classlist&classid=1&channelid=1&page=3",
      "/asp.asp?m=classlist&classid=2&channelid=1",
      "/asp.asp?m=subjectlist&subjectid=1&channelid=1",
      "/asp.asp?m=newlist&channelid=1",
      "/asp.asp?m=hotlist&channelid=1",
      "/asp.asp?m=recommendlist&channelid=1",
      "/asp.asp?m=search&channelid=1",
      "/asp.asp?m=content&articleid=3000&channelid=1",
  };
  for (const std::string& page : pages) {
    std::map<std::string, TableReads> first = ReadsOf(page, kFirst);
    std::map<std::string, TableReads> all = ReadsOf(page, kFirst + kAsked);
    const auto more = [&](const std::string& table, int64_t TableReads::*count) {
      return (all[table].*count - first[table].*count) / kAsked;
    };
    EXPECT_EQ(more("vantrel_article", &TableReads::whole_reads), 0) << page;
    // A page shows a few lists of up to 50 rows (a deep page passes its earlier ones, and a list
    // of hot articles, a tenth of them, ten times its rows in the order of clicks): some 800 at
    // most here; the big class's whole list, sorted for a deep page, 3,000 a list.
    EXPECT_LE(more("vantrel_article", &TableReads::rows), 1000) << page;
    // The order of clicks is read in its index's order, or looked up for the few articles of a
    // small class (whose narrow rows the planner may rather read whole at this size): never once
    // for every article of the big class.
    EXPECT_LE(more("vantrel_articleclickorder", &TableReads::index_scans), 60) << page;
  }
}

}  // namespace
}  // namespace folirex::testing
