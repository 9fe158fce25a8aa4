// The ListArticleList chip: ShowArticleList renders the list of article titles
// a chip asks for, whole (RenderArticleList) or one page at a time with a
// page-number bar (RenderArticleListPaged) on class, subject, hot, recommended
// and newest list pages.
//
// A chip whose channel field names another channel than the page's lists that
// channel's articles and links them with that channel's settings, loaded into a
// value of its own: the page's channel settings are never changed.
//
// Runs on the request's worker. An invalid chip gives the empty text; database
// failures throw DbError to the caller. A list reads only the rows it shows.
#ifndef FOLIREX_SITE_ARTICLE_LIST_H_
#define FOLIREX_SITE_ARTICLE_LIST_H_

#include <string>
#include <vector>

#include "core/pagination.h"
#include "core/request_state.h"
#include "platform/db/variant.h"
#include "site/article_list_sql.h"

namespace folirex {

// The HTML that replaces a ListArticleList chip: params is the chip's text
// after its colon, the rest are the page's values as the template engine passes
// them.
std::string ShowArticleList(RequestState& state, const Variant& params, const Variant& page_type,
                            const Variant& page_number, const Variant& page_size,
                            const Variant& class_id, const Variant& subject_id);
// The same for a chip already read (ParseArticleListChip).
std::string ShowArticleList(RequestState& state, const ArticleListChip& chip,
                            const Variant& page_type, const Variant& page_number,
                            const Variant& page_size, const Variant& class_id,
                            const Variant& subject_id);

// The whole list of `sql` (a GetArticleListSql select) drawn by the chip's
// fields (the split parameter text). An empty or invalid `sql`, or another
// number of fields than 22, gives the empty text; no rows give the empty-list
// item. page_type is accepted and not read.
std::string RenderArticleList(RequestState& state, const std::vector<std::string>& fields,
                              const Variant& sql, const Variant& page_type);
// The same for a chip already read.
std::string RenderArticleList(RequestState& state, const ArticleListChip& chip,
                              const std::string& sql);

// The current page of the pager's list and its bar. The pager's properties must
// be set; this reads ResultSet once.
std::string RenderArticleListPaged(RequestState& state, const ArticleListChip& chip,
                                   Cls_Pagination& pager);

}  // namespace folirex

#endif  // FOLIREX_SITE_ARTICLE_LIST_H_
