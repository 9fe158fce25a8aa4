// The static article page writer: one file per content page of an article, in its class folder
// (or the channel folder when the class has none), each with the bar of page links, and the
// article marked as generated.
//
// The caller has loaded the article's channel (InitChannel) and holds the open connection. An id
// without an article ends the response through AlertBack. Each article is cut into its own pages
// only, never into the pages of an article loaded earlier in the request. Returns true, and marks
// the article generated, only when every file was written (otherwise the mark is cleared); pages
// left over from an earlier, longer version of the article are deleted. Request thread only;
// database errors throw DbError.
#ifndef FOLIREX_PUBLISHING_ARTICLE_HTML_H_
#define FOLIREX_PUBLISHING_ARTICLE_HTML_H_

#include "core/request_state.h"

namespace folirex {

bool CreateArticleHtml(RequestState& state, const Variant& article_id);

// The same without the mark: the generation steps mark the articles of a step together.
bool WriteArticleHtml(RequestState& state, const Variant& article_id);

}  // namespace folirex

#endif  // FOLIREX_PUBLISHING_ARTICLE_HTML_H_
