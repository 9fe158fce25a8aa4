// Search results of one channel: ShowSearchResult lists the channel's articles
// whose title, body, author or inputer holds the keyword, a page at a time, with the
// keyword highlighted; ShowSearchClassSelect builds the class select box of the
// search form.
//
// What goes in: titles, authors, class names and the keyword are text and go
// in encoded (the keyword's marks never split an entity); in the page links the
// keyword is percent-encoded as code page 936, as the site's query strings
// carry text; the table, links and marks are the list's own markup, with ids,
// dates, counts, the install path and the channel and class folders (plain
// folder names the console keeps) as they are.
//
// Runs on the request's worker; database failures throw DbError. Search values
// that the search form cannot send (another column, a class or order that is
// not a whole number) never reach the SQL text.
#ifndef FOLIREX_SITE_SEARCH_H_
#define FOLIREX_SITE_SEARCH_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/public_request.h"
#include "core/request_state.h"
#include "platform/db/sql_params.h"
#include "platform/db/variant.h"

namespace folirex {

// The result table of `channel`'s articles and its page bar, or "暂时没有数据<br>"
// when nothing matches. The current page comes from the request value Page.
std::string ShowSearchResult(RequestState& state, const ChannelSettings& channel,
                             std::string_view search_type, std::optional<int64_t> search_class,
                             std::string_view search_keyword, std::optional<int64_t> search_order);

// What a search is sure to read, told from the request alone, for the reads made with the
// request's channels (PostgreSQL): the kept count of its keyword's sequence.
std::vector<BoundSql> SearchFirstReads(const PublicRequest& request);

// "<select name='searchclass' ...>" with 所有分类 (0) and the classes of
// `channel`, indented by level, read on db.Conn.
std::string ShowSearchClassSelect(DatabaseState& db, const ChannelSettings& channel);

}  // namespace folirex

#endif  // FOLIREX_SITE_SEARCH_H_
