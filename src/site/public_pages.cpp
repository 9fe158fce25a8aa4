#include "site/public_pages.h"

namespace folirex {

std::string ShowDefault(RequestState &state) { return ""; }
std::string ShowFirst(RequestState &state) { return ""; }
std::string ShowSearch(RequestState &state, const Variant &search_type, const Variant &search_class,
                       const Variant &search_keyword, const Variant &search_order) {
  return "";
}
std::string ShowPrint(RequestState &state, const Variant &article_id) { return ""; }
std::string ShowNotice(RequestState &state, const Variant &notice_id) { return ""; }
std::string ShowUserList(RequestState &state) { return ""; }
std::string ShowContent(RequestState &state, const Variant &article_id) { return ""; }
std::string ShowClassList(RequestState &state, const Variant &class_id,
                          std::string_view template_text) {
  return "";
}
std::string ShowSubjectList(RequestState &state, const Variant &subject_id) { return ""; }
std::string ShowHotList(RequestState &state) { return ""; }
std::string ShowRecommendList(RequestState &state) { return ""; }
std::string ShowNewList(RequestState &state) { return ""; }
std::string GetSkinCssLink(RequestState &state, const Variant &template_id,
                           const Variant &template_page_id, const Variant &page_type) {
  return "";
}

}  // namespace folirex
