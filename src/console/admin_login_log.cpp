#include "console/admin_login_log.h"

#include <string>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/admin_pager.h"
#include "console/console_text.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "core/text_helpers.h"
#include "platform/db/sql_params.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

constexpr const char* kLogSelect =
    "select Vantrel_Log.d_adminname,Vantrel_Log.d_ip,Vantrel_Log.d_logintime,"
    "Vantrel_Log.d_thisloginnum,Vantrel_Admin.d_name,Vantrel_Admin.D_LoginNum,Vantrel_Log.d_id "
    "from Vantrel_Log inner join Vantrel_Admin on "
    "Vantrel_Log.d_adminname=Vantrel_Admin.d_name";

bool AllAdministrators(const std::string& filter) { return filter.empty() || filter == "0"; }

void LoginLog_ShowFilter(RequestState& state, const std::string& filter) {
  state.host.Response->Write(
      "<table class=\"navi\" align=\"center\" border=\"0\" cellspacing=\"1\"><tr><td>"
      "<form name=\"selForm\" method=\"post\" style=\"margin:0\">选择管理员：" +
      LoginLog_AdminSelect(state.db, state.host, filter) + "</form></td></tr></table>\r\n");
}

void LoginLog_ShowList(RequestState& state, const std::string& filter) {
  const std::string filter_in_url = state.host.Server->URLEncode(filter);
  AdminPager pager;
  pager.PagerPageSize = 20;
  pager.PagerSql = kLogSelect;
  if (!AllAdministrators(filter)) {
    pager.PagerSql += " where Vantrel_Admin.d_name=?";
    pager.PagerParams.push_back(Variant(filter));
  }
  pager.PagerSql += " order by Vantrel_Log.d_logintime desc";
  pager.PagerUrl = "?m=admin_loginlog&d_name=" + filter_in_url + "&";
  pager.Pager_Open(state);

  const std::string action = HtmlEscapeAttr("?m=admin_loginlog&action=del&d_name=" + filter_in_url);
  std::string html = ListFormHead(
      {.action = action,
       .headings =
           "<th>管理员</th><th>登陆时间</th><th>登陆IP</th><th>登陆累计</th><th>登陆总数</th>"});
  // The address may be a forwarding proxy's header, as the client sent it.
  html += ListRows(pager, 6, [](const Recordset& rs) {
    return "<tr>" +
           TextCells(rs, {"d_adminname", "d_logintime", "d_ip", "d_thisloginnum", "D_LoginNum"}) +
           CheckCell(rs["d_id"].ToString()) + "</tr>\r\n";
  });
  if (pager.PagerRecordCount > 0) {
    html += "<input type=\"hidden\" name=\"d_name\" value=\"" + HtmlEscapeAttr(filter) + "\">\r\n";
  }
  html += "</table>\r\n</form>\r\n";
  if (pager.PagerRecordCount > 0) {
    html +=
        "<table class=\"list\" align=\"center\" "
        "cellspacing=\"1\">\r\n<tr><td>" +
        pager.PagerBar +
        "</td><td align=\"right\" nowrap>操作：<select name=\"selaction\" size=\"1\">"
        "<option value=\"del\">删除</option></select> <input type=\"button\" value=\"执行\" "
        "onclick=\"if(confirm('您确定删除记录吗？')){document.delform.submit();}\">"
        "</td></tr>\r\n</table>\r\n";
  }
  state.host.Response->Write(html);
  pager.Pager_Close();
}

void LoginLog_Delete(RequestState& state, const ConsoleRequest& request,
                     const std::string& filter) {
  if (request.values.Text("selectdel").empty()) {
    AlertBack(state, "提示：您没有选择要删除的记录，请返回！");
  }
  const IdList list = request.values.Ids("selectdel", kParameterError);
  RequireFormPost(request);
  BoundSql in = IdsIn("d_id", list.ids);
  state.db.Conn->Execute("delete from Vantrel_Log where " + in.sql, in.params);
  state.host.Response->Redirect("?m=admin_loginlog&d_name=" + state.host.Server->URLEncode(filter));
}

}  // namespace

std::string LoginLog_AdminSelect(DatabaseState& db, const HostObjects& host,
                                 std::string_view selected) {
  std::string html =
      "<select name=\"select\" onchange=\"var jmpURL=this.options[this.selectedIndex].value ; "
      "if(jmpURL!='') {document.selForm.action= '?m=admin_loginlog&d_name=' + "
      "jmpURL;document.selForm.submit();} else {this.selectedIndex=0 ;}\">"
      "<option>选择管理员</option>";
  html += "<option value=\"0\"";
  if (selected == "0") html += " selected";
  html += ">所有日志</option>";

  Recordset rs;
  rs.Open("select d_name from Vantrel_Admin", *db.Conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string name = rs["d_name"].ToString();
    // The handler appends the value to an address as it stands: encoded, a name
    // holding "&", "#" or "+" still reaches the page whole.
    html += "<option value=\"" + HtmlEscapeAttr(host.Server->URLEncode(name)) + "\"";
    if (name == selected) html += " selected";
    html += ">" + HTMLEncode(Variant(name)) + "</option>";
  }
  rs.Close();
  html += "</select>";
  return html;
}

void LoginLog_Main(RequestState& state, const ConsolePage& page) {
  std::string filter = FilterSql(page.request.values.Text("d_name"));
  LoginLog_ShowFilter(state, filter);
  RunAdminAction(state, page.request.action,
                 {{"del", [&](RequestState& s) { LoginLog_Delete(s, page.request, filter); }}},
                 [&filter](RequestState& s) { LoginLog_ShowList(s, filter); });
}

}  // namespace folirex
