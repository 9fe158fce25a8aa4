// The console home page (admin.asp?m=admin_main), the first page of the work
// frame: the order of first set-up and shortcuts to the most used pages. Fixed
// text; it reads no data. The channel links name channel 1, the article channel
// every site starts with.
//
// Runs on the request's worker; needs the open database for the privilege check
// only.
#ifndef FOLIREX_CONSOLE_ADMIN_MAIN_H_
#define FOLIREX_CONSOLE_ADMIN_MAIN_H_

#include "core/request_state.h"

namespace folirex {

// Writes the page inside the console frame (its route needs XT_Manage_Main).
void Home_Main(RequestState& state);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_ADMIN_MAIN_H_
