// The navigation menu console (m=admin_articlenavi, right XT_Manage_ArticleNavi): a channel's
// menu tree listed with its move, add-child and delete links; the custom item form with its
// parent drop-down and icon picker, the edit form, the class pick list, the class import and the
// empty action (navi_menu_tree.h does the changes); the skin form and the menu file
// (navi_menu_file.h). Every change is posted (the list's links post through a small form); a
// GET that would change the menu is refused.
//
// Request thread only.
#ifndef FOLIREX_PUBLISHING_NAVI_MENU_CONSOLE_H_
#define FOLIREX_PUBLISHING_NAVI_MENU_CONSOLE_H_

#include <cstdint>
#include <string>

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

// The link of an item made from a class of `channel`, by the channel's page mode: the
// dynamic class list for modes "0" and "2", the static list page for "1", empty otherwise.
std::string ArticleNavi_ClassLinkUrl(RequestState& state, const ConsoleChannel& channel,
                                     int64_t class_id, const std::string& class_dir);

void ArticleNavi_Main(RequestState& state, const ConsolePage& page);

}  // namespace folirex

#endif  // FOLIREX_PUBLISHING_NAVI_MENU_CONSOLE_H_
