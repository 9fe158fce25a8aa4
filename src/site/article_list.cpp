#include "site/article_list.h"

namespace folirex {

std::string ShowArticleList(RequestState &, const Variant &, const Variant &,
                            const Variant &, const Variant &, const Variant &,
                            const Variant &) {
  return "";
}

std::string RenderArticleList(RequestState &, const std::vector<std::string> &,
                              const Variant &, const Variant &) {
  return "";
}

std::string RenderArticleListPaged(RequestState &,
                                   const std::vector<std::string> &,
                                   Cls_Pagination &) {
  return "";
}

} // namespace folirex
