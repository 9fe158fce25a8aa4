// The ListArticlePic chip: GetArticlePicSql turns the 16 comma-separated fields
// of the chip into one select of articles with pictures, and ShowArticlePic
// renders them as a grid of picture cells in one of three layouts.
//
// Runs on the request's worker. An invalid chip gives the empty text; database
// failures throw DbError to the caller.
#ifndef FOLIREX_SITE_ARTICLE_PIC_H_
#define FOLIREX_SITE_ARTICLE_PIC_H_

#include <string>

#include "core/request_state.h"
#include "platform/db/variant.h"

namespace folirex {

// The select of a ListArticlePic chip, or "" when a field fails its check.
std::string GetArticlePicSql(RequestState& state, const Variant& params, const Variant& page_type,
                             const Variant& class_id, const Variant& subject_id);

// The grid that replaces the chip: "" for an invalid chip,
// "<li>暂时没有本类数据！</li>" when no article matches. Leaves the query in
// state.db.Sql.
std::string ShowArticlePic(RequestState& state, const Variant& params, const Variant& page_type,
                           const Variant& class_id, const Variant& subject_id);

}  // namespace folirex

#endif  // FOLIREX_SITE_ARTICLE_PIC_H_
