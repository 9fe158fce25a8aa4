// Template page lookup: the text of the template page that a template set assigns to a page type,
// or of a template page named by its id, and the skin of that page. Each page is read once per
// request (caches.TemplatePageCache), through a recordset of its own on db.Conn (the shared
// recordset is left alone).
//
// A missing assignment, a missing page or an empty page gives ""; TemplatePageFound tells a page
// that is not there from an empty one, so that a page whose template is gone can say so. An id or
// set id that is not a plain whole number, or a page type that is not a plain word, gives ""
// without reaching SQL. Database errors throw DbError. Request thread only.
#ifndef FOLIREX_SITE_TEMPLATE_LOOKUP_H_
#define FOLIREX_SITE_TEMPLATE_LOOKUP_H_

#include <string>

#include "core/request_state.h"
#include "platform/db/variant.h"

namespace folirex {

// template_id: a channel's ChannelTemplateID; page_type: "first", "content", "classlist", ...
std::string LoadTemplatePage(DatabaseState& db, RequestCaches& caches, const Variant& template_id,
                             const Variant& page_type);
// page_id: a d_templatepageid of the configuration, a class, a subject or an article.
std::string LoadTemplatePageById(DatabaseState& db, RequestCaches& caches, const Variant& page_id);
// The skin id of the page the same lookup finds ("1" when there is none): by set and type when
// template_id is not empty, else by page id.
Variant TemplatePageSkinId(DatabaseState& db, RequestCaches& caches, const Variant& template_id,
                           const Variant& template_page_id, const Variant& page_type);

// Whether the lookup of TemplatePageSkinId finds a stored page (an empty one counts).
bool TemplatePageFound(DatabaseState& db, RequestCaches& caches, const Variant& template_id,
                       const Variant& template_page_id, const Variant& page_type);

}  // namespace folirex

#endif  // FOLIREX_SITE_TEMPLATE_LOOKUP_H_
