// The console menu (admin.asp?m=admin_menu), shown in the frame frame_left: the
// displayed rows of Vantrel_MenuSet in d_order, grouped under their head rows,
// every group folded at first and opened or closed by a click on its head.
// Links open in the work frame center unless the row asks for a new window; the
// sign-out row asks for confirmation and leaves the frame set.
//
// Runs on the request's worker; reads the menu table on the request's
// connection.
#ifndef FOLIREX_CONSOLE_ADMIN_MENU_H_
#define FOLIREX_CONSOLE_ADMIN_MENU_H_

#include "core/request_state.h"

namespace folirex {

// Writes the menu page and its group script (its route needs XT_Manage_Main).
void Menu_Main(RequestState& state);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_ADMIN_MENU_H_
