// Changing existing channels from admin.asp?m=admin_channel: the update of the edit form (with
// the folder moves of an internal channel and its menu items renamed after a new item word), the
// bulk deletion with the channels' rows and folders, and the bulk disabling and enabling.
//
// Each runs its statements in one transaction and touches files only after it commits; a file
// step that failed is named in the answer, and a folder is removed only after what it held has
// arrived elsewhere. What the update moves from (folders, item word, type) is the stored row,
// never the request. Runs on the request's worker with its open database; refusals end the
// request through AlertBack before anything is written.
#ifndef FOLIREX_TAXONOMY_CHANNEL_CHANGE_H_
#define FOLIREX_TAXONOMY_CHANNEL_CHANGE_H_

#include "core/console_request.h"
#include "core/request_state.h"

namespace folirex {

void Channel_Update(RequestState& state, const ConsoleRequest& request);
void Channel_Del(RequestState& state, const ConsoleRequest& request);
void Channel_Disable(RequestState& state, const ConsoleRequest& request);
void Channel_Enable(RequestState& state, const ConsoleRequest& request);

}  // namespace folirex

#endif  // FOLIREX_TAXONOMY_CHANNEL_CHANGE_H_
