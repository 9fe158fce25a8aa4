// The upload pop-up (module mUploadFile, m=uploadfile): a console form opens it with the name of
// one of its fields; it shows a one-file upload form, stores the posted file under a new name in
// the upload folder that the request's `lm` chooses (the channel's upload folder for articles),
// writes the file's address into the opener's field and closes itself.
//
// Only a signed-in administrator may use it. The request's type, lm and field must be known
// values (field a plain "form.field"); an article upload needs an existing channel. A refused
// upload, an over-size or malformed body and a file that could not be written are answered
// with an alert, nothing is stored and nothing is written into the opener.
#ifndef FOLIREX_ARTICLES_UPLOAD_POPUP_H_
#define FOLIREX_ARTICLES_UPLOAD_POPUP_H_

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

void Upload_Main(RequestState& state, const ConsolePage& page);

}  // namespace folirex

#endif  // FOLIREX_ARTICLES_UPLOAD_POPUP_H_
