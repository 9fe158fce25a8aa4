// The frame every console page shares and its access rule. A console page calls, in order:
// CheckPrivilege(code), AdminHeader, AdminNavi(breadcrumb), its own output, AdminFooter (which
// closes the database: nothing after it may use it).
#ifndef FOLIREX_CONSOLE_ADMIN_FRAME_H_
#define FOLIREX_CONSOLE_ADMIN_FRAME_H_

#include <string_view>

#include "core/request_state.h"

namespace folirex {

void AdminHeader(RequestState& state);
// The breadcrumb box; text is written as given (callers pass "当前位置：..." with entities).
void AdminNavi(RequestState& state, std::string_view text);
void AdminFooter(RequestState& state);
// Returns only when the signed-in administrator holds the function code; otherwise redirects
// (to the login page, or to the error page with errnum 1) and ends the response.
void CheckPrivilege(RequestState& state, std::string_view code);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_ADMIN_FRAME_H_
