#include "core/database.h"

#include <exception>

namespace folirex {

std::string BuildConnectionString(const RequestState& state) {
  std::string s;
  if (state.DbType == "0") {
    s = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + state.Server->MapPath(state.DBPath).string() +
        ";";
    // The spaces round the equals signs belong to the text the pages have always built.
    if (!state.DBUser.empty()) s += " User ID = " + state.DBUser + ";";
    if (!state.DBPwd.empty()) s += " Password = " + state.DBPwd + ";";
  } else {
    s = "driver={SQL Server};server=" + state.DBServer + ";database=" + state.DBPath +
        ";uid=" + state.DBUser + ";pwd=" + state.DBPwd + ";";
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
