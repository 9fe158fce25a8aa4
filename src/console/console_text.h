// Small request routines the console pages share: the rule that only a posted form changes
// anything, the check of a form's short name, and the opening of the one row a page reads or
// changes.
//
// Call on the request's worker. RequireFormPost, CheckedShortName and OpenRowOrRefuse end the
// request (AlertBack) when they refuse.
#ifndef FOLIREX_CONSOLE_CONSOLE_TEXT_H_
#define FOLIREX_CONSOLE_CONSOLE_TEXT_H_

#include <string>
#include <string_view>
#include <vector>

#include "core/console_request.h"
#include "core/request_state.h"
#include "platform/db/recordset.h"

namespace folirex {

// Ends the request with "提示：参数错误！" unless it is a POST. Every console form that saves or
// deletes posts; a plain address (a link followed from another site, which the session cookie
// accompanies) must not change anything.
void RequireFormPost(const ConsoleRequest& request);

// A form's required name (or title) of at most 25 Chinese characters, 50 others (display
// length: a double-width character counts two), returned as given. Ends the request with `empty`
// when it is empty, with "提示：<label>最大25个汉字，50个字符！" when it is longer.
std::string CheckedShortName(RequestState& state, std::string name, std::string_view label,
                             std::string_view empty);

// How OpenRowOrRefuse opens the row: to read it, or to change it (rs.Set, then rs.Update).
enum class RowUse { kRead, kChange };

// Opens `rs`, the caller's own, on the row `sql` finds with the bound `params`, to read it or
// (RowUse::kChange) to change it. Without a row `rs` is closed and the request ends with
// `missing` (AlertBack).
void OpenRowOrRefuse(RequestState& state, Recordset& rs, std::string_view sql,
                     const std::vector<Variant>& params, RowUse use, std::string_view missing);
// The same for a row of the settings tables (platform/db/kept_reads.h): one read is answered
// from memory while they stay the same.
void OpenRowOrRefuse(RequestState& state, Recordset& rs, const db::KeptRead& row, RowUse use,
                     std::string_view missing);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_CONSOLE_TEXT_H_
