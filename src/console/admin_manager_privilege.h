// Rights by function code (admin.asp?m=admin_managerprivilege): the list of
// administrators, the grant form for several administrators at once and its
// save, and the page of one administrator's grants and its save. Grants are
// rows of Vantrel_ManagerFunction tying a name to a code of the catalogue
// Vantrel_Function; a save replaces all rows of the name, in one transaction.
// The names chosen on the list wait in Session("userlist") until the grant
// save.
//
// Runs on the request's worker with the request's open database; a refused
// request answers through AlertBack.
#ifndef FOLIREX_CONSOLE_ADMIN_MANAGER_PRIVILEGE_H_
#define FOLIREX_CONSOLE_ADMIN_MANAGER_PRIVILEGE_H_

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

// Inside the console frame (the route needs XT_Manage_ManagerPrivilege): action "privilege" grant
// form, "authorization" its save, "set" one administrator's page (and its save with save=1),
// anything else the list.
void ManagerPrivilege_Main(RequestState& state, const ConsolePage& page);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_ADMIN_MANAGER_PRIVILEGE_H_
