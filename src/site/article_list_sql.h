// The queries behind article lists: GetArticleListSql turns the 22
// comma-separated fields of a ListArticleList chip into one select of the
// list's articles, each with four columns of its class, and the values bound to
// it; GetClassAndChildIds gives a class and all its descendants from the
// pre-order class tree.
//
// Both return their result and read through recordsets of their own on db.Conn,
// which must be open (GetClassAndChildIds binds the ids it reads by). A
// parameter text that is not a valid list gives the empty text; database
// failures throw DbError to the caller. Request thread only.
#ifndef FOLIREX_SITE_ARTICLE_LIST_SQL_H_
#define FOLIREX_SITE_ARTICLE_LIST_SQL_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/list_query.h"
#include "core/request_state.h"
#include "platform/db/sql_params.h"
#include "platform/db/variant.h"
#include "site/list_support.h"

namespace folirex {

// The 22 comma-separated fields of a ListArticleList chip by name. The text is split at every
// "," and not trimmed; a flag counts as on when, lower-cased, it is exactly "true" (the paging
// flag is trimmed first), and numbers are 16-bit readings, 0 when a field does not read as one.
struct ArticleListChip {
  ChipSelection selection;         // 0-6; count 0: all (10 on a channel first page)
  std::string author;              // 7, trimmed; "" any author
  int days = 0;                    // 8: only the last N days; 0 all
  int title_length = 0;            // 9: title width in display columns; 0 the whole title
  int columns = 1;                 // 10: cells per table row (0 or less: 1)
  bool show_prefix = false;        // 11: the title prefix
  int marks = 0;                   // 12: 0 none, 1 small images, 2 text symbols
  int date_style = 0;              // 13: 0 none, 1 yyyy-mm-dd, 2 month and day, 3 mm-dd
  bool show_class = false;         // 14
  bool show_clicks = false;        // 15
  bool show_hot_mark = false;      // 16
  bool show_new_mark = false;      // 17
  bool show_author = false;        // 18
  bool paged = false;              // 19
  bool show_comment_link = false;  // 20
  int order_code = 0;              // 21
};

// The chip of a parameter text whose 22 fields pass their checks (flags "true" or "false" after
// trimming, numbers where numbers belong, 16-bit digits, marks at most 2, date style at most 3);
// nullopt for any other text.
std::optional<ArticleListChip> ParseArticleListChip(const Variant& params);

// The fields of a split parameter text of 22 fields read by name, without the checks (a field
// that does not read as its kind reads as 0 or off).
ArticleListChip ReadArticleListFields(const std::vector<std::string>& fields);

// The select of a ListArticleList chip (columns d_id, d_classid, d_title,
// d_titleprefix, d_fontshape, d_addtime, d_titlecolor, d_hotflag,
// d_recommendflag, d_topflag, d_author, d_clicktimes, d_linkurl, d_dir, d_name,
// d_commentflag, d_commentcheckflag) with its values, or an empty select when
// the parameter text does not have 22 fields or a field fails its check.
// `channel` is the channel the list is drawn for (a channel field of "-1" lists
// it). class_id is read on "classlist" pages, subject_id on "subjectlist" pages.
BoundSql GetArticleListSql(DatabaseState& db, const ChannelSettings& channel, const Variant& params,
                           const Variant& page_type, std::optional<int64_t> class_id,
                           std::optional<int64_t> subject_id);

// An article list: `list`, its articles (with its own top N and order), and `select`, which
// joins their classes and orders the rows; the values of `select` are list.Values().
struct ArticleListQuery {
  ListQuery list;
  std::string select;
  std::vector<Variant> params;  // the values `select` binds
};

// The joined, ordered select of a list over `inner`, a select of the list's articles.
std::string ArticleListSelect(const std::string& inner, int order_code);
// The same over the articles of `source` ("Vantrel_Article where ..."): a page of the list read
// by its ids.
std::string ArticleListSelectFrom(const std::string& source, int order_code);

// GetArticleListSql's query for a chip that passed its checks.
ArticleListQuery BuildArticleListQuery(DatabaseState& db, const ChannelSettings& channel,
                                       const ArticleListChip& chip, const Variant& page_type,
                                       std::optional<int64_t> class_id,
                                       std::optional<int64_t> subject_id);

// The ids of the class and of all its descendants; none when no class has that
// id (or the id is not a plain number of at most 9 digits). Reads through a
// recordset of its own.
std::vector<int64_t> ClassAndChildIds(DatabaseState& db, const Variant& class_id);
// The same joined by ",".
std::string GetClassAndChildIds(DatabaseState& db, const Variant& class_id);

}  // namespace folirex

#endif  // FOLIREX_SITE_ARTICLE_LIST_SQL_H_
