// The script answers every page uses: AlertBack (message, one page back, request ended), Alert
// (message, page goes on), GoUrl (browser sent elsewhere by script), and SendMail (one HTML mail
// through the mail component chosen in the site settings).
//
// The message and url are written into a single-quoted script string as given: callers pass
// text that is valid there (fixed texts, or text escaped with the script-string encoder).
#ifndef FOLIREX_CORE_MESSAGES_H_
#define FOLIREX_CORE_MESSAGES_H_

#include <string>
#include <string_view>

#include "core/request_state.h"

namespace folirex {

// Closes the database, writes the alert and history.back() script, ends the response (throws
// ResponseEnd).
[[noreturn]] void AlertBack(RequestState& state, std::string_view message);
void Alert(RequestState& state, std::string_view message);
void GoUrl(RequestState& state, std::string_view url);

}  // namespace folirex

#endif  // FOLIREX_CORE_MESSAGES_H_
