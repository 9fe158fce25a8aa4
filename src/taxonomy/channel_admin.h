// The channel page admin.asp?m=admin_channel (right XT_Manage_ChannelSet): the list of every
// channel in channel order with its order arrows and bulk actions, and the dispatch to the forms
// (channel_forms.h), the creation (channel_create.h) and the changes (channel_change.h). The
// page's client script follows its foot on every request that reaches it.
//
// Runs on the request's worker with its open database.
#ifndef FOLIREX_TAXONOMY_CHANNEL_ADMIN_H_
#define FOLIREX_TAXONOMY_CHANNEL_ADMIN_H_

#include <string>

#include "console/admin_frame.h"
#include "core/request_state.h"
#include "platform/db/variant.h"

namespace folirex {

void Channel_Main(RequestState& state, const ConsolePage& page);

// The list's labels of stored codes.
std::string Channel_OpenTypeName(const Variant& value);
std::string Channel_TypeName(const Variant& value);
std::string Channel_GenerateHtmlName(const Variant& value);
std::string Channel_StatusName(const Variant& value);

}  // namespace folirex

#endif  // FOLIREX_TAXONOMY_CHANNEL_ADMIN_H_
