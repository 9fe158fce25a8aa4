// The static article page writer: one file per content page of an article, in
// its class folder, each with the bar of page links, and the article marked as
// generated.
//
// The caller has loaded the article's channel (InitChannel) and holds the open
// connection. An id without an article ends the response through AlertBack.
// Returns true, and marks the article generated, only when every file was
// written; pages left over from an earlier, longer version of the article are
// removed.
#ifndef FOLIREX_SITE_ARTICLE_HTML_H_
#define FOLIREX_SITE_ARTICLE_HTML_H_

#include "core/request_state.h"

namespace folirex {

bool CreateArticleHtml(RequestState& state, const Variant& article_id);

}  // namespace folirex

#endif  // FOLIREX_SITE_ARTICLE_HTML_H_
