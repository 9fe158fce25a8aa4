#include "taxonomy/class_select.h"

#include <string>

#include "platform/db/db_error.h"
#include "platform/db/recordset.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

constexpr std::string_view kIndent = "\u3000";

bool IsPlainTableName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    const bool ok =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

std::string ArticleClass_ClassSelect(Connection& conn, const ClassSelectOptions& options) {
  if (!IsPlainTableName(options.table)) {
    throw DbError("tree select: not a table name: " + std::string(options.table));
  }
  std::string html = "<select name=\"" + HtmlEscapeAttr(options.field_name) + "\"";
  if (options.box_a != 0 && options.box_b != 0) {
    const std::string px = std::to_string(options.box_b) + "px";
    html += " size=\"2\" style=\"height:" + px + ";width:" + px + "\"";
  } else {
    html += " size=\"1\"";
  }
  if (options.disabled) html += " disabled";
  html += ">\r\n<option value=\"0\">无（作为一级分类）</option>\r\n";

  Recordset rs;
  rs.Open(db::KeptRead{.tables = {options.table},
                       .sql = "select d_id, d_name, d_level from " + std::string(options.table) +
                              " where d_channelid = ? order by d_order",
                       .values = {Variant(options.channel_id)}},
          conn);
  const std::string selected = Trim(options.selected_id);
  for (; !rs.Eof(); rs.MoveNext()) {
    const std::string id = Trim(rs["d_id"].ToString());
    std::string indent;
    for (int64_t level = rs["d_level"].ToInt64Or(0); level > 0; --level) indent += kIndent;
    html += "<option value=\"" + HtmlEscapeAttr(id) + "\"";
    if (!selected.empty() && id == selected) html += " selected";
    html += ">" + indent + HtmlEscapeText(rs["d_name"].ToString()) + "</option>\r\n";
  }
  rs.Close();
  html += "</select>";
  return html;
}

}  // namespace folirex
