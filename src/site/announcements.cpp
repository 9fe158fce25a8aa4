#include "site/announcements.h"

namespace folirex {

std::string ShowAnnounceList(RequestState &, const Variant &, const Variant &) {
  return "";
}
std::string ShowAnnounceDetail(RequestState &, const Variant &) { return ""; }

} // namespace folirex
