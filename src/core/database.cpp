#include "core/database.h"

#include <exception>

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

std::string BuildConnectionString(const RequestState& state) {
  std::string s;
  if (state.db.DbType == "0") {
    s = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
        state.host.Server->MapPath(state.db.DBPath).string() + ";";
    // The spaces round the equals signs belong to the text the pages have always built.
    if (!state.db.DBUser.empty()) s += " User ID = " + state.db.DBUser + ";";
    if (!state.db.DBPwd.empty()) s += " Password = " + state.db.DBPwd + ";";
  } else {
    s = "driver={SQL Server};server=" + ServerValue(state.db.DBServer) +
        ";database=" + ServerValue(state.db.DBPath) + ";uid=" + ServerValue(state.db.DBUser) +
        ";pwd=" + ServerValue(state.db.DBPwd) + ";";
  }
  return s;
}

bool TryOpenDatabase(RequestState& state) {
  try {
    state.db.Conn = std::make_unique<Connection>();
    state.db.Rs = std::make_unique<Recordset>();
    state.db.ConnStr = BuildConnectionString(state);
    state.db.Conn->Open(state.db.ConnStr);
    return true;
  } catch (const std::exception&) {
    CloseDatabase(state);
    return false;
  }
}

void OpenDatabase(RequestState& state) {
  if (!TryOpenDatabase(state)) state.host.Response->Redirect("?m=admin_error&errnum=0");
}

void CloseDatabase(RequestState& state) noexcept {
  if (state.db.Rs) {
    state.db.Rs->Close();
    state.db.Rs.reset();
  }
  if (state.db.Conn) {
    state.db.SqlStatements += state.db.Conn->statement_count();
    state.db.Conn->Close();
    state.db.Conn.reset();
  }
}

}  // namespace folirex
