// The queries behind article lists: GetArticleListSql turns the 22
// comma-separated fields of a ListArticleList chip into one select of the
// list's articles, each with four columns of its class; GetClassAndChildIds
// gives a class and all its descendants from the pre-order class tree.
//
// Both run on the request's worker and use only that request's state. A
// parameter text that is not a valid list gives the empty text; database
// failures throw DbError to the caller.
#ifndef FOLIREX_SITE_ARTICLE_LIST_SQL_H_
#define FOLIREX_SITE_ARTICLE_LIST_SQL_H_

#include <optional>
#include <string>
#include <vector>

#include "core/request_state.h"
#include "platform/db/variant.h"

namespace folirex {

// The select of a ListArticleList chip (columns d_id, d_classid, d_title,
// d_titleprefix, d_fontshape, d_addtime, d_titlecolor, d_hotflag,
// d_recommendflag, d_topflag, d_author, d_clicktimes, d_linkurl, d_dir, d_name,
// d_commentflag, d_commentcheckflag), or "" when the parameter text does not
// have 22 fields or a field fails its check. On success state.db.Sql holds the
// select too. page_number and page_size are accepted for the callers' sake and
// not read; class_id is read on "classlist" pages, subject_id on "subjectlist"
// pages.
std::string GetArticleListSql(RequestState& state, const Variant& params, const Variant& page_type,
                              const Variant& page_number, const Variant& page_size,
                              const Variant& class_id, const Variant& subject_id);

// The pieces of an article list query: `inner` selects the list's articles
// (with its own top N and order), `select` joins their classes and orders the
// rows. A count of the list's rows is "select Count(*) from (" + inner + ") ".
struct ArticleListQuery {
  std::string inner;
  std::string select;
};

// GetArticleListSql's checks and query, without touching state.db.Sql; nullopt for
// an invalid parameter text.
std::optional<ArticleListQuery> BuildArticleListQuery(RequestState& state, const Variant& params,
                                                      const Variant& page_type,
                                                      const Variant& class_id,
                                                      const Variant& subject_id);

// The ids of the class and of all its descendants, joined by ","; "" when no
// class has that id. Uses state.db.Rs and leaves the last query in state.db.Sql.
std::string GetClassAndChildIds(RequestState& state, const Variant& class_id);

}  // namespace folirex

#endif  // FOLIREX_SITE_ARTICLE_LIST_SQL_H_
