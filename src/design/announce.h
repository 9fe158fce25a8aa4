// The announcement page (m=admin_announce): the list of every announcement (the site home's
// and every channel's), the add and edit forms with the rich-text editor, the saves, and the
// bulk actions that delete or flag the ticked rows as newest (the flag the public
// ListAnnounce chip lists by).
//
// Titles, authors and the stored HTML are encoded for where the page writes them; the body is
// stored as the editor leaves it in the hidden field d_content, cleaned of script by the
// typed-HTML cleaner (core/html_clean.h). Every
// change comes from a posted form; a refused request ends through AlertBack with nothing
// stored. Call on the request's worker.
#ifndef FOLIREX_DESIGN_ANNOUNCE_H_
#define FOLIREX_DESIGN_ANNOUNCE_H_

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

// The page entry: right XT_Manage_Announce; actions add, save, edit, update, del, setnew,
// setold, anything else the list.
void Announce_Main(RequestState& state, const ConsolePage& page);

}  // namespace folirex

#endif  // FOLIREX_DESIGN_ANNOUNCE_H_
