#include "console/console_text.h"

#include "core/messages.h"
#include "core/text_helpers.h"

namespace folirex {
namespace {

// The display length of a short name: what the forms' boxes take (maxlength=50).
constexpr int64_t kMaxShortName = 50;

}  // namespace

void RequireFormPost(const ConsoleRequest& request) {
  if (!request.posted) request.values.Refuse(kParameterError);
}

std::string CheckedShortName(RequestState& state, std::string name, std::string_view label,
                             std::string_view empty) {
  if (name.empty()) AlertBack(state, empty);
  if (StrLength(Variant(name)) > kMaxShortName) {
    AlertBack(state, "提示：" + std::string(label) + "最大25个汉字，50个字符！");
  }
  return name;
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
