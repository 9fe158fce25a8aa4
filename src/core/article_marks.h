// The bookkeeping statements every article change shares: the regeneration marks (a class's or
// subject's d_generatedflag cleared, so that the publishing pages write its list pages again)
// and the channel's article counters, moved by relative updates.
//
// Callers run them inside the transaction of the change they belong to, on its connection. Ids
// are numbers; 0 (no class, no subject) touches no row. Database errors throw DbError.
#ifndef FOLIREX_CORE_ARTICLE_MARKS_H_
#define FOLIREX_CORE_ARTICLE_MARKS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/db/connection.h"

namespace folirex {

void MarkClassAndSubject(Connection& conn, int64_t class_id, int64_t subject_id);

// Marks the classes and subjects of the channel's articles that `condition` selects (a where
// condition over Vantrel_Article of constants and "?" placeholders, bound to `params` in order).
void MarkClassesAndSubjectsOf(Connection& conn, int64_t channel_id, const std::string& condition,
                              const std::vector<Variant>& params);

// d_itemcount += items, d_itemcountchecked += checked (either may be negative or 0).
void ChangeChannelCounters(Connection& conn, int64_t channel_id, int64_t items, int64_t checked);

}  // namespace folirex

#endif  // FOLIREX_CORE_ARTICLE_MARKS_H_
