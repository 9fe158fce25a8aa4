// The door of the console (admin.asp?m=admin_login): the login page, the
// sign-in check and the sign-out. A successful sign-in gives the browser a new
// session id, then sets the session keys User_Name (the account's stored name),
// User_ID (its d_id, by which the console frame finds it still there on every
// request and reads its rights), User_Stamp (a stamp of its name and stored
// password digest, by which the frame notices a rename or a new password made on
// any host) and
// User_Code (the name as typed, after trimming and filtering), raises the
// account's sign-in count and writes one Vantrel_Log row.
//
// Failed sign-ins are counted per name and client address (REMOTE_ADDR, which
// the host resolves) in the process-wide LoginThrottle; a pair that failed too
// often is refused with the wrong-password message before its password is
// checked. Every failure is written as one line to standard error, the name
// escaped so that it cannot forge a line.
//
// Runs on the request's worker with the request's RequestState; the database
// must be open. A refused sign-in answers through AlertBack (the request ends,
// nothing is written).
#ifndef FOLIREX_CONSOLE_ADMIN_LOGIN_H_
#define FOLIREX_CONSOLE_ADMIN_LOGIN_H_

#include <string>
#include <string_view>

#include "console/admin_frame.h"
#include "core/request_state.h"
#include "platform/host/session.h"

namespace folirex {

// The session key of the signed-in account's d_id.
inline constexpr char kSessionAccountId[] = "User_ID";
// The session key of the stamp of the account's name and password digest as they were at
// sign-in (or at the session's own change of them).
inline constexpr char kSessionAccountStamp[] = "User_Stamp";

// The stamp kept in a session of an account's name and stored password digest: not the digest
// itself, which never leaves the account's row. The name counts without regard to ASCII letter
// case, as the database compares names: only another name or another password changes it.
std::string AccountStamp(std::string_view name, std::string_view digest);

// Clears the sign-in of a session (its User_Code, User_Name, User_ID and User_Stamp), leaving
// its other values: the session is then not signed in.
void ForgetSignIn(Session& session);

// action "check": sign in; "out": sign out; anything else: the login page. No
// privilege check.
void Login_Main(RequestState& state, const ConsolePage& page);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_ADMIN_LOGIN_H_
