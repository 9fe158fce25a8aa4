// The template page console page (m=admin_templatepage, right XT_Manage_TemplatePage): the
// template pages of a channel, or of the site itself for channel 0 (the home pages, of type
// `default`), listed with a filter by type, added, edited and deleted.
//
// A page keeps the type it was created with; its name, text and skin can be edited, and the text
// is stored exactly as posted. Deleting pages first points every user of each (set page maps,
// classes, subjects, articles and the site settings' home page) at a system page of the same
// type, and marks the classes, subjects and articles that used it for regeneration, all in one
// transaction. System pages are never deleted. Every change clears the request's caches, so the
// public pages of the next request render the stored text.
#ifndef FOLIREX_DESIGN_TEMPLATE_PAGE_H_
#define FOLIREX_DESIGN_TEMPLATE_PAGE_H_

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

void TemplatePage_Main(RequestState& state, const ConsolePage& page);

}  // namespace folirex

#endif  // FOLIREX_DESIGN_TEMPLATE_PAGE_H_
