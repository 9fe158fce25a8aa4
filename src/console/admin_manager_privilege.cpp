#include "console/admin_manager_privilege.h"

#include <algorithm>
#include <string>
#include <vector>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/admin_pager.h"
#include "console/console_text.h"
#include "core/messages.h"
#include "core/text_helpers.h"
#include "platform/db/scoped_transaction.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

constexpr const char* kListUrl = "?m=admin_managerprivilege";
constexpr const char* kScriptPrefix = "?m=admin_managerprivilege&action=";
constexpr const char* kGranted = "授权成功！";

// Session("userlist") keeps the chosen names apart with a control character
// that no name typed into a form holds: a name with a comma in it stays one
// name.
constexpr char kNameSeparator = '\x1f';

std::string JoinNames(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) {
    if (!joined.empty()) joined += kNameSeparator;
    for (char c : name) {
      if (c != kNameSeparator) joined += c;
    }
  }
  return joined;
}

std::vector<std::string> SplitNames(const std::string& joined) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= joined.size() && !joined.empty()) {
    size_t end = joined.find(kNameSeparator, start);
    if (end == std::string::npos) end = joined.size();
    names.push_back(joined.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

// The posted codes, each through the SQL filter; empty and repeated ones are
// dropped.
std::vector<std::string> FilterCodes(const std::vector<std::string>& posted) {
  std::vector<std::string> codes;
  for (const std::string& value : posted) {
    std::string code = FilterSql(Variant(value));
    if (code.empty()) continue;
    if (std::find(codes.begin(), codes.end(), code) == codes.end()) codes.push_back(code);
  }
  return codes;
}

// Replaces every grant of each name by the codes. All or nothing: a failed
// statement leaves every name's grants as they were.
void SaveGrants(Connection& conn, const std::vector<std::string>& names,
                const std::vector<std::string>& codes) {
  ScopedTransaction transaction(conn);
  for (const std::string& name : names) {
    conn.Execute("delete from Vantrel_ManagerFunction where d_adminname = ?", {Variant(name)});
    for (const std::string& code : codes) {
      conn.Execute(
          "insert into Vantrel_ManagerFunction(d_adminname,d_functioncode) "
          "values (?,?)",
          {Variant(name), Variant(code)});
    }
  }
  transaction.Commit();
}

std::string FunctionRow(Recordset& rs, bool checked) {
  std::string desc = rs["d_desc"].ToString();
  std::string html = "<tr><td>" + HTMLEncode(rs["d_name"]) + "</td><td>";
  html += desc.empty() ? "&nbsp;" : HTMLEncode(rs["d_desc"]);
  html +=
      "</td><td align=\"center\"><input type=\"checkbox\" "
      "name=\"functioncode\" value=\"" +
      HtmlEscapeAttr(rs["d_code"].ToString()) + "\"";
  if (checked) html += " checked";
  html += "></td></tr>\r\n";
  return html;
}

std::string FunctionTableHead(const std::string& action) {
  return ListFormHead({.name = "myform",
                       .action = action,
                       .headings = "<th>功能名称</th><th>说明</th>",
                       .check_width = "8%"});
}

std::string FunctionTableButtons(bool disabled) {
  std::string html =
      "<tr><td colspan=\"3\" align=\"center\"><input "
      "type=\"submit\" value=\"授权\"";
  if (disabled) html += " disabled";
  html += "> <input type=\"button\" value=\"返回\" onclick=\"location.href='" +
          std::string(kListUrl) + "'\"></td></tr>\r\n</table>\r\n</form>\r\n";
  return html;
}

void ManagerPrivilege_ShowList(RequestState& state) {
  state.host.Session->Set("userlist", Variant(""));
  AdminPager pager;
  pager.PagerPageSize = 20;
  pager.PagerRows = {.table = "Vantrel_Admin", .order = "d_regtime Desc"};
  pager.PagerUrl = "?m=admin_managerprivilege&";

  std::string html =
      ListFormHead({.action = "?m=admin_managerprivilege&action=privilege",
                    .headings = "<th>用户名</th><th>注册时间</th><th>添加人</th><th>登陆次数</th>"
                                "<th>设置权限</th>"});
  pager.Pager_Open(state);
  html += ListRows(pager, 6, [&state](const Recordset& rs) {
    const std::string name = rs["d_name"].ToString();
    // The name is a value of the link's query: encoded, a name holding "&" or "=" cannot add
    // parameters of its own (and so cannot stand for another administrator).
    std::string set_url =
        "?m=admin_managerprivilege&action=set&id=" + state.host.Server->URLEncode(name);
    return "<tr>" + TextCells(rs, {"d_name", "d_regtime", "d_adduser", "d_loginnum"}) +
           "<td align=\"center\"><a href=\"" + HtmlEscapeAttr(set_url) + "\">设置权限</a></td>" +
           CheckCell(HtmlEscapeAttr(name)) + "</tr>\r\n";
  });
  html += ListFormFoot(pager, "<option value=\"privilege\">下一步</option>", kScriptPrefix);
  pager.Pager_Close();
  state.host.Response->Write(html);
}

void ManagerPrivilege_ShowGrant(RequestState& state, const ConsoleRequest& request) {
  std::vector<std::string> names;
  for (const std::string& value : request.values.Values("selectdel")) {
    if (!Trim(value).empty()) names.push_back(value);
  }
  if (names.empty()) AlertBack(state, "提示：请先选择用户再授权！");
  state.host.Session->Set("userlist", Variant(JoinNames(names)));

  Recordset rs;
  rs.Open("select * from Vantrel_Function where d_flag = 1 order by d_order", *state.db.Conn, 0, 1);
  std::string html = FunctionTableHead("?m=admin_managerprivilege&action=authorization");
  if (rs.Eof()) {
    html += "<tr><td colspan=\"3\" align=\"center\">请先添加后台权限</td></tr>\r\n";
  }
  for (; !rs.Eof(); rs.MoveNext()) html += FunctionRow(rs, false);
  rs.Close();
  html += FunctionTableButtons(false);
  state.host.Response->Write(html);
}

void ManagerPrivilege_SaveGrant(RequestState& state, const ConsoleRequest& request) {
  std::vector<std::string> names;
  for (const std::string& part : SplitNames(state.host.Session->Get("userlist").ToString())) {
    std::string name = FilterSql(Variant(part));
    if (!name.empty()) names.push_back(name);
  }
  // No chosen names (the list was shown again since the grant form, or the form was sent
  // twice): nothing would be saved, so the page must not say that it was.
  if (names.empty()) AlertBack(state, "提示：请先选择用户再授权！");
  RequireFormPost(request);
  std::vector<std::string> codes = FilterCodes(request.values.Values("functioncode"));
  SaveGrants(*state.db.Conn, names, codes);
  state.host.Response->Write(MessageBox(kGranted, LinkItem(kListUrl, "返回列表")));
  state.host.Session->Set("userlist", Variant(""));
}

void ManagerPrivilege_SetUser(RequestState& state, const ConsoleRequest& request) {
  // The account's name (the link carries the name, not a number).
  std::string id = FilterSql(request.query.Text("id"));
  std::string id_in_url = HtmlEscapeAttr(state.host.Server->URLEncode(id));
  std::string set_url = "?m=admin_managerprivilege&action=set&id=" + id_in_url;

  if (request.values.Raw("save") == "1") {
    RequireFormPost(request);
    SaveGrants(*state.db.Conn, {id}, FilterCodes(request.form.Values("functioncode")));
    state.host.Response->Write(
        MessageBox(kGranted, LinkItem(set_url, "返回重新修改") + LinkItem(kListUrl, "返回列表")));
    return;
  }

  std::string html =
      "<table class=\"navi\" align=\"center\" border=\"0\" "
      "cellspacing=\"1\"><tr><td>以下为用户" +
      HTMLEncode(Variant(id)) + "所具有的功能</td></tr></table>\r\n";
  html += FunctionTableHead("?m=admin_managerprivilege&action=set&save=1&id=" + id_in_url);
  Recordset rs;
  rs.Open(
      "select b.d_order, b.d_code,b.d_name,b.d_desc,a.d_adminname from "
      "(select * from "
      "Vantrel_Function where d_flag = 1) b left outer join (select "
      "d_adminname, d_functioncode "
      "from Vantrel_ManagerFunction where d_adminname=?) a on "
      "b.d_code=a.d_functioncode order by "
      "b.d_order",
      {Variant(id)}, *state.db.Conn, 0, 1);
  bool empty_catalogue = rs.Eof();
  for (; !rs.Eof(); rs.MoveNext()) html += FunctionRow(rs, !rs["d_adminname"].IsNull());
  rs.Close();
  html += FunctionTableButtons(empty_catalogue);
  state.host.Response->Write(html);
}

}  // namespace

void ManagerPrivilege_Main(RequestState& state, const ConsolePage& page) {
  auto with = [&page](void (*run)(RequestState&, const ConsoleRequest&)) {
    return [&page, run](RequestState& s) { run(s, page.request); };
  };
  RunAdminAction(state, page.request.action,
                 {{"privilege", with(ManagerPrivilege_ShowGrant)},
                  {"authorization", with(ManagerPrivilege_SaveGrant)},
                  {"set", with(ManagerPrivilege_SetUser)}},
                 ManagerPrivilege_ShowList);
}

}  // namespace folirex
