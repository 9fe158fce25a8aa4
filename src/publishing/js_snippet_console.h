// The JS snippet console (m=admin_articlejs, right XT_Manage_ArticleJs): a channel's snippet
// definitions listed with their type and file, each previewed running in the page, its file
// refreshed from its row (one or all, from a posted form only), and deleted together with its file.
// The add and edit forms and their saves are js_snippet_forms.h.
//
// Refreshes and deletes report a file that could not be written or deleted; a delete removes the
// rows in one statement before the files. Request thread only.
#ifndef FOLIREX_PUBLISHING_JS_SNIPPET_CONSOLE_H_
#define FOLIREX_PUBLISHING_JS_SNIPPET_CONSOLE_H_

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

void ArticleJs_Main(RequestState& state, const ConsolePage& page);

}  // namespace folirex

#endif  // FOLIREX_PUBLISHING_JS_SNIPPET_CONSOLE_H_
