// Class and subject navigation of a channel: ShowClassNavi draws one row per
// top-level class with its sub-classes beside it, ShowSubjectNavi a grid of the
// channel's subjects. The JS snippet writer turns them into script files.
//
// Both draw the channel whose settings they are given (its id bound in their
// selects), run on the request's worker and throw DbError on database
// failures. A column count of 0 or less is 1.
//
// What goes in: class and subject names are text and go in encoded
// (HtmlEscape); the tables and links are the navigation's own markup, with ids,
// the install path and the channel, class and subject folders (plain folder
// names the console keeps) as they are.
#ifndef FOLIREX_SITE_NAVIGATION_H_
#define FOLIREX_SITE_NAVIGATION_H_

#include <string>

#include "core/request_state.h"
#include "platform/db/variant.h"

namespace folirex {

// The class table; "" when the channel has no top-level class.
std::string ShowClassNavi(RequestState& state, const ChannelSettings& channel,
                          const Variant& columns);

// The subject grid; "没有专题列表" when the channel has no subject.
std::string ShowSubjectNavi(RequestState& state, const ChannelSettings& channel,
                            const Variant& columns);

}  // namespace folirex

#endif  // FOLIREX_SITE_NAVIGATION_H_
