// The click script (asp.asp?m=click): counts one click for an article and its channel and
// answers with a script line that writes the article's click total ("0" for an id that names no
// article, which counts nothing, not even for the channel).
//
// The article's counters change in one update statement that answers the new total, so
// clicks that arrive together are all counted and each answer shows its own total; clicks on an
// article that arrive while its clicks are being counted wait and are counted together by the
// next transaction (one transaction for many clicks, each still answered with its own). The day,
// week (from Sunday) and month counters follow the clock's local calendar. Request thread only;
// database errors throw DbError.
#ifndef FOLIREX_SITE_CLICK_COUNTER_H_
#define FOLIREX_SITE_CLICK_COUNTER_H_

#include <cstdint>
#include <optional>
#include <string>

#include "core/request_state.h"
#include "platform/clock.h"

namespace folirex {

std::string ShowClick(RequestState& state, std::optional<int64_t> article_id,
                      const Clock& clock = *SteadyClock());

}  // namespace folirex

#endif  // FOLIREX_SITE_CLICK_COUNTER_H_
