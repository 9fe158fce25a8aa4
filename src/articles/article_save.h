// The add-save and the update of the article form: one article row written from the posted
// fields (articles/article_fields.h), with its approval values, the class and subject marked for
// regeneration, and the channel's counters (d_itemcount: live articles, d_itemcountchecked: live
// approved articles) moved by the rows the save actually changed, all in one transaction. When
// the article is published at once, its static page is written after the commit through the
// registry's article page writer; a page that could not be written is reported in the answer.
//
// Both answer with their message box; every refusal goes through AlertBack, nothing changed.
// Request thread only; database errors throw DbError (the transaction rolls back).
#ifndef FOLIREX_ARTICLES_ARTICLE_SAVE_H_
#define FOLIREX_ARTICLES_ARTICLE_SAVE_H_

#include "articles/article_channel.h"
#include "core/console_request.h"
#include "core/request_state.h"

namespace folirex {

void ArticleAdd_Save(RequestState& state, const ArticleChannel& channel,
                     const ConsoleRequest& request);
// The article of query value `id` in the current channel; a missing or foreign id answers the
// parameter message.
void Article_Update(RequestState& state, const ArticleChannel& channel,
                    const ConsoleRequest& request);

}  // namespace folirex

#endif  // FOLIREX_ARTICLES_ARTICLE_SAVE_H_
