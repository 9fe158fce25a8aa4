// What the skin page and the template set page share. Both keep named rows of a channel in one
// table (d_id, d_channelid, d_name, d_sysflag and one text column): they list them with check
// boxes, add and edit them through a form of the name and the text, and delete them in bulk,
// system rows refused. A page describes its table and its words once in a `NamedRowKind` and
// keeps only what is its own (the skins' stylesheet files, the sets' page picker and fall-back).
//
// Call on the request's worker with the request's open database. A refusal ends the request
// through AlertBack before anything is changed. Every id and value reaches SQL bound.
#ifndef FOLIREX_DESIGN_NAMED_ROWS_PAGE_H_
#define FOLIREX_DESIGN_NAMED_ROWS_PAGE_H_

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "console/channel_page.h"
#include "core/console_request.h"
#include "core/request_state.h"
#include "platform/db/connection.h"

namespace folirex {

// One stored or posted row.
struct NamedRow {
  int64_t id = 0;
  std::string name;
  std::string text;  // the kind's text column
};

// The table of a page and the words it shows; one constant per page.
struct NamedRowKind {
  std::string_view table;        // Vantrel_Skin
  std::string_view text_column;  // d_content
  // The navigation bar's links to the list and to the add form.
  std::string_view list_link;
  std::string_view add_link;
  // The list: its heading cells before the check-all cell, its number of columns, the
  // attributes of the cell of an empty list, and the tip box's items.
  std::string_view list_headings;
  int list_columns = 0;
  std::string_view empty_cell;
  std::span<const std::string_view> tips;
  // The cells between a row's name and its check box, given the address of the page (encoded
  // for the attribute) and the row with its text; the list reads no text without them.
  std::string (*list_cells)(std::string_view base, const NamedRow& row) = nullptr;
  // The form: the name's label, the text's label and the text area's size.
  std::string_view name_label;
  std::string_view text_label;
  std::string_view text_area_size;  // cols=60 rows=20
  // The alert for an empty text; "" when the text may be left empty.
  std::string_view text_missing;
  // The alert for deleting a system row.
  std::string_view system_refused;
};

// A page of a kind, for one request: the request, the page's channel and its own address for
// the channel. A page's own context derives from it; the request must outlive it.
struct NamedRowsPage {
  NamedRowsPage(const NamedRowKind& kind, const ConsoleRequest& request)
      : kind(&kind), request(&request) {}
  const NamedRowKind* kind;
  const ConsoleRequest* request;
  ConsoleChannel channel;
  std::string base;
};

// The navigation bar: [list link] | [add link].
void ShowNamedRowsNavi(RequestState& state, const NamedRowsPage& page);

// The list of the channel's rows in id order, in the form "delform" that posts the bulk delete.
void ShowNamedRowsList(RequestState& state, const NamedRowsPage& page);

// The add form (`row` null) or the edit form of the stored `row`.
void ShowNamedRowForm(RequestState& state, const NamedRowsPage& page, const NamedRow* row);

// The edit form of the row the request's `id` names, a row of the page's channel; else the
// page's parameter message.
void ShowNamedRowEdit(RequestState& state, const NamedRowsPage& page);

// The posted form stored as a new row of the channel (d_sysflag false); the row, with its new id.
// A GET, an empty name or a missing required text is refused.
NamedRow SaveNamedRow(RequestState& state, const NamedRowsPage& page);

// The posted form stored over the row the request's `id` names, a row of the page's channel;
// the row as stored. Refused as the save, and for an id that names no row of the channel.
NamedRow UpdateNamedRow(RequestState& state, const NamedRowsPage& page);

// The ids of the rows the list posted for deleting: each a row of the page's channel, none a
// system row (PostedOwnRows, with the kind's refusal). Nothing is changed.
std::vector<int64_t> PostedRowsToDelete(RequestState& state, const NamedRowsPage& page);

// Deletes the rows `ids` of the kind's table, in the caller's transaction if it has one.
void DeleteNamedRows(Connection& conn, const NamedRowKind& kind, const std::vector<int64_t>& ids);

// An action of a page's own (its saves, its delete, ...): the request's `action` value and the
// procedure that answers it with the page's context.
template <typename Page>
struct NamedRowsAction {
  std::string_view name;
  void (*run)(RequestState&, const Page&);
};

// The page for the request's `action`: the navigation bar, then the first of the page's `own`
// actions of that name (compared exactly), else the add or edit form ("add", "edit"), else the
// list.
template <typename Page>
void RunNamedRowsPage(RequestState& state, const Page& page, std::string_view action,
                      std::initializer_list<NamedRowsAction<Page>> own) {
  ShowNamedRowsNavi(state, page);
  for (const NamedRowsAction<Page>& named : own) {
    if (action == named.name) return named.run(state, page);
  }
  if (action == "add") return ShowNamedRowForm(state, page, nullptr);
  if (action == "edit") return ShowNamedRowEdit(state, page);
  ShowNamedRowsList(state, page);
}

}  // namespace folirex

#endif  // FOLIREX_DESIGN_NAMED_ROWS_PAGE_H_
