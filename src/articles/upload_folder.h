// The upload folder browser (m=admin_uploadfile, right XT_Manage_ArticleUpload): the files of a
// channel's upload folder and of its subfolders as a paged grid of thumbnails sorted by name,
// deleting ticked files or every file of a folder, and the clean-up that deletes the files no
// content row refers to.
//
// Every folder shown, emptied or cleaned and every file deleted must lie inside the channel's
// upload folder once its path is resolved (symbolic links included); a request naming anything
// else is refused and changes nothing. Symbolic links inside the folder are neither listed nor
// followed. The clean-up reads the stored addresses of the channel's content table once (every
// row of every channel, recycled articles included) and keeps every file any of them names; a
// module type without a content table is refused. Changes are taken only from posted forms.
#ifndef FOLIREX_ARTICLES_UPLOAD_FOLDER_H_
#define FOLIREX_ARTICLES_UPLOAD_FOLDER_H_

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

void UploadFile_Main(RequestState& state, const ConsolePage& page);

}  // namespace folirex

#endif  // FOLIREX_ARTICLES_UPLOAD_FOLDER_H_
