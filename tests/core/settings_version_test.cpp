// The settings, classes and templates kept in memory between requests: every page reads them as
// the database holds them, whoever changed them and however.
#include "core/settings_version.h"

#include <gtest/gtest.h>

#include <string>

#include "core/list_structures.h"
#include "platform/db/sql_dialect.h"
#include "support/site_fixture.h"

namespace folirex::testing {
namespace {

TEST(KeptSettingsTest, OnlySelectsOfKeptTablesAloneThatReadNoClockAreKept) {
  const std::vector<std::string>& kept = SettingsReads().tables;
  for (const char* sql :
       {"select * from Vantrel_Config", "select d_name from Vantrel_ArticleClass where d_id = ?",
        "select d_content, d_skinid from Vantrel_TemplatePage where d_id = (select d_pageid from "
        "Vantrel_TemplateAndPage where d_templateid = ? and d_type = ?)",
        "select a.d_id from vantrel_articleclass a left join \"Vantrel_Skin\" s on a.d_id = s.d_id",
        "select top 5 * from Vantrel_Announce where d_channelid = ? order by d_addtime desc"}) {
    EXPECT_TRUE(ReadsOnlyTables(sql, kept)) << sql;
  }
  for (const char* sql :
       {"select * from Vantrel_Channel",
        "select a.*, b.d_dir from Vantrel_Article a join Vantrel_ArticleClass b on a.d_classid = "
        "b.d_id",
        "select d_id from Vantrel_ArticleClass, Vantrel_Article",
        "select d_id from Vantrel_ArticleClass c, Vantrel_Article",
        "select * from Vantrel_Announce where d_addtime > now()",
        "select * from Vantrel_Announce where datediff('d', d_addtime, now) < 3",
        "update Vantrel_Config set d_name = 'x'", "select 11",
        "select d_id from Vantrel_ArticleClass where d_id in (select d_classid from "
        "Vantrel_Article)"}) {
    EXPECT_FALSE(ReadsOnlyTables(sql, kept)) << sql;
  }
}

TEST(KeptSettingsTest, AReadAfterAnyChangeShowsTheChange) {
  SiteFixture site;
  const int64_t cls = site.Add(ClassRow{.name = "甲类"});
  site.InConsole([](RequestState& s) { EnsureListStructures(*s.db.Conn); });
  const std::string read = "select d_name from Vantrel_ArticleClass where d_id = ?";
  const std::vector<Variant> id = {Variant(static_cast<long long>(cls))};
  std::string names;
  int64_t again = -1;
  site.InConsole([&](RequestState& s) {
    names += s.db.Conn->ExecuteScalar(read, id).ToString();
    const int64_t before = s.db.Conn->statement_count();
    names += "," + s.db.Conn->ExecuteScalar(read, id).ToString();
    again = s.db.Conn->statement_count() - before;
    // A write of the page's own is read back in the same request.
    s.db.Conn->Execute("update Vantrel_ArticleClass set d_name = '乙类' where d_id = ?", id);
    names += "," + s.db.Conn->ExecuteScalar(read, id).ToString();
  });
  // Another writer of the database, as another host.
  site.Sql("update Vantrel_ArticleClass set d_name = '丙类' where d_id = " + std::to_string(cls));
  site.InConsole([&](RequestState& s) {
    names += "," + s.db.Conn->ExecuteScalar(read, id).ToString();
    // Inside a transaction the page reads its own changes; one rolled back is gone.
    s.db.Conn->BeginTrans();
    s.db.Conn->Execute("update Vantrel_ArticleClass set d_name = '丁类' where d_id = ?", id);
    names += "," + s.db.Conn->ExecuteScalar(read, id).ToString();
    s.db.Conn->RollbackTrans();
    names += "," + s.db.Conn->ExecuteScalar(read, id).ToString();
  });
  site.InConsole(
      [&](RequestState& s) { names += "," + s.db.Conn->ExecuteScalar(read, id).ToString(); });
  EXPECT_EQ(names, "甲类,甲类,乙类,丙类,丁类,丙类,丙类");
  EXPECT_EQ(again, 0) << "a kept select is answered from memory";
}

}  // namespace
}  // namespace folirex::testing
