// The frame every console page shares and its access rule. A console page calls, in order:
// CheckPrivilege(code), AdminHeader, AdminNavi(breadcrumb), its own output, AdminFooter (which
// closes the database: nothing after it may use it); AdminPage makes that order one call.
#ifndef FOLIREX_CONSOLE_ADMIN_FRAME_H_
#define FOLIREX_CONSOLE_ADMIN_FRAME_H_

#include <functional>
#include <initializer_list>
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

// One action of a console page: the value of the request's `action` and the procedure that
// answers it.
struct AdminAction {
  std::string_view name;
  std::function<void(RequestState&)> run;
};

// Runs the first of `actions` named state.Action (compared exactly), or `otherwise` when none
// is.
void RunAdminAction(RequestState& state, std::initializer_list<AdminAction> actions,
                    const std::function<void(RequestState&)>& otherwise);

// A console page of the right `code`: CheckPrivilege, AdminHeader, AdminNavi(navi), `body`,
// AdminFooter. A body that ends the request (an alert, a redirect) leaves the footer out.
void AdminPage(RequestState& state, std::string_view code, std::string_view navi,
               const std::function<void()>& body);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_ADMIN_FRAME_H_
