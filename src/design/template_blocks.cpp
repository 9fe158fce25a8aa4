#include "design/template_blocks.h"

#include "console/admin_blocks.h"
#include "console/console_text.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "platform/db/recordset.h"
#include "platform/db/sql_params.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {

std::string DesignListHead(std::string_view base, std::string_view headings) {
  return "<form name='delform' method='post' action='" + std::string(base) +
         "&amp;action=' style='margin:0'>\r\n"
         "<table border=0 cellspacing=1 align=center class=list>\r\n<tr>" +
         std::string(headings) +
         "<th width='8%'><input type='checkbox' name='chkSelectAll' onclick=\"doCheckAll(this)\">"
         "</th></tr>\r\n";
}

std::string ListRowHead(std::string_view base, std::string_view id, std::string_view name) {
  return "<tr><td align=center>" + std::string(id) + "</td><td><a href='" + std::string(base) +
         "&amp;action=edit&amp;id=" + std::string(id) + "'>" + HtmlEscapeText(name) + "</a></td>";
}

std::string CheckIdCell(std::string_view value, bool system) {
  return "<td align=center><input type='checkbox' name='checkid' value='" + std::string(value) +
         "'" + (system ? " disabled" : "") + "></td>";
}

std::string FormButtonsFoot(std::string_view base) {
  return "<tr><td colspan=3 align=center><input type='submit' value='确　定'> <input "
         "type='button' value='返 回' onclick=\"location.href='" +
         std::string(base) + "'\"></td></tr>\r\n</table>\r\n</form>\r\n";
}

IdList PostedOwnRows(RequestState& state, const ConsoleRequest& request, std::string_view table,
                     const ConsoleChannel& channel, std::string_view system_refused) {
  if (request.values.Text("checkid").empty()) AlertBack(state, "提示：请先选择记录再删除！");
  RequireFormPost(request);
  const IdList list = request.values.Ids("checkid", kDesignParameterError);
  // A list longer than the channel's rows names some that are not its own. Checked first, so
  // that a long posted list never becomes a statement with more parameters than the database
  // takes.
  const auto posted_count = static_cast<int64_t>(list.ids.size());
  if (posted_count > 999) {
    Variant own = state.db.Conn->ExecuteScalar(
        {.tables = {table},
         .sql = "select count(*) from " + std::string(table) + " where d_channelid = ?",
         .values = {Variant(channel.id)}});
    if (own.ToInt64Or(0) < posted_count) AlertBack(state, kDesignParameterError);
  }
  int64_t mine = 0, system = 0;
  {
    // Closed before any answer below, which closes the connection.
    Recordset rs;
    std::vector<Variant> params = {Variant(channel.id)};
    std::string in = BoundIds(list.ids, &params);
    rs.Open(db::KeptRead{.tables = {table},
                         .sql = "select d_sysflag from " + std::string(table) +
                                " where d_channelid = ? and d_id in " + in,
                         .values = std::move(params)},
            *state.db.Conn);
    for (; !rs.Eof(); rs.MoveNext()) {
      ++mine;
      if (rs["d_sysflag"].ToBoolOr(false)) ++system;
    }
  }
  if (mine != posted_count) AlertBack(state, kDesignParameterError);
  if (system > 0) AlertBack(state, system_refused);
  return list;
}

void ReadRowOrRefuse(RequestState& state, const db::KeptRead& row,
                     const std::function<void(const Recordset&)>& read) {
  bool found = false;
  {
    // Closed before the refusal, which closes the connection.
    Recordset rs;
    rs.Open(row, *state.db.Conn);
    if (!rs.Eof()) {
      found = true;
      read(rs);
    }
  }
  if (!found) AlertBack(state, kDesignParameterError);
}

std::string TipBox(std::span<const std::string_view> items) {
  std::string html =
      "<table border=0 cellspacing=1 align=center class=Msg><tr><td><b class=blue>提示：</b>";
  for (std::string_view item : items) html += "<li>" + std::string(item) + "</li>";
  return html + "</td></tr></table>\r\n";
}

std::string BulkDeleteRow(int columns) {
  return "<tr><td align=right colspan=" + std::to_string(columns) +
         "> 操作：<select size=1 name=checkaction><option value='del'>删除</option></select> "
         "<input type=button value='执行' onclick=\"doAction(this)\"></td></tr>\r\n";
}

std::string DesignListFoot(bool rows, int columns, std::string_view empty_cell,
                           std::span<const std::string_view> tips) {
  std::string html = rows ? BulkDeleteRow(columns)
                          : "<tr><td colspan=" + std::to_string(columns) + std::string(empty_cell) +
                                ">没有记录</td></tr>\r\n";
  return html + "</table>\r\n</form><br>\r\n" + TipBox(tips);
}

std::string BoundIds(const std::vector<int64_t>& ids, std::vector<Variant>* params) {
  for (int64_t id : ids) params->emplace_back(id);
  return "(" + Placeholders(ids.size()) + ")";
}

std::string TextAreaContent(std::string_view text) { return "\r\n" + HtmlEscapeAttr(text); }

}  // namespace folirex
