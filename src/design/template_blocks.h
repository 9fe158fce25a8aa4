// What the design pages (template sets, template pages, skins) share besides the channel frame
// of console/channel_page.h: the head, rows and foot of their lists, the frame of their forms,
// the content of a text area that gives back exactly what it was filled with, and the check of
// the ids their lists post for deleting.
//
// Call on the request's worker.
#ifndef FOLIREX_DESIGN_TEMPLATE_BLOCKS_H_
#define FOLIREX_DESIGN_TEMPLATE_BLOCKS_H_

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "console/channel_page.h"
#include "core/console_request.h"
#include "core/id_list.h"
#include "core/request_state.h"
#include "platform/db/recordset.h"
#include "platform/db/variant.h"

namespace folirex {

inline constexpr char kDesignParameterError[] = "提示：参数错误！";

// The head of a list whose rows carry check boxes: the form "delform" posting to `base` (the
// page's address, encoded for the attribute) + "&amp;action=" and the bulk row's choice, the
// list table and its heading row: `headings` ("<th>" markup) and the cell that checks every box.
std::string DesignListHead(std::string_view base, std::string_view headings);

// The first cells of a list row: the row's `id`, centred, and its `name` (encoded) linking to the
// edit form at `base` (encoded for the attribute).
std::string ListRowHead(std::string_view base, std::string_view id, std::string_view name);

// The last cell of a list row: the box that posts the row's `value` (attribute markup) as
// checkid, not to be ticked for a system row.
std::string CheckIdCell(std::string_view value, bool system);

// The last row of such a form: 确　定, and 返 回 to `base` (encoded for the attribute); the table
// and the form closed.
std::string FormButtonsFoot(std::string_view base);

// The ids the list form posts as checkid for deleting rows of `table` of the channel. Answers,
// nothing changed: none chosen "提示：请先选择记录再删除！"; a GET, a list that is not one of
// plain ids, or an id that is not a row of the channel the page's parameter message; a system
// row (d_sysflag) `system_refused`.
IdList PostedOwnRows(RequestState& state, const ConsoleRequest& request, std::string_view table,
                     const ConsoleChannel& channel, std::string_view system_refused);

// Reads the one row of the settings that `row` finds through `read`, on a recordset of its own
// that is closed again before the answer; without a row the request ends with the page's
// parameter message.
void ReadRowOrRefuse(RequestState& state, const db::KeptRead& row,
                     const std::function<void(const Recordset&)>& read);

// The tip box under a list: 提示： in bold blue, then one "<li>" per item (markup).
std::string TipBox(std::span<const std::string_view> items);

// The last row of a list with rows: the action select holding 删除 and the 执行 button, which
// posts the list form "delform" with the chosen action (doAction of admin/admin.js).
std::string BulkDeleteRow(int columns);

// What closes a list: the bulk-delete row when the list had `rows`, else the row 没有记录 whose
// cell spans `columns` (with `empty_cell` attributes, e.g. " align=center"); the table and the
// form closed, then the tip box of `tips`.
std::string DesignListFoot(bool rows, int columns, std::string_view empty_cell,
                           std::span<const std::string_view> tips);

// "(?,?,?)" for a non-empty list of ids, which are appended to `params` in order: an "in"
// condition whose ids are bound.
std::string BoundIds(const std::vector<int64_t>& ids, std::vector<Variant>* params);

// The content of a text area for `text`: encoded for both quote kinds, after a line feed that
// the browser drops, so that a text starting with a line feed, holding "</textarea>" or quotes
// comes back from the form unchanged.
std::string TextAreaContent(std::string_view text);

}  // namespace folirex

#endif  // FOLIREX_DESIGN_TEMPLATE_BLOCKS_H_
