// The tree select of a channel's classes: a drop-down (or a list box) over the rows of a tree
// table of one channel, in pre-order, each name indented by one ideographic space (U+3000) per
// level. The class forms (parent class, move form) and other console forms that pick a class use
// it.
//
// Reads through a recordset of its own on the connection, which must be open. Names are written
// as element text, the field name as an attribute value. Request thread only. Database failures
// throw DbError; a table name that is not a plain name throws DbError before any SQL is built.
#ifndef FOLIREX_TAXONOMY_CLASS_SELECT_H_
#define FOLIREX_TAXONOMY_CLASS_SELECT_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/db/connection.h"

namespace folirex {

struct ClassSelectOptions {
  // A table with d_id, d_name, d_level, d_channelid and d_order.
  std::string_view table = "Vantrel_ArticleClass";
  int64_t channel_id = 0;
  std::string_view field_name = "d_pid";
  // The option whose d_id equals this text is selected; the empty text selects none.
  std::string_view selected_id{};
  // Both not 0: a list box (size 2) whose height and width are box_b pixels; otherwise a
  // drop-down (size 1). box_a only takes part in that choice.
  int box_a = 0;
  int box_b = 0;
  bool disabled = false;
};

// "<select name=... size=...[ style=...][ disabled]>", the option value 0 "无（作为一级分类）", one
// option per row of the channel ordered by d_order, "</select>".
std::string ArticleClass_ClassSelect(Connection& conn, const ClassSelectOptions& options);

}  // namespace folirex

#endif  // FOLIREX_TAXONOMY_CLASS_SELECT_H_
