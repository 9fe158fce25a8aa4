#include "site/template_lookup.h"

namespace folirex {

std::string LoadTemplatePage(RequestState &state, const Variant &template_id,
                             const Variant &page_type) {
  return "";
}

std::string LoadTemplatePageById(RequestState &state, const Variant &page_id) { return ""; }

}  // namespace folirex
