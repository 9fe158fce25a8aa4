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
// Each query reads through a recordset of its own, with its ids bound. Without an id the class
// chain is left out and the neighbour link is "没有了". Database errors throw
// DbError. Request thread only.
#ifndef FOLIREX_SITE_LOCATION_PATH_H_
#define FOLIREX_SITE_LOCATION_PATH_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/request_state.h"
#include "platform/db/sql_params.h"
#include "platform/db/variant.h"

namespace folirex {

// generate_html: the publishing mode the page is drawn in ("0", "1", "2").
std::string ShowPath(RequestState& state, const ChannelSettings& channel,
                     std::optional<int64_t> class_id, std::optional<int64_t> subject_id,
                     std::string_view generate_html, std::string_view page_type);
// The neighbours of every article whose id lies in [first_id, last_id], read at once (one
// statement) for a page that draws both links, or a run of pages that draws many of them (a
// generation step): the approved, not recycled articles of that range, the one just before it and
// the one just after it.
struct NeighbourRows {
  struct Row {
    int64_t id = 0;
    Variant id_value, title, add_time, dir;
  };
  int64_t first_id = 0;
  int64_t last_id = -1;
  std::vector<Row> rows;  // by id; the one before the range first and the one after it last
};
NeighbourRows LoadNeighbourRows(RequestState& state, int64_t first_id, int64_t last_id);
// The select LoadNeighbourRows reads (first_id <= last_id), for reading it ahead.
BoundSql NeighbourSelect(int64_t first_id, int64_t last_id);

// `kept`, when given and the article's id lies in its range, answers; otherwise both neighbours
// are read (LoadNeighbourRows) for this link alone.
std::string ShowArticlePrevious(RequestState& state, const ChannelSettings& channel,
                                std::optional<int64_t> article_id,
                                const NeighbourRows* kept = nullptr);
std::string ShowArticleNext(RequestState& state, const ChannelSettings& channel,
                            std::optional<int64_t> article_id, const NeighbourRows* kept = nullptr);

}  // namespace folirex

#endif  // FOLIREX_SITE_LOCATION_PATH_H_
