#include "site/template_engine.h"

namespace folirex {

std::string ParseTemplate(RequestState &state, std::string &template_text, const Variant &page_type,
                          const Variant &generate_html, const Variant &article_id,
                          const Variant &class_id, const Variant &subject_id,
                          const Variant &page_number, const Variant &page_size,
                          const Variant &search_type, const Variant &search_class,
                          const Variant &search_keyword, const Variant &search_order,
                          const Variant &notice_id) {
  return template_text;
}

}  // namespace folirex
