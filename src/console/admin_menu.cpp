#include "console/admin_menu.h"

#include <string>

#include "console/admin_frame.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/text/html_escape.h"

namespace folirex {
namespace {

constexpr const char* kCloseGroup = "</table>\r\n</td></tr>\r\n</table>\r\n";

std::string MenuHead(int64_t n, const Variant& name) {
  std::string id = "left_" + std::to_string(n);
  std::string html;
  html +=
      "<table width=\"100%\" border=\"0\" cellpadding=\"0\" cellspacing=\"0\">"
      "<tr><td height=\"4\"></td></tr></table>\r\n";
  html += "<table class=\"Menu\" align=\"center\" cellspacing=\"0\">\r\n";
  html +=
      "<tr><th align=\"center\" style=\"cursor:pointer\" "
      "onclick=\"javascript:menu_tree('" +
      id + "');\">≡ " + HTMLEncode(name) + " ≡</th></tr>\r\n";
  html += "<tr id=\"" + id + "\" style=\"display:none;\"><td>\r\n";
  html +=
      "<table width=\"100%\" border=\"0\" cellpadding=\"0\" "
      "cellspacing=\"0\">\r\n";
  return html;
}

std::string SignOutItem() {
  return "<tr><td><img src=\"admin/menu_1_Tb.gif\" border=\"0\" "
         "align=\"absmiddle\" "
         "alt=\"注销登陆\" title=\"注销登陆\">&nbsp;"
         "<a href=\"?m=admin_login&action=out\" target=\"_parent\" "
         "onclick=\"return "
         "confirm('提示：您确定要退出系统吗?');\">注销登陆</a></td></tr>\r\n";
}

std::string MenuItem(const Variant& name, const Variant& link, bool new_window) {
  std::string tip = HtmlEscapeAttr(name.ToString());
  std::string html =
      "<tr><td><img src=\"admin/menu_1_Tb.gif\" border=\"0\" "
      "align=\"absmiddle\" "
      "alt=\"" +
      tip + "\" title=\"" + tip + "\">&nbsp;<a href=\"" + HtmlEscapeAttr(link.ToString()) + "\"";
  // No target attribute at all for the work frame: an empty one names the menu
  // frame itself in current browsers, while the base target is what the row
  // means.
  if (new_window) html += " target=\"_blank\"";
  html += ">" + HTMLEncode(name) + "</a></td></tr>\r\n";
  return html;
}

void Menu_TreeScript(RequestState& state) {
  state.host.Response->Write(
      "<script language=javascript>\r\n"
      "function menu_tree(meval){\r\n"
      "  var e=document.getElementById(meval);\r\n"
      "  if(!e)return;\r\n"
      "  if(e.style.display=='none'){\r\n"
      "    e.style.display='';\r\n"
      "  }else{\r\n"
      "    e.style.display='none';\r\n"
      "  }\r\n"
      "}\r\n"
      "</script>\r\n");
}

void Menu_ShowMenu(RequestState& state) {
  std::string html;
  html +=
      "<html>\r\n<head>\r\n<title>管理后台</title>\r\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; "
      "charset=gb2312\">\r\n"
      "<link href=\"admin/admin.css\" rel=\"stylesheet\" type=\"text/css\">\r\n"
      "<base target=\"center\">\r\n"
      "</head>\r\n<body topmargin=\"0\" leftmargin=\"0\" "
      "class=\"menubody\">\r\n";

  Recordset rs;
  rs.Open(
      db::KeptRead{.tables = {"Vantrel_MenuSet"},
                   .sql = "select * from Vantrel_MenuSet where d_displayflag = 1 order by d_order"},
      *state.db.Conn);
  int64_t n = 0;
  bool group_open = false;
  for (; !rs.Eof(); rs.MoveNext()) {
    ++n;
    bool new_window = rs["d_openflag"].Equals(Variant(1));
    if (rs["d_topflag"].Equals(Variant(1))) {
      if (group_open) html += kCloseGroup;
      html += MenuHead(n, rs["d_name"]);
      group_open = true;
    } else if (rs["d_linkurl"].ToString().find("m=admin_login&action=out") != std::string::npos) {
      html += SignOutItem();
    } else {
      html += MenuItem(rs["d_name"], rs["d_linkurl"], new_window);
    }
  }
  rs.Close();
  // Items before the first head have no group of their own to close.
  if (group_open) html += kCloseGroup;
  html +=
      "<table width=\"90%\" height=\"2\" border=\"0\" align=\"center\" "
      "cellpadding=\"0\" "
      "cellspacing=\"0\"><tr><td></td></tr></table>\r\n"
      "</body>\r\n</html>\r\n";
  state.host.Response->Write(html);
  Menu_TreeScript(state);
}

}  // namespace

void Menu_Main(RequestState& state) { Menu_ShowMenu(state); }

}  // namespace folirex
