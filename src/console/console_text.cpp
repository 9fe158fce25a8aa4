#include "console/console_text.h"

#include "core/messages.h"

namespace folirex {

void RequireFormPost(const ConsoleRequest& request) {
  if (!request.posted) request.values.Refuse(kParameterError);
}

void OpenRowOrRefuse(RequestState& state, Recordset& rs, std::string_view sql,
                     const std::vector<Variant>& params, RowUse use, std::string_view missing) {
  OpenRowOrRefuse(state, rs, {.sql = std::string(sql), .values = params}, use, missing);
}

void OpenRowOrRefuse(RequestState& state, Recordset& rs, const db::KeptRead& row, RowUse use,
                     std::string_view missing) {
  if (use == RowUse::kChange) {
    rs.Open(row, *state.db.Conn, 1, 3);
  } else {
    rs.Open(row, *state.db.Conn);
  }
  if (rs.Eof()) {
    rs.Close();
    AlertBack(state, missing);
  }
}

}  // namespace folirex
