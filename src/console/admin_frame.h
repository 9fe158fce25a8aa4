// The frame every console page shares and its access rule. Each module registers its console
// routes with AddConsoleRoute: the m value, the procedure, the right the page needs, whether it
// works on a channel, and its breadcrumb. The frame checks the right (the one place that does),
// opens the channel, and writes AdminHeader, the breadcrumb, the page and AdminFooter (which
// closes the database: nothing after it may use it), then the page's trailer. A page without a
// breadcrumb writes its own header and footer.
#ifndef FOLIREX_CONSOLE_ADMIN_FRAME_H_
#define FOLIREX_CONSOLE_ADMIN_FRAME_H_

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "console/channel_page.h"
#include "core/console_request.h"
#include "core/modules.h"
#include "core/request_state.h"

namespace folirex {

void AdminHeader(RequestState& state);
// The breadcrumb box; text is written as given (callers pass "当前位置：..." with entities).
void AdminNavi(RequestState& state, std::string_view text);
void AdminFooter(RequestState& state);
// Returns only when the account the session signed in as (its User_ID) is still there under the
// name and password it signed in with (its stamp) and holds the function code under that name;
// otherwise redirects (to the login page, or to the error page with errnum 1) and ends the
// response, reading both in one statement. The frame calls it for every route that needs a code;
// no page calls it.
void CheckPrivilege(RequestState& state, std::string_view code);

// One action of a console page: the value of the request's `action` and the procedure that
// answers it.
struct AdminAction {
  std::string_view name;
  std::function<void(RequestState&)> run;
};

// Runs the first of `actions` named `action` (the request's, compared exactly), or `otherwise`
// when none is.
void RunAdminAction(RequestState& state, std::string_view action,
                    std::initializer_list<AdminAction> actions,
                    const std::function<void(RequestState&)>& otherwise);

// Who may open a console page: anyone (sign-in, error page), any signed-in administrator (the
// pop-ups of the console forms), or an administrator who holds the route's function code. Signed
// in means the session's account is still in Vantrel_Admin with the password it signed in with,
// read on every request: a session whose account was deleted or whose password was changed (by
// any host of the database) has its sign-in cleared, and a renamed account's session takes up
// its new name (Session("User_Name")). A refusal redirects to the login page (not signed in) or
// to the error page with errnum 1 (the code is not held) and ends the response, before the page
// reads anything of the request's body.
enum class ConsoleAccess { kFunction, kSignedIn, kAnyone };

// The channel a console page works on, from the request's channelid (OpenConsoleChannel).
enum class ConsoleChannelUse { kNone, kChannel, kChannelOrSite };

// What the frame hands a page: the request's values and, on a channel page, the channel with
// its loaded settings (channel.settings), which the page passes to what it calls.
struct ConsolePage {
  const ConsoleRequest& request;
  ConsoleChannel channel;
};

struct ConsoleRoute {
  std::string m = {};  // lower case
  std::string procedure = {};
  ConsoleAccess access = ConsoleAccess::kFunction;
  std::string code = {};  // the function code (kFunction)
  ConsoleChannelUse channel = ConsoleChannelUse::kNone;
  // The breadcrumb: with it the frame writes AdminHeader, the breadcrumb, the page and
  // AdminFooter; on a channel page it is the tail after the channel's word (ChannelNavi).
  // Without it the page writes its own (the channel is then opened before the page runs).
  std::optional<std::string> navi = {};
  std::function<void(RequestState&, const ConsolePage&)> page = {};
  // Written after AdminFooter (the page's scripts); not written when the page ended early.
  std::function<void(RequestState&)> trailer = {};
  // The action whose body is an upload (multipart, read raw), if any.
  std::string upload_action = {};
};

// The page of a route that takes nothing from the frame but the request's state.
inline std::function<void(RequestState&, const ConsolePage&)> StatePage(
    void (*page)(RequestState&)) {
  return [page](RequestState& state, const ConsolePage&) { page(state); };
}

// Registers the route with the frame around its page.
void AddConsoleRoute(ModuleRegistry& registry, ConsoleRoute route);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_ADMIN_FRAME_H_
