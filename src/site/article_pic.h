// The ListArticlePic chip: GetArticlePicSql turns the 16 comma-separated fields
// of the chip into one select of articles with pictures, and ShowArticlePic
// renders them as a grid of picture cells in one of three layouts.
//
// The grid is drawn with the settings of the channel the page is drawn for, a
// value the caller passes (the template engine its page's or block cell's
// channel). A chip whose channel field names another channel shows that
// channel's pictures and links them with that channel's settings, loaded into a
// value of its own. No channel settings of the request are changed.
//
// What goes into the grid: the site's own markup (the table, the cells of the
// layout, the links; the install path, the channel and class folders, which the
// console keeps as plain folder names; ids and the picture size, digits the
// chip's check let through) as built; text, encoded for its place: the title and
// the summary (typed by an editor or collected from another site), the tool tip
// with title, author and time, and the picture address.
//
// Runs on the request's worker. An invalid chip gives the empty text; database
// failures throw DbError to the caller.
#ifndef FOLIREX_SITE_ARTICLE_PIC_H_
#define FOLIREX_SITE_ARTICLE_PIC_H_

#include <cstdint>
#include <optional>
#include <string>

#include "core/request_state.h"
#include "platform/db/sql_params.h"
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

// The select of a ListArticlePic chip drawn for `channel` and its values, or an
// empty select when a field fails its check. Reads the class tree on db.Conn.
BoundSql GetArticlePicSql(DatabaseState& db, const ChannelSettings& channel, const Variant& params,
                          const Variant& page_type, std::optional<int64_t> class_id,
                          std::optional<int64_t> subject_id);

// The grid that replaces the chip, drawn for the request's channel
// (state.channel): "" for an invalid chip, "<li>暂时没有本类数据！</li>" when no
// article matches.
std::string ShowArticlePic(RequestState& state, const Variant& params, const Variant& page_type,
                           std::optional<int64_t> class_id, std::optional<int64_t> subject_id);
// The same for a chip already read (ParseArticlePicChip), drawn for `channel`.
std::string ShowArticlePic(RequestState& state, const ChannelSettings& channel,
                           const ArticlePicChip& chip, const Variant& page_type,
                           std::optional<int64_t> class_id, std::optional<int64_t> subject_id);

}  // namespace folirex

#endif  // FOLIREX_SITE_ARTICLE_PIC_H_
