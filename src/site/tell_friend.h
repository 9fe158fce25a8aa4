// Tell-a-friend (asp.asp?m=tellfriend): the form page, and with flag "1" the mail of an article
// to the reader's friend through the site's mail service.
//
// The recipient's name and address lose their control characters before they reach the mail
// (the mail layer encodes the subject); the answer's message, which may carry a mail server's
// own words, is escaped for the script string it is written into. Mail goes only for a POST of
// the form (the entry reads the friend's name and address from the posted form), with a name and
// an address of at most 50 characters, within the limits of TellFriendLimits. A failed check or
// a limit ends the response through AlertBack, and nothing is sent. The mail's body is HTML: the
// article's content goes in as the site's own HTML, its title and the site's name and address as
// encoded text. The page of an article not on the site answers as the content page does. Request
// thread only.
#ifndef FOLIREX_SITE_TELL_FRIEND_H_
#define FOLIREX_SITE_TELL_FRIEND_H_

#include <cstdint>
#include <optional>
#include <string>

#include "core/public_request.h"
#include "core/request_state.h"

namespace folirex {

std::string ShowTellFriend(RequestState& state, const PublicRequest& request);

}  // namespace folirex

#endif  // FOLIREX_SITE_TELL_FRIEND_H_
