// Tell-a-friend (asp.asp?m=tellfriend): the form page, and with flag "1" the mail of an article
// to the reader's friend through the site's mail service.
//
// The recipient's name and address lose their control characters before they reach the mail
// (the mail layer encodes the subject); the answer's message, which may carry a mail server's
// own words, is escaped for the script string it is written into. A failed check of the form
// ends the response through AlertBack. Request thread only.
#ifndef FOLIREX_SITE_TELL_FRIEND_H_
#define FOLIREX_SITE_TELL_FRIEND_H_

#include <string>

#include "core/request_state.h"

namespace folirex {

std::string ShowTellFriend(RequestState& state, const Variant& article_id, const Variant& flag,
                           const Variant& mail_to, const Variant& mail_to_name);

}  // namespace folirex

#endif  // FOLIREX_SITE_TELL_FRIEND_H_
