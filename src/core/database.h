// Opening and closing the request's database connection from the five database settings.
//   DbType "0": the file form, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<MapPath(DBPath)>;"
//               (then " User ID = u;" and " Password = p;" when set), opened as a SQLite file;
//   otherwise:  the server form "driver={SQL Server};server=..;database=..;uid=..;pwd=..;",
//               opened through ODBC.
// The connection and the shared recordset live in the request's DatabaseState from OpenDatabase
// to CloseDatabase.
#ifndef FOLIREX_CORE_DATABASE_H_
#define FOLIREX_CORE_DATABASE_H_

#include <string>

#include "core/request_state.h"

namespace folirex {

// The connection string for the settings in db (DbType, DBPath, ...). The file form maps DBPath
// through host.Server; throws HostError when that path leaves the site.
std::string BuildConnectionString(const DatabaseState& db, const HostObjects& host);

// Creates Conn and Rs and opens Conn; false when it cannot (the error is not raised).
bool TryOpenDatabase(DatabaseState& db, const HostObjects& host);

// TryOpenDatabase, or on failure the redirect to "?m=admin_error&errnum=0" and the end of the
// response (throws ResponseEnd).
void OpenDatabase(RequestState& state);

// Closes and drops Rs, then closes Conn (kept, closed, for the guards still on the stack). Never
// fails; safe to call any number of times.
void CloseDatabase(DatabaseState& db) noexcept;

}  // namespace folirex

#endif  // FOLIREX_CORE_DATABASE_H_
