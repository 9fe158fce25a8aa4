// The ListArticleList chip: ShowArticleList renders the list of article titles
// a chip asks for, whole (RenderArticleList) or one page at a time with a
// page-number bar (RenderArticleListPaged) on class, subject, hot, recommended
// and newest list pages.
//
// The list is drawn with the settings of the channel the page is drawn for, a
// value the caller passes (the template engine its page's or block cell's
// channel; the entries without one draw the request's channel, state.channel).
// A chip whose channel field names another channel lists that channel's
// articles and links them with that channel's settings, loaded into a value of
// its own. No channel settings of the request are changed.
//
// What goes into the list: the site's own markup as built (the title prefix,
// the title's style from its shape code, the marks, the date cell, the links;
// the install path, the channel and class folders, which the console keeps as
// plain folder names; ids, dates and counts); text, encoded for its place: the
// title (typed by an editor or collected from another site; editors style
// titles with the colour and shape fields, not with tags), the class name, the
// author, the title colour code and the external link address.
//
// Runs on the request's worker. An invalid chip gives the empty text; database
// failures throw DbError to the caller. A list reads only the rows it shows.
#ifndef FOLIREX_SITE_ARTICLE_LIST_H_
#define FOLIREX_SITE_ARTICLE_LIST_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/pagination.h"
#include "core/request_state.h"
#include "platform/db/connection.h"
#include "platform/db/sql_params.h"
#include "platform/db/variant.h"
#include "site/article_list_sql.h"

namespace folirex {

// The HTML that replaces a ListArticleList chip on a page of the request's
// channel: params is the chip's text after its colon, the rest are the page's
// values as the template engine passes them.
std::string ShowArticleList(RequestState& state, const Variant& params, const Variant& page_type,
                            std::optional<int64_t> page_number, int64_t page_size,
                            std::optional<int64_t> class_id, std::optional<int64_t> subject_id);
// The same for a chip already read (ParseArticleListChip), drawn for `channel`.
std::string ShowArticleList(RequestState& state, const ChannelSettings& channel,
                            const ArticleListChip& chip, const Variant& page_type,
                            std::optional<int64_t> page_number, int64_t page_size,
                            std::optional<int64_t> class_id, std::optional<int64_t> subject_id);

// The whole list of `sql` (a GetArticleListSql select and its values) drawn by
// the chip's fields (the split parameter text) for the request's channel. An
// empty or invalid select, or another number of fields than 22, gives the empty
// text; no rows give the empty-list item. page_type is accepted and not read.
std::string RenderArticleList(RequestState& state, const std::vector<std::string>& fields,
                              const BoundSql& sql, const Variant& page_type);
// The same for a chip already read, drawn for `channel`.
std::string RenderArticleList(RequestState& state, const ChannelSettings& channel,
                              const ArticleListChip& chip, const BoundSql& sql);

// The select by which ShowArticleList reads the chip's list whole for a page of `page_type`;
// nullopt when it draws the list a page at a time, or none.
std::optional<BoundSql> WholeListSelect(DatabaseState& db, const ChannelSettings& channel,
                                        const ArticleListChip& chip, const Variant& page_type,
                                        std::optional<int64_t> class_id,
                                        std::optional<int64_t> subject_id);

// The read by which ShowArticleList reads the page of the chip's paged list, when it is known
// before it draws (Cls_Pagination::PlannedRead); nullopt otherwise.
std::optional<Connection::TogetherRead> PagedListRead(
    RequestState& state, const ChannelSettings& channel, const ArticleListChip& chip,
    const Variant& page_type, std::optional<int64_t> page_number, int64_t page_size,
    std::optional<int64_t> class_id, std::optional<int64_t> subject_id);

// The current page of the pager's list and its bar, drawn for `channel`. The
// pager's properties must be set; this reads ResultSet once.
std::string RenderArticleListPaged(RequestState& state, const ChannelSettings& channel,
                                   const ArticleListChip& chip, Cls_Pagination& pager);

}  // namespace folirex

#endif  // FOLIREX_SITE_ARTICLE_LIST_H_
