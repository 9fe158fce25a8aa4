#include "core/site_upgrade.h"

#include <string>

#include "platform/db/provider.h"
#include "platform/db/scoped_transaction.h"

namespace folirex {
namespace {

// PostgreSQL: the articles' table of a site made before gets the storage options the schema now
// makes it with, for the rows written from then on (those stored before stay where they are): a
// body of up to about 8 KB kept in its row, and room left in each page for a click's new version
// of a row. The change waits for no other session's work on the table (a search index that
// another host is building): it is made at a later start instead.
void SetArticleStorage(Connection& conn) {
  // The table's options as PostgreSQL lists them, and as they are set.
  const std::string set =
      "," +
      conn.ExecuteScalar(
              "select array_to_string(coalesce(reloptions, '{}'), ',') from pg_class "
              "where oid = 'vantrel_article'::regclass")
          .ToString() +
      ",";
  std::string missing;
  for (const std::string option : {"toast_tuple_target=8160", "fillfactor=70"}) {
    if (set.find("," + option + ",") == std::string::npos) {
      missing += (missing.empty() ? "" : ", ") + option;
    }
  }
  if (missing.empty()) return;
  ScopedTransaction transaction(conn);
  conn.session().ExecuteNative("SET LOCAL lock_timeout = '2s'");
  try {
    conn.session().ExecuteNative("ALTER TABLE Vantrel_Article SET (" + missing + ")");
  } catch (const DbError&) {
    return;  // rolled back with the transaction
  }
  transaction.Commit();
}

}  // namespace

void UpgradeSiteRows(Connection& conn) {
  const bool postgres = conn.engine() == SqlEngine::kPostgres;
  if (postgres) SetArticleStorage(conn);
  if (conn.ExecuteScalar("select count(*) from Vantrel_Function where d_code = 'XT_Manage_AD'")
          .ToInt64Or(0) > 0) {
    return;
  }
  ScopedTransaction transaction(conn);
  // The catalogue row as a new site ships it.
  conn.Execute(
      "insert into Vantrel_Function (d_code, d_name, d_desc, d_flag, d_order) values "
      "('XT_Manage_AD', '广告管理', '广告的新增、修改、删除和JS文件生成', 1, 26)");
  conn.Execute(
      "insert into Vantrel_ManagerFunction (d_adminname, d_functioncode) select distinct "
      "d_adminname, 'XT_Manage_AD' from Vantrel_ManagerFunction where d_functioncode = "
      "'XT_Manage_ManagerPrivilege' and d_adminname in (select d_name from Vantrel_Admin)");
  transaction.Commit();
}

}  // namespace folirex
