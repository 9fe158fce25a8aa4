// The navigation menu's skins and the stylesheets a channel's pages link for its menu: the
// channel's Skin/ folder holds menu.css, menu-3d.css, menu-extended.css and the chosen skin as
// default.css, copied from the site's NaviMenu/Css/ with every "/NaviMenu/" rewritten to reach
// that folder from there. The menu console writes them when a skin is chosen, and a new channel
// gets them when it is made, so that its pages never link a stylesheet that is not there.
//
// Request thread; failures are reported, never thrown.
#ifndef FOLIREX_CORE_MENU_STYLESHEETS_H_
#define FOLIREX_CORE_MENU_STYLESHEETS_H_

#include <string>
#include <vector>

#include "core/request_state.h"

namespace folirex {

// One skin offered: its label and its stylesheet under NaviMenu/Css/. The first is the one the
// skin form shows chosen for a channel that has none stored, and the one a new channel gets.
struct MenuSkin {
  const char* label;
  const char* file;
};
const std::vector<MenuSkin>& MenuSkins();

// A stylesheet of NaviMenu/Css/ as copied into a channel's Skin folder: every "/NaviMenu/"
// becomes "../NaviMenu/" for a channel without a folder, "../../NaviMenu/" for one with a folder.
std::string RewriteMenuCss(const std::string& css, bool channel_has_folder);

// Writes the four stylesheets into `channel_dir` + "Skin/" (channel_dir is the channel's folder
// and "/", or "" for a channel in the install folder), `skin` (one of MenuSkins()) as
// default.css. Answers the names of the files that could not be read or written, empty when all
// four were.
std::vector<std::string> WriteMenuStylesheets(const HostObjects& host,
                                              const std::string& channel_dir,
                                              const std::string& skin);

}  // namespace folirex

#endif  // FOLIREX_CORE_MENU_STYLESHEETS_H_
