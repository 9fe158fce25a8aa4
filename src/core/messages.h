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

// The answer to a request whose parameters a page cannot take.
inline constexpr char kParameterError[] = "提示：参数错误！";

// Closes the database, writes the alert and history.back() script, ends the response (throws
// ResponseEnd).
[[noreturn]] void AlertBack(RequestState& state, std::string_view message);
void Alert(RequestState& state, std::string_view message);
void GoUrl(RequestState& state, std::string_view url);

// Sends one HTML mail through the mail service chosen in the site settings (flag 1: the
// machine's mail server, site.LocalMailServer; flag 2: the configured SMTP server and account)
// and returns the text to show the user: the no-service text for flag 0, the success text only
// when the server accepted the mail, the failure text with the reason otherwise. The sender is
// named from `site`; the mail settings are read on db.Conn through a recordset of its own. Never
// throws for mail or database failures.
std::string SendMail(DatabaseState& db, const SiteConfig& site, std::string_view subject,
                     std::string_view body, std::string_view to_address);

// "host", "host:port" or "[v6]:port" into SMTP settings (port 25 when none is given).
bool ParseMailServer(std::string_view text, std::string* host, int* port);

}  // namespace folirex

#endif  // FOLIREX_CORE_MESSAGES_H_
