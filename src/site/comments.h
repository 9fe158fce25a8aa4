// Readers' comments: posting and the comment page (asp.asp?m=comment), the ListComment chip's
// script tag, and the comment-list script (asp.asp?m=commentlist) with its row renderers.
//
// Everything a reader typed is HTML-encoded where it is shown. A post is taken only as a POST,
// its values only from the posted form; the name and address are at most 50 characters, the
// comment 10,000. A failed check of a post ends the response through AlertBack; nothing is
// stored then. The comment page of an article not on the site answers as the content page does. A
// stored comment and the channel's comment count change in one transaction. On the comment page the
// chip's tag carries the page number of the request, so the list's page bar (which leads to the
// comment page) reaches every page. Request thread only; database errors throw DbError.
#ifndef FOLIREX_SITE_COMMENTS_H_
#define FOLIREX_SITE_COMMENTS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/pagination.h"
#include "core/public_request.h"
#include "core/request_state.h"

namespace folirex {

// flag "1" stores the comment the request posts for the request's channel; anything else renders
// the comment page of the request's article.
std::string ShowComment(RequestState& state, const PublicRequest& request);

// The value of a ListComment:<count> chip on a page drawn for `channel`; "" when a check fails.
std::string ShowCommentListJs(RequestState& state, const ChannelSettings& channel,
                              const Variant& count, const Variant& page_type,
                              std::optional<int64_t> article_id);

// The whole answer of the comment-list script; "" when a check fails.
std::string ShowCommentList(RequestState& state, const Variant& count, const Variant& page_type,
                            std::optional<int64_t> article_id);

// The HTML of every row the query returns with `params` bound to its placeholders (read on
// db.Conn); "暂时没有评论数据！" for none.
std::string RenderCommentRows(DatabaseState& db, std::string_view sql,
                              const std::vector<Variant>& params);

// The HTML of the pager's current page and its page bar.
std::string RenderCommentPage(Cls_Pagination& pager);

}  // namespace folirex

#endif  // FOLIREX_SITE_COMMENTS_H_
