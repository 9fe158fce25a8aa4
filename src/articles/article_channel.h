// What every article page knows of its channel, read once at the top of the page: the channel id
// from the query string (a plain number, or the page ends with the channel message), the
// channel's settings loaded into state.channel, and the few values the pages use (the item word,
// whether the channel publishes static pages, its hot threshold). Also the shared messages and
// the address helpers of the article pages.
//
// Request thread only. LoadArticleChannel ends the request (AlertBack) for a bad or unknown id.
#ifndef FOLIREX_ARTICLES_ARTICLE_CHANNEL_H_
#define FOLIREX_ARTICLES_ARTICLE_CHANNEL_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/channel_page.h"
#include "console/console_text.h"
#include "core/request_state.h"
#include "platform/db/recordset.h"

namespace folirex {

inline constexpr char kArticleParameterError[] = "提示：参数错误！";

// The page's channel (id, id_text, word) and the values the article pages read of its settings.
struct ArticleChannel : ConsoleChannel {
  bool publishes = false;  // GenerateHtml is not "0": the channel writes static pages
  int64_t clicks_of_hot = 0;
};

// OpenConsoleChannel of the request's channel id (no site channel), then the values above from
// the loaded settings.
ArticleChannel LoadArticleChannel(RequestState& state, std::optional<int64_t> channel_id);

}  // namespace folirex

#endif  // FOLIREX_ARTICLES_ARTICLE_CHANNEL_H_
