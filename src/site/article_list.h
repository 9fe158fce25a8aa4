// The ListArticleList chip: ShowArticleList renders the list of article titles
// a chip asks for, whole (RenderArticleList) or one page at a time with a
// page-number bar (RenderArticleListPaged) on class, subject, hot, recommended
// and newest list pages.
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

namespace folirex {

// The HTML that replaces a ListArticleList chip: params is the chip's text
// after its colon, the rest are the page's values as the template engine passes
// them.
std::string ShowArticleList(RequestState& state, const Variant& params, const Variant& page_type,
                            const Variant& page_number, const Variant& page_size,
                            const Variant& class_id, const Variant& subject_id);

// The whole list of `sql` (a GetArticleListSql select) drawn by the chip's
// fields (the split parameter text). Links are built with the settings of the
// channel the chip lists; an empty or invalid `sql` gives the empty-list item.
// page_type is accepted and not read.
std::string RenderArticleList(RequestState& state, const std::vector<std::string>& fields,
                              const Variant& sql, const Variant& page_type);

// The current page of the pager's list and its bar. The pager's properties must
// be set; this reads ResultSet once.
std::string RenderArticleListPaged(RequestState& state, const std::vector<std::string>& fields,
                                   Cls_Pagination& pager);

}  // namespace folirex

#endif  // FOLIREX_SITE_ARTICLE_LIST_H_
