// The skin console page (m=admin_skin, right XT_Manage_Skin): the skins (stylesheets) of a
// channel, or of the site itself for channel 0, listed, added, edited and deleted.
//
// A skin is a row of Vantrel_Skin and the file Skin/<id>.css under its channel's folder (the
// install folder for channel 0), which the public pages link by id alone. The saves store the
// row first, then write the file with the posted text in code page 936; a file that could not
// be written is reported on the answer page (the row stays, and saving the edit form again
// writes the file). Deleting skins deletes their rows and leaves their files, which template
// pages that still name a deleted skin go on linking. System skins and the skins of other
// channels are refused.
#ifndef FOLIREX_DESIGN_SKIN_PAGE_H_
#define FOLIREX_DESIGN_SKIN_PAGE_H_

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

void Skin_Main(RequestState& state, const ConsolePage& page);

}  // namespace folirex

#endif  // FOLIREX_DESIGN_SKIN_PAGE_H_
