// The template set console page (m=admin_template, right XT_Manage_Template): a channel's template
// sets listed, added, edited and deleted, and the picker that maps one template page of the
// channel to each of the twelve page types of a set.
//
// The picker saves all twelve map rows of a set or none, in one transaction, each a page of the
// channel of the type it is saved for. Deleting sets moves the channels that used them to a
// system set (the channel's own first, else the lowest of any channel) and removes their map
// rows, in one transaction; system sets are never deleted. Every change clears the request's
// caches, so the public pages of the next request render through the new map.
#ifndef FOLIREX_DESIGN_TEMPLATE_SET_H_
#define FOLIREX_DESIGN_TEMPLATE_SET_H_

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

void Template_Main(RequestState& state, const ConsolePage& page);

}  // namespace folirex

#endif  // FOLIREX_DESIGN_TEMPLATE_SET_H_
