// The click script (asp.asp?m=click): counts one click for an article and its
// channel and answers with a script line that writes the article's click total.
//
// The article's counters change in one update statement, so concurrent clicks
// are all counted.
#ifndef FOLIREX_SITE_CLICK_COUNTER_H_
#define FOLIREX_SITE_CLICK_COUNTER_H_

#include <string>

#include "core/request_state.h"

namespace folirex {

std::string ShowClick(RequestState& state, const Variant& article_id);

}  // namespace folirex

#endif  // FOLIREX_SITE_CLICK_COUNTER_H_
