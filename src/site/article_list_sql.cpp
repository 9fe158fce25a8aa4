#include "site/article_list_sql.h"

namespace folirex {

std::string GetArticleListSql(RequestState &, const Variant &, const Variant &,
                              const Variant &, const Variant &, const Variant &,
                              const Variant &) {
  return "";
}

std::string GetClassAndChildIds(RequestState &, const Variant &) { return ""; }

} // namespace folirex
