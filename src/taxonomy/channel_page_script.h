// The client script of the channel page (admin.asp?m=admin_channel), written after the page's
// foot on every request that reaches it: checkAction (the list's bulk actions), HideContent (the
// add form's switch between an internal channel's rows and an outside link's row),
// addUpFileType (the upload type presets), checkForm (the add form's check before posting) and
// postMove (the order arrows, which post their move).
#ifndef FOLIREX_TAXONOMY_CHANNEL_PAGE_SCRIPT_H_
#define FOLIREX_TAXONOMY_CHANNEL_PAGE_SCRIPT_H_

#include <string>

#include "core/request_state.h"

namespace folirex {

// The script element, each line ended by CR LF and the first preceded by one.
std::string ChannelPageScript();

// Writes ChannelPageScript into the response.
void Channel_ShowScript(RequestState& state);

}  // namespace folirex

#endif  // FOLIREX_TAXONOMY_CHANNEL_PAGE_SCRIPT_H_
