// The click script (asp.asp?m=click): counts one click for an article and its channel and
// answers with a script line that writes the article's click total ("0" for an id that names no
// article, which counts nothing, not even for the channel).
//
// The article's counters change in one update statement, read back in the same transaction, so
// clicks that arrive together are all counted and each answer shows its own total. Request
// thread only; database errors throw DbError.
#ifndef FOLIREX_SITE_CLICK_COUNTER_H_
#define FOLIREX_SITE_CLICK_COUNTER_H_

#include <string>

#include "core/request_state.h"

namespace folirex {

std::string ShowClick(RequestState& state, const Variant& article_id);

}  // namespace folirex

#endif  // FOLIREX_SITE_CLICK_COUNTER_H_
