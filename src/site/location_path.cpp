#include "site/location_path.h"

namespace folirex {

std::string ShowPath(RequestState &state, const Variant &class_id, const Variant &subject_id,
                     const Variant &generate_html, const Variant &page_type) {
  return "";
}
std::string ShowArticlePrevious(RequestState &state, const Variant &article_id) { return ""; }
std::string ShowArticleNext(RequestState &state, const Variant &article_id) { return ""; }

}  // namespace folirex
