// What the subject page (admin_articlesubject) and the keyword page (admin_articlekeyword)
// share (besides the frame of console/channel_page.h): the moves and the renumbering of a flat list
// ordered by d_order within a channel, the small script that posts an arrow link, and the frame
// of the add and edit forms.
//
// Runs on the request's worker with the request's open database. A refused request answers
// through AlertBack (the response ends); database failures throw DbError and unwind to the entry.
#ifndef FOLIREX_TAXONOMY_SUBJECT_KEYWORD_PAGES_H_
#define FOLIREX_TAXONOMY_SUBJECT_KEYWORD_PAGES_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "console/channel_page.h"
#include "core/console_request.h"
#include "core/request_state.h"
#include "platform/db/recordset.h"

namespace folirex {

// A table of rows ordered within their channel: d_id, d_channelid and d_order. The name is the
// caller's constant.
struct FlatList {
  std::string_view table;  // "Vantrel_ArticleSubject"
  std::string_view page;   // "admin_articlesubject"
};

// The up and down actions of a list shown largest d_order first (the up arrow posts "down").
// "up" swaps row `id` with the channel's row of the nearest smaller d_order, "down" with the
// nearest larger one; the row's own order is read from the database by id and channel (the
// posted `order` must still be a plain number, as the arrow links carry it). Only a posted form
// moves anything; a bad or foreign id answers "提示：参数错误，请返回！". After a swap: the alert
// "排序成功！" and `after_move` (the page's files); in every case the browser goes back to the
// list.
void MoveInList(RequestState& state, const ConsoleRequest& request, const FlatList& list,
                int64_t channel, bool up, const std::function<void()>& after_move);

// Numbers the channel's rows 1..n in their d_order order (equal orders by d_id). Run it inside
// the transaction of the change that made the gaps.
void RenumberList(Connection& conn, std::string_view table, int64_t channel);

// The order cell of a row: the up image posting action=down and the down image posting
// action=up, each a link carrying order, id and channel.
std::string OrderArrows(const FlatList& list, int64_t channel, const Variant& order,
                        const Variant& id);

// The channel's list, largest d_order first, in the form "delform" that posts to the list's
// address + "&action=" and the bulk row's choice: the heading row (`headings`, "<th>" markup,
// then the cell that checks every box); per row its id, its d_name linked to the edit view,
// `cells(rs)` (markup of the `columns` read besides d_id, d_name and d_order), the order arrows
// (OrderArrows) and its check box; the bulk row (删除, 执行) or the empty row across `width`
// columns; the arrows' script. Reads through a recordset of its own.
std::string FlatListTable(RequestState& state, const FlatList& list, int64_t channel,
                          std::string_view headings, std::string_view columns, int width,
                          const std::function<std::string(const Recordset&)>& cells);

// The order a new row takes: the channel's largest plus one (the count plus one while the
// channel is numbered 1..n, and still the top of the list when it is not).
int64_t NextOrder(Connection& conn, std::string_view table, int64_t channel);

// The script the arrows call: postArrowLink(a) posts an empty form to the link's address.
std::string ArrowLinkScript();

// The head of the add and edit forms: the form "form1" posting to `action` (a plain address,
// encoded here), its table and heading row (设置名称, 基本参数设置, 设置说明).
std::string FlatItemFormHead(std::string_view action);

// The row of their submit and reset buttons.
std::string FlatItemFormButtons();

}  // namespace folirex

#endif  // FOLIREX_TAXONOMY_SUBJECT_KEYWORD_PAGES_H_
