// The keyword pick list (module mAdmin_SelectMore, m=admin_selectmore): a pop-up that the article
// forms open beside their keyword boxes. It lists the channel's keyword library as check boxes
// and writes the ticked names, joined by "|", into the opener's field, then closes itself. It
// reads the library and writes nothing to the database.
//
// Only a signed-in administrator may use it; the channel id must be a number and the field a
// plain "form.field" (anything else is answered with the parameter message).
#ifndef FOLIREX_ARTICLES_KEYWORD_PICK_H_
#define FOLIREX_ARTICLES_KEYWORD_PICK_H_

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

void SelectMore_Main(RequestState& state, const ConsolePage& page);

}  // namespace folirex

#endif  // FOLIREX_ARTICLES_KEYWORD_PICK_H_
