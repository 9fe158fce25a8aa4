#include "collection/console_bits.h"

#include "core/channel_rows.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {

std::string CollectPostScript() {
  return "<script language=javascript>function collectPost(u){var f=document.createElement("
         "'form');f.method='post';f.action=u;document.body.appendChild(f);f.submit();return "
         "false;}</script>\r\n";
}

std::string CollectNaviHead(RequestState& state, std::string_view where) {
  return "<table border=0 cellspacing=1 align=center class=navi><tr><th colspan=2>当前位置：" +
         HTMLEncode(state.channel.ProjectName) + "管理&gt;&gt;" + std::string(where) + "</th></tr>";
}

std::string PostLink(std::string_view url, std::string_view inner_html) {
  return "<a href=\"" + HtmlEscapeAttr(url) + "\" onclick=\"return collectPost(this.href)\">" +
         std::string(inner_html) + "</a>";
}

std::string ArticleCollectSet_ClassSelect(DatabaseState& db, int64_t channel,
                                          std::string_view field, std::string_view selected) {
  std::string html = "<select size=1 name='" + std::string(field) +
                     "'><option value='0'>不属于任何分类...</option>";
  Recordset rs;
  rs.Open(ChannelRowsRead("Vantrel_ArticleClass", "d_id, d_name, d_level", channel, "d_order"),
          *db.Conn);
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string id = Trim(rs["d_id"].ToString());
    html += "<option value='" + HtmlEscapeAttr(id) + "'";
    if (id == selected) html += " selected";
    html += ">";
    for (int64_t i = 0; i < rs["d_level"].ToInt64Or(0); ++i) html += "&nbsp;&nbsp;";
    html += HTMLEncode(rs["d_name"]) + "</option>";
  }
  return html + "</select>";
}

}  // namespace folirex
