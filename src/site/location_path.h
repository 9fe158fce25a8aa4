// The location path and the previous/next article links of a page: ShowPath gives the breadcrumb of
// {$showpath} ("您当前位置：" then the channel, the class chain and the page kind),
// ShowArticlePrevious and ShowArticleNext the links of {$showarticleprevious} and
// {$showarticlenext} to the approved, not recycled article with the nearest smaller or larger id
// ("没有了" when there is none).
//
// Both are drawn for `channel`, the channel the page is drawn for (its links, folder and HTML
// mode: "0" dynamic asp.asp pages, "1" static files, "2" static first and content pages); the
// request's channel settings are not read.
//
// What goes in: the channel, class and subject names and the neighbours' titles are text, typed
// in the console or collected from another site, and go in encoded (HtmlEscape); the links, the
// arrows and the fixed words are the path's own markup; ids, the install path and the channel and
// class folders (plain folder names the console keeps) go into the links as they are.
//
// Each query reads through a recordset of its own. An id that is not a plain whole number never
// reaches SQL: the class chain is left out, the neighbour link is "没有了". Database errors throw
// DbError. Request thread only.
#ifndef FOLIREX_SITE_LOCATION_PATH_H_
#define FOLIREX_SITE_LOCATION_PATH_H_

#include <string>

#include "core/request_state.h"
#include "platform/db/variant.h"

namespace folirex {

std::string ShowPath(RequestState& state, const ChannelSettings& channel, const Variant& class_id,
                     const Variant& subject_id, const Variant& generate_html,
                     const Variant& page_type);
std::string ShowArticlePrevious(RequestState& state, const ChannelSettings& channel,
                                const Variant& article_id);
std::string ShowArticleNext(RequestState& state, const ChannelSettings& channel,
                            const Variant& article_id);

}  // namespace folirex

#endif  // FOLIREX_SITE_LOCATION_PATH_H_
