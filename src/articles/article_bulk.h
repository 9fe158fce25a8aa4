// The article manager's bulk actions and recycle bin: approve, withdraw, pin, recommend (and
// their undoing) the ticked or all articles, recycle, restore and purge, and the batch move of
// the articles of chosen classes into another class (Article_MoveAll's form, savemove).
//
// Each action runs only from a posted form, checks its ids first (every ticked id a number and
// an article of the current channel, or the parameter message with nothing changed), and runs in
// one transaction: the rows it changes are conditioned on channel and state, the class and
// subject marks and the channel counters follow the rows actually changed, so the counters stay
// equal to the channel's live and live approved articles however the actions are repeated or
// combined. Request thread only; database errors throw DbError (the transaction rolls back).
#ifndef FOLIREX_ARTICLES_ARTICLE_BULK_H_
#define FOLIREX_ARTICLES_ARTICLE_BULK_H_

#include <string_view>

#include "articles/article_channel.h"
#include "core/console_request.h"
#include "core/request_state.h"

namespace folirex {

// Runs the bulk action the request's action names and answers with its message box; false when
// the action is none of them.
bool RunArticleBulkAction(RequestState& state, const ArticleChannel& channel,
                          const ConsoleRequest& request);

// The batch-move form.
void Article_MoveAll(RequestState& state, const ArticleChannel& channel);

}  // namespace folirex

#endif  // FOLIREX_ARTICLES_ARTICLE_BULK_H_
