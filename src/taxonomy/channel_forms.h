// The channel add form (action "add", posting to the creation) and edit form (action "edit&id=",
// posting to the update) of admin.asp?m=admin_channel: the same rows, labels and notes, the add
// form with its fixed defaults, the edit form with the stored row's values encoded for their
// attributes. The rows of an internal channel carry the ids innerclass1 to innerclass26 and the
// link address row the id outerclass, which the page script's HideContent switches.
//
// Call on the request's worker with its open database; a bad or unknown id ends the request
// through AlertBack.
#ifndef FOLIREX_TAXONOMY_CHANNEL_FORMS_H_
#define FOLIREX_TAXONOMY_CHANNEL_FORMS_H_

#include "core/console_request.h"
#include "core/request_state.h"

namespace folirex {

void Channel_Add(RequestState& state);
void Channel_Edit(RequestState& state, const ConsoleRequest& request);

}  // namespace folirex

#endif  // FOLIREX_TAXONOMY_CHANNEL_FORMS_H_
