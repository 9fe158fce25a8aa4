// The settings, classes and templates kept in memory between requests: every page reads them as
// the database holds them, whoever changed them and however.
#include "core/settings_version.h"

#include <gtest/gtest.h>

#include <string>

#include "core/list_structures.h"
#include "support/site_fixture.h"

namespace folirex::testing {
namespace {

// What a read names decides: every table it names kept (in any letter case), else it is read
// from the database each time.
TEST(KeptSettingsTest, OnlyReadsNamingKeptTablesAloneAreKept) {
  SiteFixture site;
  const int64_t cls = site.Add(ClassRow{.name = "甲类"});
  site.InConsole([](RequestState& s) { EnsureListStructures(*s.db.Conn, s.db.Lists); });
  const std::vector<Variant> id = {Variant(static_cast<long long>(cls))};
  const std::string sql = "select d_name from Vantrel_ArticleClass where d_id = ?";
  std::vector<int64_t> statements;
  site.InConsole([&](RequestState& s) {
    for (const db::KeptRead& read :
         {db::KeptRead{.tables = {"vantrel_articleclass"}, .sql = sql, .values = id},
          db::KeptRead{.tables = {"Vantrel_ArticleClass", "Vantrel_Article"},
          .sql = sql + " and (select count(*) from Vantrel_Article) >= 0",
          .values = id},
          db::KeptRead{.sql = sql, .values = id}}) {
      s.db.Conn->ExecuteScalar(read);
      const int64_t before = s.db.Conn->statement_count();
      EXPECT_EQ(s.db.Conn->ExecuteScalar(read).ToString(), "甲类");
      statements.push_back(s.db.Conn->statement_count() - before);
    }
  });
  EXPECT_EQ(statements, (std::vector<int64_t>{0, 1, 1}));
}

// A database made before the version row still serves its pages, also when the first read of a
// request is the one that would bring the version along.
TEST(KeptSettingsTest, ADatabaseWithoutTheVersionServesItsPages) {
  SiteFixture site;
  db::KeptReads::Instance().Clear();  // nothing known of this database yet
  site.Sql("update Vantrel_Config set d_name = '无版本'");
  std::string name;
  site.InConsole([&](RequestState& s) { name = s.site.SiteName.ToString(); });
  EXPECT_EQ(name, "无版本");
}

TEST(KeptSettingsTest, AReadAfterAnyChangeShowsTheChange) {
  SiteFixture site;
  const int64_t cls = site.Add(ClassRow{.name = "甲类"});
  site.InConsole([](RequestState& s) { EnsureListStructures(*s.db.Conn, s.db.Lists); });
  const std::vector<Variant> id = {Variant(static_cast<long long>(cls))};
  const db::KeptRead read{.tables = {"Vantrel_ArticleClass"},
                          .sql = "select d_name from Vantrel_ArticleClass where d_id = ?",
                          .values = id};
  std::string names;
  int64_t again = -1;
  site.InConsole([&](RequestState& s) {
    names += s.db.Conn->ExecuteScalar(read).ToString();
    const int64_t before = s.db.Conn->statement_count();
    names += "," + s.db.Conn->ExecuteScalar(read).ToString();
    again = s.db.Conn->statement_count() - before;
    // A write of the page's own is read back in the same request.
    s.db.Conn->Execute("update Vantrel_ArticleClass set d_name = '乙类' where d_id = ?", id);
    names += "," + s.db.Conn->ExecuteScalar(read).ToString();
  });
  // Another writer of the database, as another host.
  site.Sql("update Vantrel_ArticleClass set d_name = '丙类' where d_id = " + std::to_string(cls));
  site.InConsole([&](RequestState& s) {
    names += "," + s.db.Conn->ExecuteScalar(read).ToString();
    // Inside a transaction the page reads its own changes; one rolled back is gone.
    s.db.Conn->BeginTrans();
    s.db.Conn->Execute("update Vantrel_ArticleClass set d_name = '丁类' where d_id = ?", id);
    names += "," + s.db.Conn->ExecuteScalar(read).ToString();
    s.db.Conn->RollbackTrans();
    names += "," + s.db.Conn->ExecuteScalar(read).ToString();
  });
  site.InConsole(
      [&](RequestState& s) { names += "," + s.db.Conn->ExecuteScalar(read).ToString(); });
  EXPECT_EQ(names, "甲类,甲类,乙类,丙类,丁类,丙类,丙类");
  EXPECT_EQ(again, 0) << "a kept select is answered from memory";
}

}  // namespace
}  // namespace folirex::testing
