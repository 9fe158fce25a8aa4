// The collection projects page of a channel (admin.asp?m=admin_articlecollectset): the project
// list with its search bar, the add and edit form, save, copy, delete, and the test run that
// tries a project's markers on the live list page and first article.
//
// Changes come only from posted forms; a copy or delete reached by a plain address changes
// nothing. The test run writes its two preview files as cleaned, inert HTML and shows them in
// sandboxed frames; title and author are shown as text. Request thread only.
#ifndef FOLIREX_COLLECTION_ADMIN_COLLECT_SET_H_
#define FOLIREX_COLLECTION_ADMIN_COLLECT_SET_H_

#include "collection/collect_project.h"
#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

void ArticleCollectSet_Main(RequestState& state, const ConsolePage& page);

// The page with the limits of remote answers given (tests shorten the time-out).
void ArticleCollectSet_Run(RequestState& state, const CollectLimits& limits,
                           const ConsolePage& frame);

}  // namespace folirex

#endif  // FOLIREX_COLLECTION_ADMIN_COLLECT_SET_H_
