#include "design/named_rows_page.h"

#include "console/admin_blocks.h"
#include "console/console_text.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "design/template_blocks.h"
#include "platform/db/recordset.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

// The id the request names under "id"; else the page's parameter message.
int64_t RequestedId(const NamedRowsPage& page) {
  return page.request->values.Id("id", kDesignParameterError);
}

// The name and the text the form posts, stored as posted (blanks included).
NamedRow PostedRow(RequestState& state, const NamedRowsPage& page) {
  const NamedRowKind& kind = *page.kind;
  const RequestReader& posted = page.request->values;
  NamedRow row;
  row.name = posted.Raw("d_name");
  if (row.name.empty()) AlertBack(state, "提示：名称不允许为空！");
  row.text = posted.Raw(kind.text_column);
  if (row.text.empty() && !kind.text_missing.empty()) AlertBack(state, kind.text_missing);
  return row;
}

}  // namespace

void ShowNamedRowsNavi(RequestState& state, const NamedRowsPage& page) {
  std::string base = HtmlEscapeAttr(page.base);
  const std::string add = base + "&amp;action=add";
  state.host.Response->Write(
      LinkBarHtml({.table = "border=0 cellspacing=0 align=center class=navi", .gap = " | "},
                  {{base, page.kind->list_link}, {add, page.kind->add_link}}));
}

void ShowNamedRowsList(RequestState& state, const NamedRowsPage& page) {
  const NamedRowKind& kind = *page.kind;
  std::string base = HtmlEscapeAttr(page.base);
  std::string html = DesignListHead(base, kind.list_headings);
  std::string columns = "d_id, d_name, d_sysflag";
  if (kind.list_cells != nullptr) columns += ", " + std::string(kind.text_column);
  Recordset rs;
  rs.Open(db::KeptRead{.tables = {kind.table},
                       .sql = "select " + columns + " from " + std::string(kind.table) +
                              " where d_channelid = ? order by d_id",
                       .values = {Variant(page.channel.id)}},
          *state.db.Conn);
  bool rows = false;
  for (; !rs.Eof(); rs.MoveNext()) {
    rows = true;
    NamedRow row{rs["d_id"].ToInt64Or(0), rs["d_name"].ToString(), ""};
    std::string id = std::to_string(row.id);
    html += ListRowHead(base, id, row.name);
    if (kind.list_cells != nullptr) {
      row.text = rs[kind.text_column].ToString();
      html += kind.list_cells(base, row);
    }
    html += CheckIdCell(id, rs["d_sysflag"].ToBoolOr(false)) + "</tr>\r\n";
  }
  rs.Close();
  html += DesignListFoot(rows, kind.list_columns, kind.empty_cell, kind.tips);
  state.host.Response->Write(html);
}

void ShowNamedRowForm(RequestState& state, const NamedRowsPage& page, const NamedRow* row) {
  const NamedRowKind& kind = *page.kind;
  std::string base = HtmlEscapeAttr(page.base);
  std::string action =
      row ? "&amp;action=update&amp;id=" + std::to_string(row->id) : "&amp;action=save";
  std::string name_label(kind.name_label), text_label(kind.text_label);
  // A text the page requires is marked so in its note, as the name is.
  std::string text_note = kind.text_missing.empty() ? "" : "<font color=red>*</font> " + text_label;
  state.host.Response->Write(
      SettingsFormHead("form1", base + action) + "<tr><td align=right>" + name_label +
      "：</td><td><input type='text' name='d_name' size=50 value='" +
      HtmlEscapeAttr(row ? row->name : "") + "'></td><td><font color=red>*</font> " + name_label +
      "</td></tr>\r\n<tr><td align=right>" + text_label + "：</td><td><textarea name='" +
      std::string(kind.text_column) + "' " + std::string(kind.text_area_size) + ">" +
      TextAreaContent(row ? row->text : "") + "</textarea></td><td>" + text_note +
      "</td></tr>\r\n" + FormButtonsFoot(base));
}

void ShowNamedRowEdit(RequestState& state, const NamedRowsPage& page) {
  const NamedRowKind& kind = *page.kind;
  NamedRow row;
  row.id = RequestedId(page);
  ReadRowOrRefuse(state,
                  {.tables = {kind.table},
                   .sql = "select d_name, " + std::string(kind.text_column) + " from " +
                          std::string(kind.table) + " where d_id = ? and d_channelid = ?",
                   .values = {Variant(row.id), Variant(page.channel.id)}},
                  [&](const Recordset& rs) {
                    row.name = rs["d_name"].ToString();
                    row.text = rs[kind.text_column].ToString();
                  });
  ShowNamedRowForm(state, page, &row);
}

NamedRow SaveNamedRow(RequestState& state, const NamedRowsPage& page) {
  RequireFormPost(*page.request);
  const NamedRowKind& kind = *page.kind;
  NamedRow row = PostedRow(state, page);
  Recordset rs;
  rs.Open(db::TableRows{.table = std::string(kind.table), .where = "1 < 0"}, *state.db.Conn, 1, 3);
  rs.AddNew();
  rs.Set("d_channelid", Variant(page.channel.id));
  rs.Set("d_name", Variant(row.name));
  rs.Set(kind.text_column, Variant(row.text));
  rs.Set("d_sysflag", Variant(false));
  rs.Update();
  row.id = rs["d_id"].ToInt64Or(0);
  return row;
}

NamedRow UpdateNamedRow(RequestState& state, const NamedRowsPage& page) {
  RequireFormPost(*page.request);
  const NamedRowKind& kind = *page.kind;
  int64_t id = RequestedId(page);
  NamedRow row = PostedRow(state, page);
  row.id = id;
  // A row of another channel is refused: a skin's file lies in its own channel's folder.
  int64_t changed = state.db.Conn->Execute(
      "update " + std::string(kind.table) + " set d_name = ?, " + std::string(kind.text_column) +
          " = ? where d_id = ? and d_channelid = ?",
      {Variant(row.name), Variant(row.text), Variant(row.id), Variant(page.channel.id)});
  if (changed == 0) AlertBack(state, kDesignParameterError);
  return row;
}

std::vector<int64_t> PostedRowsToDelete(RequestState& state, const NamedRowsPage& page) {
  return PostedOwnRows(state, *page.request, page.kind->table, page.channel,
                       page.kind->system_refused)
      .ids;
}

void DeleteNamedRows(Connection& conn, const NamedRowKind& kind, const std::vector<int64_t>& ids) {
  std::vector<Variant> params;
  std::string in = BoundIds(ids, &params);
  conn.Execute("delete from " + std::string(kind.table) + " where d_id in " + in, params);
}

}  // namespace folirex
