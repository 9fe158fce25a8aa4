#include "site/navigation.h"

namespace folirex {

std::string ShowClassNavi(RequestState &, const Variant &) { return ""; }

std::string ShowSubjectNavi(RequestState &, const Variant &) { return ""; }

} // namespace folirex
