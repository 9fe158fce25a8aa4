#include "site/click_counter.h"

namespace folirex {

std::string ShowClick(RequestState &, const Variant &) { return "0"; }

} // namespace folirex
