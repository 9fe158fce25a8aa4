// The article manager (m=admin_article, Article_Main): the search bar on every action, the
// paged list of the channel's live articles (or of its recycle bin), and the dispatch of every
// action to the edit form, the update, the bulk actions and the recycle bin.
//
// The lists read one page of rows with one count and one page query, whatever the page number,
// the class names coming from the same query; the counts (and a title search's matching ids) are
// kept against the article data version (core/list_structures.h), and a title search is narrowed
// by the search index (core/search_index.h). Request thread only.
#ifndef FOLIREX_ARTICLES_ARTICLE_MANAGER_H_
#define FOLIREX_ARTICLES_ARTICLE_MANAGER_H_

#include <string>

#include "articles/article_channel.h"
#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

void Article_Main(RequestState& state, const ConsolePage& page);

// The search values of the manager's bar: the title text (SQL characters filtered out) and the
// approval filter ("true", "false" or "" for all; anything else is taken as "").
struct ArticleSearch {
  std::string title;
  std::string check_state;
};

// The paged list of live articles (recycle false) or of the recycle bin, with its action bar.
void Article_ShowList(RequestState& state, const ArticleChannel& channel,
                      const ArticleSearch& search, bool recycle);

}  // namespace folirex

#endif  // FOLIREX_ARTICLES_ARTICLE_MANAGER_H_
