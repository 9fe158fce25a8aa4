// Template page lookup: the text of the template page that a template set assigns to a page type,
// or of a template page named by its id. Both leave their query in state.Sql and read through a
// recordset of their own (the shared recordset is left alone).
//
// A missing assignment, a missing page or an empty page gives "" (the engine then renders an empty
// page). An id or set id that is not a plain whole number, or a page type that is not a plain word,
// gives "" without reaching SQL. Database errors throw DbError. Request thread only.
#ifndef FOLIREX_SITE_TEMPLATE_LOOKUP_H_
#define FOLIREX_SITE_TEMPLATE_LOOKUP_H_

#include <string>

#include "core/request_state.h"
#include "platform/db/variant.h"

namespace folirex {

// template_id: a channel's ChannelTemplateID; page_type: "first", "content", "classlist", ...
std::string LoadTemplatePage(RequestState& state, const Variant& template_id,
                             const Variant& page_type);
// page_id: a d_templatepageid of the configuration, a class, a subject or an article.
std::string LoadTemplatePageById(RequestState& state, const Variant& page_id);

}  // namespace folirex

#endif  // FOLIREX_SITE_TEMPLATE_LOOKUP_H_
