#include "core/database.h"

#include <exception>

#include "core/settings_version.h"

namespace folirex {
namespace {

// A server setting holding ";" would end its key early; such a value goes between braces, the
// connection string's own quoting.
std::string ServerValue(const std::string& value) {
  if (value.find(';') == std::string::npos && (value.empty() || value[0] != '{')) return value;
  std::string braced = "{";
  for (char c : value) {
    braced += c;
    if (c == '}') braced += '}';
  }
  return braced + "}";
}

}  // namespace

std::string BuildConnectionString(const DatabaseState& db, const HostObjects& host) {
  std::string s;
  if (db.DbType == "0") {
    s = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + host.Server->MapPath(db.DBPath).string() +
        ";";
    // The spaces round the equals signs belong to the text the pages have always built.
    if (!db.DBUser.empty()) s += " User ID = " + db.DBUser + ";";
    if (!db.DBPwd.empty()) s += " Password = " + db.DBPwd + ";";
  } else {
    s = "driver={SQL Server};server=" + ServerValue(db.DBServer) +
        ";database=" + ServerValue(db.DBPath) + ";uid=" + ServerValue(db.DBUser) +
        ";pwd=" + ServerValue(db.DBPwd) + ";";
  }
  return s;
}

bool TryOpenDatabase(DatabaseState& db, const HostObjects& host) {
  try {
    db.Conn = std::make_unique<Connection>();
    db.Rs = std::make_unique<Recordset>();
    db.ConnStr = BuildConnectionString(db, host);
    db.Conn->Open(db.ConnStr);
    // The settings, classes and templates a page reads come from memory while their version
    // stays the same (a database without the version reads them as before).
    db.Conn->KeepReads(&SettingsReads());
    return true;
  } catch (const std::exception&) {
    CloseDatabase(db);
    db.Conn.reset();  // never opened: nothing holds it yet
    return false;
  }
}

void OpenDatabase(RequestState& state) {
  if (!TryOpenDatabase(state.db, state.host)) {
    state.host.Response->Redirect("?m=admin_error&errnum=0");
  }
}

void CloseDatabase(DatabaseState& db) noexcept {
  if (db.Rs) {
    db.Rs->Close();
    db.Rs.reset();
  }
  // The connection object stays until the request ends, closed: a page that ends with a message
  // from inside a transaction still has the transaction's guard on its stack, which rolls back
  // (nothing, once closed) through it as the page unwinds.
  if (db.Conn && db.Conn->IsOpen()) {
    db.SqlStatements += db.Conn->statement_count();
    db.Conn->Close();
  }
}

}  // namespace folirex
