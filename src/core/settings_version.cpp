#include "core/settings_version.h"

#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/advisory_locks.h"
#include "core/list_structures.h"
#include "platform/db/provider.h"
#include "platform/db/scoped_transaction.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

constexpr const char* kKeptTables[] = {
    "Vantrel_Config",       "Vantrel_ArticleClass",    "Vantrel_Template",
    "Vantrel_TemplatePage", "Vantrel_TemplateAndPage", "Vantrel_Skin",
    "Vantrel_MenuSet",      "Vantrel_NaviMenu",        "Vantrel_JS",
    "Vantrel_Announce",     "Vantrel_ManagerFunction", "Vantrel_ArticleComment"};
constexpr const char* kBump =
    "UPDATE Vantrel_ArticleVersion SET d_version = d_version + 1 WHERE d_id = 3";
constexpr const char* kPgTrigger = "trg_settings_version";

int64_t CountOf(Connection& conn, const std::string& sql) {
  std::unique_ptr<db::Statement> st = conn.session().PrepareNative(sql);
  st->Bind({});
  return st->Step() ? st->Column(0).ToInt64Or(0) : 0;
}

std::string TableList() {
  std::string list;
  for (const char* t : kKeptTables) list += (list.empty() ? "'" : ", '") + LCase(t) + "'";
  return list;
}

constexpr int64_t kTableCount = static_cast<int64_t>(std::size(kKeptTables));

// Whether every kept table is there (a database without one keeps nothing).
bool HasTables(Connection& conn, bool postgres) {
  return CountOf(conn, postgres ? "select count(*) from pg_class c join pg_namespace n on n.oid "
                                  "= c.relnamespace where n.nspname = current_schema() and "
                                  "c.relkind = 'r' and c.relname in (" +
                                      TableList() + ")"
                                : "select count(*) from sqlite_schema where type = 'table' and "
                                  "lower(name) in (" +
                                      TableList() + ")") == kTableCount;
}

bool HasVersion(Connection& conn, bool postgres) {
  if (CountOf(conn, postgres ? "select count(*) from pg_class c join pg_namespace n on n.oid = "
                               "c.relnamespace where n.nspname = current_schema() and "
                               "c.relname = 'vantrel_articleversion'"
                             : "select count(*) from sqlite_schema where type = 'table' and "
                               "name = 'Vantrel_ArticleVersion'") == 0) {
    return false;
  }
  const int64_t triggers =
      postgres ? CountOf(conn, std::string("select count(*) from pg_trigger t join pg_class c on "
                                           "c.oid = t.tgrelid join pg_namespace n on n.oid = "
                                           "c.relnamespace where n.nspname = current_schema() "
                                           "and t.tgname = '") +
                                   kPgTrigger + "'")
               : CountOf(conn,
                         "select count(*) from sqlite_schema where type = 'trigger' and "
                         "name like 'trg_settings_version_%'");
  return triggers == (postgres ? kTableCount : 3 * kTableCount) &&
         CountOf(conn, "select count(*) from Vantrel_ArticleVersion where d_id = 3") == 1;
}

std::vector<std::string> Statements(bool postgres) {
  std::vector<std::string> statements;
  if (postgres) {
    statements.push_back(
        "CREATE OR REPLACE FUNCTION folirex_settings_changed() RETURNS trigger LANGUAGE plpgsql "
        "AS $$ BEGIN " +
        std::string(kBump) + "; RETURN NULL; END $$");
  }
  for (const char* table : kKeptTables) {
    const std::string t = table;
    if (postgres) {
      statements.push_back("DROP TRIGGER IF EXISTS " + std::string(kPgTrigger) + " ON " + t);
      statements.push_back("CREATE TRIGGER " + std::string(kPgTrigger) +
                           " AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON " + t +
                           " FOR EACH STATEMENT EXECUTE FUNCTION folirex_settings_changed()");
      continue;
    }
    for (const char* op : {"insert", "update", "delete"}) {
      statements.push_back("CREATE TRIGGER IF NOT EXISTS trg_settings_version_" + LCase(t) + "_" +
                           op + " AFTER " + op + " ON " + t + " BEGIN " + kBump + "; END");
    }
  }
  statements.push_back(
      std::string("INSERT INTO Vantrel_ArticleVersion (d_id, d_version) ") +
      (postgres ? "VALUES (3, " + RandomStartingVersion() + ") ON CONFLICT (d_id) DO NOTHING"
                : "SELECT 3, " + RandomStartingVersion() +
                      " WHERE NOT EXISTS (SELECT 1 FROM Vantrel_ArticleVersion "
                      "WHERE d_id = 3)"));
  return statements;
}

}  // namespace

const db::KeptReadsPolicy& SettingsReads() {
  static const db::KeptReadsPolicy* policy = [] {
    auto* p = new db::KeptReadsPolicy();
    for (const char* t : kKeptTables) p->tables.push_back(LCase(t));
    p->version_sql = "select d_version from Vantrel_ArticleVersion where d_id = 3";
    return p;
  }();
  return *policy;
}

void EnsureSettingsVersion(Connection& conn) {
  const SqlEngine engine = conn.engine();
  if (engine != SqlEngine::kPostgres && engine != SqlEngine::kSqlite) return;
  const bool postgres = engine == SqlEngine::kPostgres;
  db::Session& session = conn.session();
  if (HasVersion(conn, postgres)) {
    db::KeptReads::Instance().SetUnversioned(session.pool_key(), false);
    return;
  }
  if (!HasTables(conn, postgres)) return;
  // Hosts that start together on one database make them one after another.
  if (postgres) {
    ScopedTransaction transaction(conn);
    session.ExecuteNative("SELECT pg_advisory_xact_lock(" + std::to_string(kSettingsVersionLock) +
                          ")");
    if (!HasVersion(conn, postgres)) {
      for (const std::string& sql : Statements(postgres)) session.ExecuteNative(sql);
    }
    transaction.Commit();
  } else {
    session.ExecuteNative("BEGIN IMMEDIATE");
    try {
      if (!HasVersion(conn, postgres)) {
        for (const std::string& sql : Statements(postgres)) session.ExecuteNative(sql);
      }
      session.ExecuteNative("COMMIT");
    } catch (...) {
      try {
        session.ExecuteNative("ROLLBACK");
      } catch (...) {
      }
      throw;
    }
  }
  db::KeptReads::Instance().SetUnversioned(session.pool_key(), false);
}

}  // namespace folirex
