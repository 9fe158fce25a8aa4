// The static article page writer: one file per content page of an article, in its class folder
// (or the channel folder when the class has none), each with the bar of page links, and the
// article marked as generated.
//
// The caller has loaded the article's channel (InitChannel) and holds the open connection. An id
// without an article ends the response through AlertBack. Each article is cut into its own pages
// only, never into the pages of an article loaded earlier in the request. Returns true, and marks
// the article generated, only when every file was written (otherwise the mark is cleared); pages
// left over from an earlier, longer version of the article are deleted. Request thread only;
// database errors throw DbError.
#ifndef FOLIREX_PUBLISHING_ARTICLE_HTML_H_
#define FOLIREX_PUBLISHING_ARTICLE_HTML_H_

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/request_state.h"
#include "core/site_files.h"
#include "platform/db/recordset.h"
#include "site/template_engine.h"

namespace folirex {

bool CreateArticleHtml(RequestState& state, std::optional<int64_t> article_id);

// The same without the mark: the generation steps mark the articles of a step together.
bool WriteArticleHtml(RequestState& state, std::optional<int64_t> article_id);

// What the writer reads of an article and its class besides what the template engine loads:
// the select kArticlePageColumns (followed by a where clause on "a.") gives it, so a step reads
// the rows of all its articles in one query.
inline constexpr const char kArticlePageColumns[] =
    "select a.d_id, a.d_classid, a.d_subjectid, a.d_addtime, a.d_templatepageid, b.d_dir from "
    "Vantrel_Article a left outer join Vantrel_ArticleClass b on a.d_classid = b.d_id";
struct ArticlePageRow {
  int64_t id = 0;
  std::optional<int64_t> class_id;
  std::optional<int64_t> subject_id;
  Variant add_time;
  Variant template_page_id;
  std::string class_dir;
};
// The row of the recordset standing on a row of kArticlePageColumns.
ArticlePageRow ReadArticlePageRow(const Recordset& rs);
// A row of kArticlePageColumns as read whole (Recordset::GetRows), its values in select order.
ArticlePageRow ArticlePageRowOf(std::vector<Variant> values);
// What the article pages written in a row (one generation step) share: the parts of the page
// that do not depend on the article (template_engine.h), and the folders already made, each read
// once (site_files.h), by the site path of their links (a folder removed meanwhile makes the
// writes into it fail, which the step reports).
struct ArticleBatch {
  PageValueCache shared;
  std::unordered_map<std::string, SiteFolder> folders;
};
// WriteArticleHtml for a row already read; batch, when given, is shared with the other articles
// of the step.
bool WriteArticleHtml(RequestState& state, const ArticlePageRow& row,
                      ArticleBatch* batch = nullptr);

}  // namespace folirex

#endif  // FOLIREX_PUBLISHING_ARTICLE_HTML_H_
