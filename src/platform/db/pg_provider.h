// The PostgreSQL provider: a Session over libpq for a server-form connection string whose ODBC
// driver name is registered to PostgreSQL's own ODBC driver (psqlODBC). The same server, port,
// database, user and password are used; the server is talked to directly, which is what lets a
// page's statement cost one round trip:
//   - a statement text seen for the first time runs unnamed (parse, bind and execute in one
//     flight); seen again, it is prepared under a name of the session's and from then on only
//     bound and executed, never deallocated while the session lives (DDL forgets them all);
//   - inside a transaction each statement is guarded by a savepoint (so that one failure does not
//     fail the transaction, as on a database file), sent in the same flight as the statement; the
//     BEGIN goes with the transaction's first statement;
//   - results come as text and are read by the column's type: whole numbers, reals, flags and
//     timestamps become numbers, booleans and dates without going through a driver.
// A server on this machine (a loopback address or localhost) is reached through its local socket
// when the same server answers there to the same login, which costs both sides less per round
// trip; anything else stays on the network as configured.
// What the pages rely on is kept as the ODBC provider keeps it: a whole-number column that reads
// a table column of the domain yesno comes back as a boolean; SQL's "now" is the web host's local
// time.
//
// One thread at a time per session. Failures throw DbError in one line, never with the password.
#ifndef FOLIREX_PLATFORM_DB_PG_PROVIDER_H_
#define FOLIREX_PLATFORM_DB_PG_PROVIDER_H_

#include <memory>
#include <string>

#include "platform/db/connection_string.h"
#include "platform/db/provider.h"

namespace folirex::db {

std::unique_ptr<Session> OpenPgSession(const ConnectionTarget& target, std::string pool_key);

}  // namespace folirex::db

#endif  // FOLIREX_PLATFORM_DB_PG_PROVIDER_H_
