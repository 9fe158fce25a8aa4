// The collection console of a channel (admin.asp?m=admin_articlecollect): the collection log
// with its search bar and bulk actions, the project picker, the starters that write the batch
// page, and the two step requests a running batch page loads into its hidden frame.
//
// The batch page holds the job: a queue of projects with their next list page, and a queue of
// log ids that the steps extend. Each step answers only with script tags calling back into it.
// Step requests carry a token the batch page got from the session, so an address followed from
// elsewhere runs no step; their ids, modes and flags take only their listed values. Bulk changes
// come only from posted forms. Request thread only.
#ifndef FOLIREX_COLLECTION_ADMIN_COLLECT_H_
#define FOLIREX_COLLECTION_ADMIN_COLLECT_H_

#include <string>
#include <vector>

#include "collection/collect_steps.h"
#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

void ArticleCollect_Main(RequestState& state, const ConsolePage& page);

// The page with the steps' limits given (tests shorten the time-out).
void ArticleCollect_Run(RequestState& state, const CollectRun& run, const ConsolePage& frame);

// The batch page body for the ids (project ids in the modes "all" and "list", log ids in the
// modes "select" and "flag"); the ids are numbers, the mode and doflag their listed values.
std::string ArticleCollect_BatchScript(const std::vector<int64_t>& ids, std::string_view mode,
                                       std::string_view doflag, int64_t channel,
                                       std::string_view token);

}  // namespace folirex

#endif  // FOLIREX_COLLECTION_ADMIN_COLLECT_H_
