#include "design/template_blocks.h"

#include "console/admin_blocks.h"
#include "console/console_text.h"
#include "console/id_list.h"
#include "core/messages.h"
#include "platform/db/recordset.h"
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

std::string CheckIdCell(std::string_view value, bool system) {
  return "<td align=center><input type='checkbox' name='checkid' value='" + std::string(value) +
         "'" + (system ? " disabled" : "") + "></td>";
}

std::string FormTableHead() {
  return "\r\n<table border=0 cellspacing=1 align=center class=form>\r\n"
         "<tr><th width='15%'>设置名称</th><th width='55%'>基本参数设置</th>"
         "<th width='30%'>设置说明</th></tr>\r\n";
}

std::string FormButtonsFoot(std::string_view base) {
  return "<tr><td colspan=3 align=center><input type='submit' value='确　定'> <input "
         "type='button' value='返 回' onclick=\"location.href='" +
         std::string(base) + "'\"></td></tr>\r\n</table>\r\n</form>\r\n";
}

IdList PostedOwnRows(RequestState& state, std::string_view table, const ConsoleChannel& channel,
                     std::string_view system_refused) {
  std::string posted = (*state.host.Request)("checkid");
  if (Trim(posted).empty()) AlertBack(state, "提示：请先选择记录再删除！");
  RequireFormPost(state);
  IdList list;
  if (!ParseIdList(posted, &list)) AlertBack(state, kDesignParameterError);
  int64_t mine = 0, system = 0;
  {
    // Closed before any answer below, which closes the connection.
    Recordset rs;
    rs.Open("select d_sysflag from " + std::string(table) +
                " where d_channelid = " + channel.id_text + " and d_id in (" + list.sql + ")",
            *state.db.Conn, 0, 1);
    for (; !rs.Eof(); rs.MoveNext()) {
      ++mine;
      if (rs["d_sysflag"].ToBoolOr(false)) ++system;
    }
  }
  if (mine != static_cast<int64_t>(list.ids.size())) AlertBack(state, kDesignParameterError);
  if (system > 0) AlertBack(state, system_refused);
  return list;
}

std::string TipBox(std::initializer_list<std::string_view> items) {
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

std::string TextAreaContent(std::string_view text) { return "\r\n" + HtmlEscapeAttr(text); }

int64_t CharacterCount(std::string_view text) {
  int64_t count = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

}  // namespace folirex
