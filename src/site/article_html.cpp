#include "site/article_html.h"

namespace folirex {

bool CreateArticleHtml(RequestState &, const Variant &) { return false; }

} // namespace folirex
