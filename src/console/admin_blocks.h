// Blocks of markup the console pages share: the link bar over a page, the message box a save
// answers with and its link items, the head of a settings form and its text boxes, and the parts of
// a checked list (rows with a check box each, over an AdminPager): the head of its form with the
// check-all box, its rows and cells, the row of an empty list, the action bar under it and the
// script that posts the list form to the chosen action.
//
// Every argument is written as given: callers pass markup (the console's own constant
// addresses and texts, or values already encoded for their place with HtmlEscapeAttr or
// HTMLEncode). Field values that TextCells reads and the values of text boxes are encoded there.
// Call on the request's worker; only ListRows moves a recordset.
#ifndef FOLIREX_CONSOLE_ADMIN_BLOCKS_H_
#define FOLIREX_CONSOLE_ADMIN_BLOCKS_H_

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "console/admin_pager.h"
#include "platform/db/recordset.h"

namespace folirex {

// The box of a done action: the message in red bold, then the links (LinkItem rows).
std::string MessageBox(std::string_view message, std::string_view links);

// One link row of a message box: `<li><a href="HREF">TEXT</a></li>`.
std::string LinkItem(std::string_view href, std::string_view text);

// LinkItem to a page's own address (a plain URL, encoded here for the attribute).
std::string LinkItemTo(std::string_view url, std::string_view text);

// The head of an add, edit or settings form: the form `name` posting to `action` (encoded for the
// attribute), then its table and heading row (设置名称, 基本参数设置, 设置说明).
std::string SettingsFormHead(std::string_view name, std::string_view action);

// One row of such a form: the label, the control, then the mark in red ("*" for a required
// field) and the help in gray.
std::string SettingsRow(std::string_view label, std::string_view control, std::string_view mark,
                        std::string_view help);

// A one-line text box of such a form: `<input type=text name='NAME' size=SIZE value='VALUE'>`,
// with `attributes` (markup from a leading space, " maxlength=50") after the size and the value
// (text) encoded for the attribute.
std::string TextInput(std::string_view name, std::string_view value, int size,
                      std::string_view attributes = "");

// How a console page writes its attributes: bare values with its links' addresses in single
// quotes (align=right, href='...'), or every value in double quotes (align="right", href="...").
enum class AttributeQuotes { kBare, kDouble };

// One link of a link bar: its address (encoded for the attribute), any further attributes of the
// link (markup, from a leading space) and its text (markup).
struct BarLink {
  std::string_view href;
  std::string_view text;
  std::string_view attributes = "";
};

// The bar of links over a console page: the table with `table` as its attributes, written as the
// page has them, one right-aligned cell holding each link in square brackets with `gap` between
// them, then "<br>" and `end` (a line break; some pages write none).
struct LinkBar {
  std::string_view table;
  AttributeQuotes quotes = AttributeQuotes::kBare;
  std::string_view gap = "&nbsp;&nbsp;";
  std::string_view end = "\r\n";
};
std::string LinkBarHtml(const LinkBar& bar, std::initializer_list<BarLink> links);

// A list whose rows carry check boxes: the form around the whole table (so that every row's box
// belongs to it), the table and its heading row, whose last cell checks every box.
struct ListForm {
  std::string_view name = "delform";
  std::string_view action;    // the form's address, encoded for the attribute
  std::string_view headings;  // the "<th>...</th>" cells before the check-all cell
  std::string_view check_width = "5%";
};
std::string ListFormHead(const ListForm& form);

// The list's only row when it has none to show, across `columns` columns.
std::string EmptyListRow(int columns);

// The rows of a list over an open pager: `row` writes each of at most PagerPageSize rows (the
// pager's recordset standing on it, "<tr>" to "</tr>\r\n"); a list without rows gets
// EmptyListRow(columns).
std::string ListRows(AdminPager& pager, int columns,
                     const std::function<std::string(const Recordset&)>& row);

// Cells of element text: "<td>" + HTMLEncode(field) + "</td>" for each named field of the row.
std::string TextCells(const Recordset& rs, std::initializer_list<std::string_view> fields);

// The last cell of a checked row: the box that posts `value` (attribute markup) as "selectdel".
std::string CheckCell(std::string_view value);

// The table under a list: the pager's bar, then a form that picks an action from `options`
// ("<option>" markup) and runs it through checkAction (ListActionScript).
std::string ListActionBar(std::string_view pager_bar, std::string_view options);

// The end of a checked list with an action bar: its table and form closed, the action bar when
// the pager found rows, then the action script posting to `action_prefix` + the action.
std::string ListFormFoot(const AdminPager& pager, std::string_view options,
                         std::string_view action_prefix);

// The script of ListActionBar: checkAction(sAction) asks for confirmation, then posts the list
// form "delform" to `action_prefix` + sAction; with no box checked it alerts and posts nothing.
std::string ListActionScript(std::string_view action_prefix);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_ADMIN_BLOCKS_H_
