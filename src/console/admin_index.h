// The console frame set (admin.asp?m=admin_index): the menu frame frame_left
// and the work frame center, where every console page opens. Other pages rely
// on both frame names.
//
// Runs on the request's worker; needs the open database for the privilege check
// only.
#ifndef FOLIREX_CONSOLE_ADMIN_INDEX_H_
#define FOLIREX_CONSOLE_ADMIN_INDEX_H_

#include "core/request_state.h"

namespace folirex {

// Writes the frame set page (its route needs XT_Manage_Main; no console header or
// footer).
void Index_Main(RequestState& state);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_ADMIN_INDEX_H_
