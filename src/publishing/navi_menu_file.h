// The channel's menu files: the menu script <channel folder>Js/default.js, which writes the menu
// as nested lists (the hidden outer list has the id "menu", which the site's menu script
// NaviMenu/Js/menu.js turns into a drop-down menu), and the skin copies under <channel
// folder>Skin/ (menu.css, menu-3d.css, menu-extended.css and the chosen skin as default.css,
// written by core/menu_stylesheets.h), whose "/NaviMenu/" paths are rewritten to reach the
// site's NaviMenu folder from there.
//
// ArticleNavi_Set (action set) shows the skin form or, with flag 1, stores the chosen skin (one of
// the listed skins only) in d_navimenucss and copies the stylesheets; ArticleNavi_CreateJs
// (action js) writes the menu script from the channel's rows. Both run inside the menu console
// page, which passes the settings of the channel it loaded, and report a file that could not be
// read or written. Request thread only.
#ifndef FOLIREX_PUBLISHING_NAVI_MENU_FILE_H_
#define FOLIREX_PUBLISHING_NAVI_MENU_FILE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "console/channel_page.h"
#include "core/console_request.h"
#include "core/menu_stylesheets.h"
#include "core/request_state.h"

namespace folirex {

// One item as the menu file draws it, in menu order.
struct MenuFileItem {
  int64_t level = 0;
  std::string name;
  std::string link_url;
  std::string pic_url;
  int64_t open_flag = 0;
};

// The menu markup of the items: nested lists, the outer one "<ul id='menu' style='display:none'>";
// empty for no items. Names are encoded as element text, links and icons as attribute values.
// A level deeper by more than one than the item before is taken as one step down, so the
// markup is always balanced.
std::string NaviMenuMarkup(const std::vector<MenuFileItem>& items);

void ArticleNavi_Set(RequestState& state, const ConsoleChannel& channel,
                     const ConsoleRequest& request);
void ArticleNavi_CreateJs(RequestState& state, const ConsoleChannel& channel);

}  // namespace folirex

#endif  // FOLIREX_PUBLISHING_NAVI_MENU_FILE_H_
