// The ListArticlePic chip: GetArticlePicSql turns the 16 comma-separated fields
// of the chip into one select of articles with pictures, and ShowArticlePic
// renders them as a grid of picture cells in one of three layouts.
//
// A chip whose channel field names another channel than the page's shows that
// channel's pictures and links them with that channel's settings, loaded into a
// value of its own: the page's channel settings are never changed.
//
// Runs on the request's worker. An invalid chip gives the empty text; database
// failures throw DbError to the caller.
#ifndef FOLIREX_SITE_ARTICLE_PIC_H_
#define FOLIREX_SITE_ARTICLE_PIC_H_

#include <optional>
#include <string>

#include "core/request_state.h"
#include "platform/db/variant.h"
#include "site/list_support.h"

namespace folirex {

// The 16 comma-separated fields of a ListArticlePic chip by name, read from a
// parameter text whose fields passed their checks (numbers where numbers belong,
// 16-bit digits, flags "true" or "false" after trimming; the layout is not
// checked). Flags count as on only when, lower-cased, they are exactly "true".
struct ArticlePicChip {
  ChipSelection selection;     // 0-6; a class below 0 is no class condition
  int days = 0;                // 7: only the last N days; 0 all
  int title_length = 0;        // 8: title width in display columns; 0 means 120
  int summary_length = 0;      // 9: summary width; 0 means 120
  int columns = 0;             // 10: cells per table row; 0 means 1
  std::string picture_width;   // 11: digits, written into the picture's width
  std::string picture_height;  // 12: digits, written into the picture's height
  std::string layout;          // 13: "1", "2" or "3"; any other gives empty cells
  bool show_tips = false;      // 14: the links carry title, author and time
  int order_code = 0;          // 15
};

// The chip of a parameter text whose fields pass their checks; nullopt for any
// other text.
std::optional<ArticlePicChip> ParseArticlePicChip(const Variant& params);

// The select of a ListArticlePic chip, or "" when a field fails its check.
std::string GetArticlePicSql(RequestState& state, const Variant& params, const Variant& page_type,
                             const Variant& class_id, const Variant& subject_id);

// The grid that replaces the chip: "" for an invalid chip,
// "<li>暂时没有本类数据！</li>" when no article matches. Leaves the query in
// state.db.Sql.
std::string ShowArticlePic(RequestState& state, const Variant& params, const Variant& page_type,
                           const Variant& class_id, const Variant& subject_id);
// The same for a chip already read (ParseArticlePicChip).
std::string ShowArticlePic(RequestState& state, const ArticlePicChip& chip,
                           const Variant& page_type, const Variant& class_id,
                           const Variant& subject_id);

}  // namespace folirex

#endif  // FOLIREX_SITE_ARTICLE_PIC_H_
