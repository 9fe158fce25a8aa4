#include "site/search.h"

namespace folirex {

std::string ShowSearchResult(RequestState &, const Variant &, const Variant &,
                             const Variant &, const Variant &) {
  return "";
}

std::string ShowSearchClassSelect(RequestState &) { return ""; }

} // namespace folirex
