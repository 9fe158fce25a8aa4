// The article add page (m=admin_articleadd: ArticleAdd_Main, its link bar and form) and the edit
// form of the article manager (Article_Edit): one form writer for both, with the class, subject,
// title colour, picture and template page lists. Every stored value is shown encoded for its
// place (attribute values for both quote kinds, the summary as text-area content), so that the
// form posts back exactly what is stored.
//
// Request thread only; the lists read on state.db.Conn with recordsets of their own.
#ifndef FOLIREX_ARTICLES_ARTICLE_FORM_H_
#define FOLIREX_ARTICLES_ARTICLE_FORM_H_

#include <cstdint>
#include <string>

#include "articles/article_channel.h"
#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

void ArticleAdd_Main(RequestState& state, const ConsolePage& page);

// The edit form of the query value `id` of the current channel; a bad, missing or foreign id
// answers the parameter message.
void Article_Edit(RequestState& state, const ArticleChannel& channel,
                  const ConsoleRequest& request);

// The class list of the forms: the channel's class tree in order, a class that takes no articles
// red with "-" after its id, `selected` (-1: none) selected, the no-class option last.
std::string ArticleClassSelect(DatabaseState& db, int64_t channel_id, const std::string& name,
                               int64_t selected);

// The options of the class lists: the channel's class tree in order, a class that takes no
// articles red with "-" after its id, `selected` (-1: none) selected.
std::string ArticleClassOptions(DatabaseState& db, int64_t channel_id, int64_t selected);

// The title colour list with `selected` (exact) selected.
std::string Article_TitleColorSelect(const std::string& selected);

}  // namespace folirex

#endif  // FOLIREX_ARTICLES_ARTICLE_FORM_H_
