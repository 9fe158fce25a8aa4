// The signed-in administrator's own password
// (admin.asp?m=admin_changepassword): a form asking for the current password
// and the new one twice, and its save. The account is the Vantrel_Admin row
// of Session("User_ID"); only its d_password changes. Passwords are
// trimmed of spaces before they are digested, as at sign-in.
//
// Runs on the request's worker with the request's open database. A refused save
// answers through AlertBack and changes nothing.
#ifndef FOLIREX_CONSOLE_ADMIN_CHANGE_PASSWORD_H_
#define FOLIREX_CONSOLE_ADMIN_CHANGE_PASSWORD_H_

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

// Inside the console frame (the route needs XT_Manage_ChangePwd): action "save" stores the new
// password, anything else shows the form.
void ChangePassword_Main(RequestState& state, const ConsolePage& page);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_ADMIN_CHANGE_PASSWORD_H_
