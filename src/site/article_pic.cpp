#include "site/article_pic.h"

namespace folirex {

std::string GetArticlePicSql(RequestState &, const Variant &, const Variant &,
                             const Variant &, const Variant &) {
  return "";
}

std::string ShowArticlePic(RequestState &, const Variant &, const Variant &,
                           const Variant &, const Variant &) {
  return "";
}

} // namespace folirex
