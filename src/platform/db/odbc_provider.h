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

}  // namespace folirex::db

#endif  // FOLIREX_PLATFORM_DB_ODBC_PROVIDER_H_
