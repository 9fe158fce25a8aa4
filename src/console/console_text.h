// Small request routines the console pages share: the list of names a form posts under one
// field (every checked box a value of its own), and the rule that only a posted form changes
// anything.
//
// Call on the request's worker. RequireFormPost ends the request (AlertBack) when it refuses.
#ifndef FOLIREX_CONSOLE_CONSOLE_TEXT_H_
#define FOLIREX_CONSOLE_CONSOLE_TEXT_H_

#include <string>
#include <string_view>
#include <vector>

#include "core/request_state.h"
#include "platform/db/recordset.h"
#include "platform/host/request.h"

namespace folirex {

// The values of a field as the combined collection finds it (query string
// first, then the form), one element per value sent, so that a value holding ",
// " stays whole.
std::vector<std::string> RequestValues(const Request& request, std::string_view key);

// Ends the request with "提示：参数错误！" unless it is a POST. Every console form that saves or
// deletes posts; a plain address (a link followed from another site, which the session cookie
// accompanies) must not change anything.
void RequireFormPost(RequestState& state);

// How OpenRowOrRefuse opens the row: to read it, or to change it (rs.Set, then rs.Update).
enum class RowUse { kRead, kChange };

// Opens the request's recordset (state.db.Rs; the statement kept in state.db.Sql) on the row
// `sql` finds with the bound `params`. Without a row the recordset is closed and the request ends
// with `missing` (AlertBack).
Recordset& OpenRowOrRefuse(RequestState& state, std::string sql, const std::vector<Variant>& params,
                           RowUse use, std::string_view missing);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_CONSOLE_TEXT_H_
