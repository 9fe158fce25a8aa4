// The class tree page of a channel (admin.asp?m=admin_articleclass&channelid=N): the tree list
// with its bulk emptying, the add and edit forms and their saves, the up and down arrows, the
// flattening of a top-level class, the move form and its move, the deletion and the repair.
// Every change goes through the class tree (taxonomy/class_tree.h), in one transaction, and only
// from a posted form; the list's links post through a small script.
//
// Runs on the request's worker with the request's open database. A refused request answers
// through AlertBack before anything is stored; a database failure propagates to the entry.
#ifndef FOLIREX_TAXONOMY_CLASS_ADMIN_H_
#define FOLIREX_TAXONOMY_CLASS_ADMIN_H_

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

// The page inside the console frame (its route needs XT_Manage_ArticleClass and opens the
// channel): runs the action.
void ArticleClass_Main(RequestState& state, const ConsolePage& page);

}  // namespace folirex

#endif  // FOLIREX_TAXONOMY_CLASS_ADMIN_H_
