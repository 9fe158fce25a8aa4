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
  if (state.DbType == "0") {
    s = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + state.Server->MapPath(state.DBPath).string() +
        ";";
    // The spaces round the equals signs belong to the text the pages have always built.
    if (!state.DBUser.empty()) s += " User ID = " + state.DBUser + ";";
    if (!state.DBPwd.empty()) s += " Password = " + state.DBPwd + ";";
  } else {
    s = "driver={SQL Server};server=" + ServerValue(state.DBServer) +
        ";database=" + ServerValue(state.DBPath) + ";uid=" + ServerValue(state.DBUser) +
        ";pwd=" + ServerValue(state.DBPwd) + ";";
  }
  return s;
}

bool TryOpenDatabase(RequestState& state) {
  try {
    state.Conn = std::make_unique<Connection>();
    state.Rs = std::make_unique<Recordset>();
    state.ConnStr = BuildConnectionString(state);
    state.Conn->Open(state.ConnStr);
    return true;
  } catch (const std::exception&) {
    CloseDatabase(state);
    return false;
  }
}

void OpenDatabase(RequestState& state) {
  if (!TryOpenDatabase(state)) state.Response->Redirect("?m=admin_error&errnum=0");
}

void CloseDatabase(RequestState& state) noexcept {
  if (state.Rs) {
    state.Rs->Close();
    state.Rs.reset();
  }
  if (state.Conn) {
    state.SqlStatements += state.Conn->statement_count();
    state.Conn->Close();
    state.Conn.reset();
  }
}

}  // namespace folirex
