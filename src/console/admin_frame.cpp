#include "console/admin_frame.h"

#include <string>

#include "core/database.h"

namespace folirex {

void AdminHeader(RequestState& state) {
  Response& r = *state.host.Response;
  r.Write("<html><head>");
  r.Write("<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>");
  r.Write("<title>管理平台</title>");
  r.Write("<script language=javascript src='admin/admin.js'></script>");
  r.Write("<link href=\"admin/admin.css\" rel=stylesheet type=text/css>");
  r.Write("</head>");
  r.Write("<body topMargin=0 leftmargin=0>");
}

void AdminNavi(RequestState& state, std::string_view text) {
  std::string html = "<table border=0 cellspacing=1 align=center class=navi><tr><th>";
  html += text;
  html += "</th></tr></table>";
  state.host.Response->Write(html);
}

void AdminFooter(RequestState& state) {
  state.host.Response->Write(
      "<table border=0 cellpadding=0 cellspacing=0 align=center width='100%'>"
      "<tr><td height=40></td></tr>"
      "<tr><td><hr size=1 color='#000000' width='60%' align=center></td></tr>"
      "<tr><td align=center class=copyright>Folirex 内容管理系统 &nbsp;·&nbsp; "
      "网站后台管理平台</td></tr>"
      "</table></body></html>");
  CloseDatabase(state.db);
}

void CheckPrivilege(RequestState& state, std::string_view code) {
  std::string user = state.host.Session->Get("User_Code").ToString();
  if (user.empty()) state.host.Response->Redirect("admin.asp?m=admin_login");
  // The name and code are bound as parameters: a name can never change the statement.
  state.db.Sql =
      "select * from Vantrel_ManagerFunction where d_adminname = ? and d_FunctionCode = ?";
  Recordset& rs = *state.db.Rs;
  rs.Open(state.db.Sql, {Variant(user), Variant(std::string(code))}, *state.db.Conn, 0, 1);
  bool granted = !rs.Eof();
  rs.Close();
  if (!granted) state.host.Response->Redirect("?m=admin_error&errnum=1");
}

void RunAdminAction(RequestState& state, std::initializer_list<AdminAction> actions,
                    const std::function<void(RequestState&)>& otherwise) {
  for (const AdminAction& action : actions) {
    if (state.Action == action.name) return action.run(state);
  }
  otherwise(state);
}

void AdminPage(RequestState& state, std::string_view code, std::string_view navi,
               const std::function<void()>& body) {
  CheckPrivilege(state, code);
  AdminHeader(state);
  AdminNavi(state, navi);
  body();
  AdminFooter(state);
}

}  // namespace folirex
