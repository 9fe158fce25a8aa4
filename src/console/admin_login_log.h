// The sign-in log (admin.asp?m=admin_loginlog): the Vantrel_Log rows joined to
// their accounts in Vantrel_Admin, newest first and 20 to a page, for every
// administrator or for the one chosen in the filter bar's select, and the bulk
// delete of chosen rows. Rows whose name matches no account are not listed.
//
// Runs on the request's worker with the request's open database. A refused
// delete answers through AlertBack; a database failure propagates to the entry.
#ifndef FOLIREX_CONSOLE_ADMIN_LOGIN_LOG_H_
#define FOLIREX_CONSOLE_ADMIN_LOGIN_LOG_H_

#include <string>
#include <string_view>

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

// Inside the console frame (the route needs XT_Manage_LoginLog): action "del" deletes the posted
// rows, anything else shows the list. The request value d_name filters by administrator ("" and "0"
// mean all).
void LoginLog_Main(RequestState& state, const ConsolePage& page);

// The administrator select of the filter bar, with the account named `selected`
// (or "0", all logs) chosen, read on db.Conn. Names are encoded for the page;
// each option's value is the name URL-encoded (host.Server), ready for the
// address the select's handler builds.
std::string LoginLog_AdminSelect(DatabaseState& db, const HostObjects& host,
                                 std::string_view selected);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_ADMIN_LOGIN_LOG_H_
