#include "taxonomy/channel_bar.h"

#include <string>

#include "core/script_link.h"
#include "core/site_files.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/text/vb_text.h"
#include "taxonomy/channel_record.h"

namespace folirex {
namespace {

// One channel's link, or nothing for an internal channel whose pages are neither dynamic nor
// static (a generation mode no form offers).
std::string ChannelLink(const Recordset& rs, std::string_view server_path) {
  const std::string name = HtmlEscapeText(rs["d_channelname"].ToString());
  if (rs["d_channeltype"].ToInt64Or(0) != 1) {
    // Outside links carry no class, title or target.
    return "|&nbsp;<a href='" + HtmlEscapeAttr(SafeLink(rs["d_linkurl"].ToString())) + "'>" + name +
           "</a>&nbsp;";
  }
  std::string target;
  const int64_t generate = rs["d_generatehtml"].ToInt64Or(-1);
  if (generate == 0) {
    target = std::string(server_path) + "asp.asp?channelid=" + rs["d_id"].ToString();
  } else if (generate == 1 || generate == 2) {
    const std::string dir = Trim(rs["d_channeldir"].ToString());
    target = std::string(server_path) + (dir.empty() ? "" : dir + "/") + "default" +
             FileExtName(rs["d_firstfileext"]);
  } else {
    return "";
  }
  const std::string open = rs["d_opentype"].ToInt64Or(0) == 1 ? "target='_blank'" : "";
  return "|&nbsp;<a class='table_channelmenu_link' href='" + HtmlEscapeAttr(target) + "' title=\"" +
         HtmlEscapeAttr(rs["d_desc"].ToString()) + "\" " + open + ">" + name + "</a>&nbsp;";
}

}  // namespace

std::string ChannelMenuHtml(Connection& conn, std::string_view server_path) {
  std::string bar =
      "<table align=center class='table_channelmenu_main' cellspacing=0 cellpadding=0><tr><td "
      "class='table_channelmenu_content'>|&nbsp;<a class='table_channelmenu_link' href='" +
      HtmlEscapeAttr(server_path) + "'>网站首页</a>&nbsp;";
  int count = 0;
  Recordset rs;
  rs.Open(
      "select * from Vantrel_Channel where D_ShowNameFlag = true and d_disabledflag = false "
      "order by d_order, d_id",
      conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    ++count;
    bar += ChannelLink(rs, server_path);
  }
  rs.Close();
  if (count == 1) return "";
  return bar + "|&nbsp;</td></tr></table>";
}

std::string ChannelMenuScript(Connection& conn, std::string_view server_path) {
  return HtmlToJsWrite(ChannelMenuHtml(conn, server_path));
}

std::string ChannelMenuScriptOfSite(Connection& conn) {
  // The install folder as the configuration gives it, completed as every request completes it.
  std::string install = conn.ExecuteScalar({.tables = {"Vantrel_Config"},
                                            .sql = "select d_installdir from Vantrel_Config"})
                            .ToString();
  std::string trimmed = Trim(install);
  std::string server_path = !trimmed.empty() && trimmed.back() == '/' ? install : install + "/";
  return ChannelMenuScript(conn, server_path);
}

bool Channel_CreateMenuJs(RequestState& state) {
  const std::string server_path = state.host.Application->Get("server_path").ToString();
  const std::string script = ChannelMenuScript(*state.db.Conn, server_path);
  return CreateFolderPath(state.host, std::string_view("js")) &&
         WriteTextFile(state.host, kChannelMenuFile, script);
}

}  // namespace folirex
