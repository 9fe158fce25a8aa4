// The server environment check (admin.asp?m=admin_servercheck): this server's
// variables, whether each of 26 well-known component names is available here
// (with the version its stand-in reports), a script speed test, and a form that
// looks up any one name. Availability comes from the host's registry of
// stand-in objects (Server::CreateObject): a name is present only when this
// program provides a working object for it; nothing is ever loaded by name.
//
// It also says how far the build of the search's indexes is (core/search_structures.h), read from
// the database. Runs on the request's worker; writes nothing but the page.
#ifndef FOLIREX_CONSOLE_ADMIN_SERVER_CHECK_H_
#define FOLIREX_CONSOLE_ADMIN_SERVER_CHECK_H_

#include <string>
#include <string_view>

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

// The result of probing one component name.
struct ComponentProbe {
  bool present = false;
  std::string version;  // "" when absent
};

// Writes the report (its route needs XT_Manage_ServerCheck); a posted form value
// "classname" adds the result of that name's look-up at the end.
void ServerCheck_Main(RequestState& state, const ConsolePage& page);

// Looks the name up in the registry of host.Server (letter case ignored).
ComponentProbe ServerCheck_IsObjInstalled(const HostObjects& host, std::string_view name);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_ADMIN_SERVER_CHECK_H_
