// The actions of the subject page that take subjects away or detach their articles: the merge
// form and the merge of one subject into another, the deletion of the ticked subjects and their
// emptying. Each keeps to the page's channel: a merge's source and target must both be subjects
// of the channel, and only the channel's ticked subjects (and their articles) are deleted or
// emptied; the channel's subject count falls by the rows actually deleted.
//
// The rows change in one transaction; the pages and folders go, and subjectlist.js is
// rewritten, after it commits. Called by ArticleSubject_Main with the page's channel and its
// settings.
#ifndef FOLIREX_TAXONOMY_SUBJECT_MERGE_H_
#define FOLIREX_TAXONOMY_SUBJECT_MERGE_H_

#include <cstdint>

#include "console/channel_page.h"
#include "core/console_request.h"
#include "core/request_state.h"

namespace folirex {

void ArticleSubject_Join(RequestState& state, const ConsoleChannel& channel);
void ArticleSubject_SaveJoin(RequestState& state, const ConsoleChannel& channel,
                             const ConsoleRequest& request);
void ArticleSubject_Del(RequestState& state, const ConsoleChannel& channel,
                        const ConsoleRequest& request);
void ArticleSubject_Empty(RequestState& state, const ConsoleChannel& channel,
                          const ConsoleRequest& request);

}  // namespace folirex

#endif  // FOLIREX_TAXONOMY_SUBJECT_MERGE_H_
