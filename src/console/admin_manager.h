// Administrator accounts (admin.asp?m=admin_manager): the search bar with its
// name-prefix filter, the paged list, the add form and its save, the edit form
// and its save, and the bulk delete. An account is a Vantrel_Admin row; its
// name is both the sign-in name and the key of its grants, and its password is
// kept as the 16-character MD5 digest.
//
// Runs on the request's worker with the request's open database. A refused
// request answers through AlertBack before anything is stored; a database
// failure propagates to the entry.
#ifndef FOLIREX_CONSOLE_ADMIN_MANAGER_H_
#define FOLIREX_CONSOLE_ADMIN_MANAGER_H_

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

// Inside the console frame (the route needs XT_Manage_Manager): action "add" add form, "save" its
// save, "edit" the edit form (its save with save=1), "del" the bulk delete, anything else the list.
void Manager_Main(RequestState& state, const ConsolePage& page);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_ADMIN_MANAGER_H_
