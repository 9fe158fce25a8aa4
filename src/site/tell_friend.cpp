#include "site/tell_friend.h"

namespace folirex {

std::string ShowTellFriend(RequestState &, const Variant &, const Variant &,
                           const Variant &, const Variant &) {
  return "";
}

} // namespace folirex
