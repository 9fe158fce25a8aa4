// The ODBC provider: a Session over a database server reached through unixODBC with
// SQLDriverConnect and the driver named in the server form of the connection string. The
// driver is asked which server it talks to (SQL_DBMS_NAME); PostgreSQL gets the PostgreSQL
// dialect, and any other server is refused with DbError, since no other dialect is translated.
//
// What the pages rely on, kept as on a database file: a whole-number column that reads a table
// column of the domain yesno comes back as a boolean, a timestamp as a date; a statement that
// fails inside a transaction fails alone (a savepoint guards each one); SQL's "now" is the web
// host's local time (the session takes the host's time zone when the server knows it).
//
// Every ODBC handle has an owner that frees it, on the way out of a failure too: a statement's
// handle goes with its Statement, a connection's (disconnected first) with its Session, and the
// process's one environment once no Session made on it is left.
//
// One thread at a time per session. Failures (no such driver, unreachable server, refused login)
// throw DbError with the driver's diagnostics, never with the password.
#ifndef FOLIREX_PLATFORM_DB_ODBC_PROVIDER_H_
#define FOLIREX_PLATFORM_DB_ODBC_PROVIDER_H_

#include <memory>
#include <string>

#include "platform/db/connection_string.h"
#include "platform/db/provider.h"

namespace folirex::db {

std::unique_ptr<Session> OpenOdbcSession(const ConnectionTarget& target, std::string pool_key);

// The library registered for an ODBC driver name in unixODBC's odbcinst.ini (its Driver entry,
// "/usr/lib/.../psqlodbca.so"); empty when the name is not registered.
std::string OdbcDriverLibrary(const std::string& driver_name);

// The local time zone's name ("Asia/Shanghai"), so that a server's "now" is the web host's local
// time, as it is for a database file; empty when it cannot be told.
std::string LocalTimeZoneName();

// Run on each new session of a PostgreSQL server. The memory one step of a statement may take
// (work_mem), raised to 64 MB where the server's setting is lower: a search's bitmap of the rows
// an index names needs some 64 bytes a table page to stay exact; past its memory it keeps whole
// pages instead, and every row of such a page is tested again by the index's condition, which
// for the bodies' index computes the body's sequences (a third of a millisecond each): the
// server's default of 4 MB did that for a common keyword from about 500,000 articles on, and
// such a search took seconds to minutes. 64 MB keeps them exact to about 5,000,000 articles.
// And no statement split among worker processes: starting them takes some 5 ms, more than a
// page's statements take, and a statement kept under its general plan (a search's matches, the
// keyword not known when it is planned) was split at 1,000,000 articles for every keyword.
inline constexpr const char* kServerSessionSettings =
    "SELECT set_config('work_mem', CASE WHEN pg_size_bytes(current_setting('work_mem')) < "
    "67108864 THEN '64MB' ELSE current_setting('work_mem') END, false), "
    "set_config('max_parallel_workers_per_gather', '0', false)";

}  // namespace folirex::db

#endif  // FOLIREX_PLATFORM_DB_ODBC_PROVIDER_H_
