// The location path and the previous/next article links of a page: ShowPath gives the breadcrumb of
// {$showpath} ("您当前位置：" then the channel, the class chain and the page kind),
// ShowArticlePrevious and ShowArticleNext the links of {$showarticleprevious} and
// {$showarticlenext} to the approved, not recycled article with the nearest smaller or larger id
// ("没有了" when there is none).
//
// Links follow the channel's HTML mode ("0" dynamic asp.asp pages, "1" static files, "2" static
// first and content pages). Names and titles go in as stored (they are the site's own HTML). Each
// query reads through a recordset of its own. An id that is not a plain whole number never
// reaches SQL: the class chain is left out, the neighbour link is "没有了". Database errors throw
// DbError. Request thread only.
#ifndef FOLIREX_SITE_LOCATION_PATH_H_
#define FOLIREX_SITE_LOCATION_PATH_H_

#include <string>

#include "core/request_state.h"
#include "platform/db/variant.h"

namespace folirex {

std::string ShowPath(RequestState& state, const Variant& class_id, const Variant& subject_id,
                     const Variant& generate_html, const Variant& page_type);
std::string ShowArticlePrevious(RequestState& state, const Variant& article_id);
std::string ShowArticleNext(RequestState& state, const Variant& article_id);

}  // namespace folirex

#endif  // FOLIREX_SITE_LOCATION_PATH_H_
