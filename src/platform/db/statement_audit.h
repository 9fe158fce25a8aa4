// A check, for the tests and for debugging runs, that what the code says of its statements is
// what SQLite says of them when it compiles them (statement_touches.h):
//   kKeptRead  a kept read (kept_reads.h) reads exactly the tables it names, so that rows kept
//              for it go stale with no other table;
//   kWrite     the kept tables a write changes, as the engines without an authorizer decide it
//              from the target its text names (WriteTargetOf), are the ones SQLite's authorizer
//              names, so that both engines forget kept rows after the same writes;
//   kRowTable  the table an updatable recordset opened from a description writes back to, as
//              its caller declares it (platform/db/table_rows.h), is the one SQLite names.
// The checks run where the engine describes statements (SQLite). None is installed by default;
// then nothing is checked and nothing is spent on it.
//
// An installed audit is called from every thread that runs statements: it must be thread-safe,
// and stay installed (and alive) while connections run.
#ifndef FOLIREX_PLATFORM_DB_STATEMENT_AUDIT_H_
#define FOLIREX_PLATFORM_DB_STATEMENT_AUDIT_H_

#include <string>
#include <string_view>

#include "platform/db/kept_reads.h"
#include "platform/db/statement_touches.h"

namespace folirex::db {

enum class AuditCheck { kKeptRead, kWrite, kRowTable };

class StatementAudit {
 public:
  virtual ~StatementAudit() = default;
  // One check of `sql` was made (whatever it found).
  virtual void Checked(AuditCheck check, std::string_view sql) = 0;
  // The code and the engine disagree about `sql`: `what` says how.
  virtual void Disagrees(AuditCheck check, std::string_view sql, const std::string& what) = 0;
};

// Installs `audit` for the whole process (null: none); answers the one it replaces.
StatementAudit* SetStatementAudit(StatementAudit* audit);
// The installed audit; null when none is.
StatementAudit* InstalledStatementAudit();

// "" when `read` names exactly the tables `touches` reads (any letter case, each once), else
// what differs.
std::string KeptReadMismatch(const KeptRead& read, const StatementTouches& touches);

}  // namespace folirex::db

#endif  // FOLIREX_PLATFORM_DB_STATEMENT_AUDIT_H_
