#include "site/related_chips.h"

namespace folirex {

std::string ShowArticleCorrelative(RequestState &, const Variant &,
                                   const Variant &, const Variant &) {
  return "";
}
std::string ShowTopUser(RequestState &, const Variant &, const Variant &) {
  return "";
}
std::string ShowJsFile(RequestState &, const Variant &) { return ""; }

} // namespace folirex
