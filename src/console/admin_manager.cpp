#include "console/admin_manager.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/admin_login.h"
#include "console/admin_pager.h"
#include "console/console_text.h"
#include "core/console_request.h"
#include "core/id_list.h"
#include "core/md5.h"
#include "core/messages.h"
#include "core/text_helpers.h"
#include "platform/db/scoped_transaction.h"
#include "platform/db/sql_params.h"
#include "platform/host/host_text.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

constexpr const char* kListUrl = "?m=admin_manager";
constexpr const char* kScriptPrefix = "?m=admin_manager&action=";
constexpr int64_t kMaxNameLength = 20;
constexpr int64_t kMinPasswordLength = 6;
constexpr int64_t kMaxPasswordLength = 20;

// Text placed inside a single-quoted script string of a script block: nothing
// in it can end the string or the block.
std::string ScriptStringText(std::string_view text) {
  std::string out;
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '\\' || c == '\'' || c == '"' || c == '<' || c == '>' || c == '&' || u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", u);
      out += buf;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// A link row of the message box to one of this page's own addresses.
std::string BackLink(const std::string& url, const char* text) {
  return LinkItem(HtmlEscapeAttr(url), text);
}

// The account form of the add and edit views; the name is shown encoded. The password field
// always starts empty: the stored digest never leaves the server, and on the edit form an empty
// field keeps the password.
std::string AccountForm(const std::string& action, int name_maxlength, const Variant& name,
                        bool required_marks) {
  std::string mark = required_marks ? "<font color=\"red\">*</font> " : "";
  std::string html = "<form name=\"myForm\" method=\"post\" action=\"" + HtmlEscapeAttr(action) +
                     "\" style=\"margin:0\">\r\n"
                     "<table class=\"form\" align=\"center\" cellspacing=\"1\">\r\n"
                     "<tr><th width=\"15%\">设置名称</th><th width=\"45%\">基本参数设置</th>"
                     "<th>相关说明</th></tr>\r\n";
  html +=
      "<tr><td align=\"right\">用 户 名：</td><td><input type=\"text\" name=\"username\" "
      "maxlength=\"" +
      std::to_string(name_maxlength) + "\" size=\"35\" value=\"" + HtmlEscapeAttr(name.ToString()) +
      "\"></td><td>" + mark + "<font color=\"#888888\">用户的名称显示用</font></td></tr>\r\n";
  html +=
      "<tr><td align=\"right\">用户密码：</td><td><input type=\"password\" name=\"password\" "
      "maxlength=\"20\" size=\"35\" value=\"\" autocomplete=\"new-password\"></td><td>" +
      mark + "<font color=\"#888888\">密码最少六位</font></td></tr>\r\n";
  html +=
      "<tr><td colspan=\"3\" align=\"center\"><input type=\"submit\" name=\"btnOk\" "
      "value=\"提交\"> <input type=\"button\" value=\"返回\" "
      "onclick=\"location.href='" +
      std::string(kListUrl) + "'\"></td></tr>\r\n</table>\r\n</form>\r\n";
  return html;
}

// The name and password rules shared by the add and the edit save; `word` is
// the page's word for the name in the first two messages. An edit that leaves
// the password empty (`password_required` false) keeps the stored one.
void CheckAccount(RequestState& state, const std::string& name, const std::string& password,
                  std::string_view word, bool password_required) {
  if (name.empty()) AlertBack(state, "提示：" + std::string(word) + "不允许为空！");
  if (StrLength(Variant(name)) > kMaxNameLength) {
    AlertBack(state, "提示：" + std::string(word) + "超过最大长度！");
  }
  if (password.empty()) {
    if (!password_required) return;
    AlertBack(state, "提示：密码不允许为空！");
  }
  int64_t length = StrLength(Variant(password));
  if (length < kMinPasswordLength) AlertBack(state, "提示：用户密码最小六位！");
  if (length > kMaxPasswordLength) AlertBack(state, "提示：用户密码超过最大长度！");
}

// Whether an account other than the one of id `other_than` (0 for none: ids start at 1) holds
// `name`; the database's own comparison (letter case ignored) decides what is the same name. A
// name is both the sign-in name and the key of the grant rows: two accounts of one name would
// share rights and sign-ins.
bool NameTaken(Connection& conn, const std::string& name, int64_t other_than) {
  return conn.ExecuteScalar("select count(*) from Vantrel_Admin where d_name = ? and d_id <> ?",
                            {Variant(name), Variant(other_than)})
             .ToInt64Or(0) > 0;
}

void RefuseTakenName(RequestState& state, const std::string& name) {
  AlertBack(state, "提示：您选择的用户名" + ScriptStringText(name) + "已经存在！");
}

void DropGrantsOf(Connection& conn, const std::string& name) {
  conn.Execute("delete from Vantrel_ManagerFunction where d_adminname = ?", {Variant(name)});
}

void Manager_ShowSearch(RequestState& state, const std::string& filter) {
  state.host.Response->Write(
      "<table class=\"navi\" align=\"center\" border=\"0\" cellspacing=\"1\"><tr><td>"
      "<form name=\"myForm\" method=\"post\" action=\"?m=admin_manager\" style=\"margin:0\">"
      "用户名：<input type=\"text\" name=\"username\" size=\"6\" value=\"" +
      HtmlEscapeAttr(filter) +
      "\"> <input type=\"submit\" value=\"查询\"></form></td><td align=\"right\"><a "
      "href=\"?m=admin_manager&amp;action=add\">新增管理用户</a></td>"
      "</tr></table>\r\n");
}

void Manager_ShowList(RequestState& state, const std::string& filter) {
  AdminPager pager;
  pager.PagerPageSize = 20;
  // A "%" typed in the filter is a wildcard of the prefix.
  pager.PagerRows = {.table = "Vantrel_Admin", .where = "1 > 0", .order = "d_regtime Desc"};
  if (!filter.empty()) {
    pager.PagerRows.where += " and d_name like ?";
    pager.PagerRows.values.push_back(Variant(filter + "%"));
  }
  pager.PagerUrl = "?m=admin_manager&username=" + state.host.Server->URLEncode(filter) + "&";

  // The form wraps the whole table, so that every row's box belongs to it.
  std::string html = ListFormHead({.action = "?m=admin_manager&amp;action=del",
                                   .headings = "<th>用户名</th><th>注册时间</th><th>添加人</th>"
                                               "<th>登陆次数</th><th>最后一次时间</th>"});
  pager.Pager_Open(state);
  html += ListRows(pager, 6, [](const Recordset& rs) {
    std::string id = rs["d_id"].ToString();
    return "<tr><td><a href=\"?m=admin_manager&amp;action=edit&amp;id=" + id + "\">" +
           HTMLEncode(rs["d_name"]) + "</a></td>" +
           TextCells(rs, {"d_regtime", "d_adduser", "d_loginnum", "d_lastlogintime"}) +
           CheckCell(id) + "</tr>\r\n";
  });
  html += ListFormFoot(pager, "<option value=\"del\">删除</option>", kScriptPrefix);
  pager.Pager_Close();
  state.host.Response->Write(html);
}

void Manager_ShowAdd(RequestState& state) {
  state.host.Response->Write(AccountForm("?m=admin_manager&action=save", 20, Variant(""), true));
}

void Manager_SaveAdd(RequestState& state, const ConsoleRequest& request) {
  std::string name = FilterSql(request.values.Text("username"));
  std::string password = request.values.Raw("password");
  CheckAccount(state, name, password, "用户名", true);
  if (NameTaken(*state.db.Conn, name, 0)) RefuseTakenName(state, name);

  RequireFormPost(request);
  Connection& conn = *state.db.Conn;
  ScopedTransaction transaction(conn);
  // A new account holds only what it is given: rows left under its name (by an older version,
  // which kept a renamed account's grants under its old name) are not its own.
  DropGrantsOf(conn, name);
  Recordset rs;
  rs.Open(db::TableRows{.table = "Vantrel_Admin", .where = "1 < 0"}, conn, 1, 3);
  rs.AddNew();
  rs.Set("d_name", Variant(name));
  rs.Set("d_password", Variant(MD5(password)));
  rs.Set("d_regtime", Variant(DateTime::Now()));
  rs.Set("d_adduser", state.host.Session->Get("User_Code"));
  rs.Update();
  rs.Close();
  transaction.Commit();

  state.host.Response->Write(MessageBox(
      "新增用户成功！",
      BackLink("?m=admin_manager&action=add", "返回新增") + BackLink(kListUrl, "返回列表")));
}

void Manager_ShowEdit(RequestState& state, const ConsoleRequest& request) {
  int64_t id = request.query.Id("id", kParameterError);
  Recordset rs;
  OpenRowOrRefuse(state, rs, "Select * From Vantrel_Admin Where d_id = ?", {Variant(id)},
                  RowUse::kRead, kParameterError);
  Variant name = rs["d_name"];
  rs.Close();
  state.host.Response->Write(AccountForm(
      "?m=admin_manager&action=edit&id=" + std::to_string(id) + "&save=1", 50, name, false));
}

// The grant rows are kept under the account's name; they follow the account through a rename.
// A name the rename takes first loses any rows left under it, which were never this account's.
// A change of letter case only is no rename: the rows are the account's own and keep it.
void MoveGrants(Connection& conn, const std::string& old_name, const std::string& new_name,
                bool renamed) {
  if (renamed) DropGrantsOf(conn, new_name);
  conn.Execute("update Vantrel_ManagerFunction set d_adminname = ? where d_adminname = ?",
               {Variant(new_name), Variant(old_name)});
}

void Manager_SaveEdit(RequestState& state, const ConsoleRequest& request) {
  std::string name = FilterSql(request.values.Text("username"));
  std::string password = request.values.Raw("password");
  CheckAccount(state, name, password, "用户姓名", false);
  int64_t id = request.query.Id("id", kParameterError);
  RequireFormPost(request);

  Connection& conn = *state.db.Conn;
  ScopedTransaction transaction(conn);
  Recordset rs;
  OpenRowOrRefuse(state, rs, "Select * From Vantrel_Admin Where d_id = ?", {Variant(id)},
                  RowUse::kChange, kParameterError);
  if (NameTaken(conn, name, id)) {
    rs.Close();
    RefuseTakenName(state, name);
  }
  std::string old_name = rs["d_name"].ToString();
  // The form's password field starts empty: left so, the password stays.
  bool new_password = !password.empty();
  std::string digest = new_password ? MD5(password) : rs["d_password"].ToString();
  rs.Set("d_name", Variant(name));
  if (new_password) rs.Set("d_password", Variant(digest));
  rs.Update();
  rs.Close();
  // The database compares names without regard to letter case: only another name is a rename.
  bool renamed = !host::EqualsNoCase(old_name, name);
  if (old_name != name) MoveGrants(conn, old_name, name, renamed);
  transaction.Commit();
  // A new password or a new name signs out every other browser signed in under the account, on
  // this host at once and on any other at its next request (its stamp no longer matches). An
  // administrator who edits the account he is using stays signed in here, with his grants.
  Session& session = *state.host.Session;
  if (session.Get(kSessionAccountId).ToInt64Or(0) == id) {
    session.Set(kSessionAccountStamp, Variant(AccountStamp(name, digest)));
  }
  if (new_password || renamed) session.EndOthersWith(kSessionAccountId, std::to_string(id));

  state.host.Response->Write(
      MessageBox("信息更新成功！",
                 BackLink("?m=admin_manager&action=edit&id=" + std::to_string(id), "返回重新修改") +
                     BackLink(kListUrl, "返回列表")));
}

void Manager_Edit(RequestState& state, const ConsoleRequest& request) {
  if (FilterSql(request.query.Text("save")) != "1") {
    Manager_ShowEdit(state, request);
  } else {
    Manager_SaveEdit(state, request);
  }
}

// Deletes the accounts `ids` and the grants of every name that no other account holds, in one
// transaction.
void DeleteAccounts(Connection& conn, const std::vector<int64_t>& ids) {
  BoundSql in = IdsIn("d_id", ids);
  const std::string marks = Placeholders(ids.size());
  std::vector<Variant> twice = in.params;
  twice.insert(twice.end(), in.params.begin(), in.params.end());
  ScopedTransaction transaction(conn);
  conn.Execute(
      "delete from Vantrel_ManagerFunction where d_adminname in (select d_name from "
      "Vantrel_Admin where d_id in (" +
          marks +
          ")) and d_adminname not in (select d_name from Vantrel_Admin where "
          "d_name is not null and d_id not in (" +
          marks + "))",
      twice);
  conn.Execute("delete from Vantrel_Admin where " + in.sql, in.params);
  transaction.Commit();
}

void Manager_Delete(RequestState& state, const ConsoleRequest& request) {
  if (request.values.Text("selectdel").empty()) AlertBack(state, "提示：请选择记录再删除！");
  const IdList list = request.values.Ids("selectdel", kParameterError);

  // The account this browser is signed in with stays: deleting it would leave
  // the console without the administrator who is using it.
  // The account is known by its id, which a rename keeps.
  Connection& conn = *state.db.Conn;
  const int64_t own_id = state.host.Session->Get(kSessionAccountId).ToInt64Or(0);
  if (std::find(list.ids.begin(), list.ids.end(), own_id) != list.ids.end()) {
    AlertBack(state, "提示：不能删除当前登录的用户！");
  }
  RequireFormPost(request);

  // The grants go with the last account of their name: left behind, they would pass to any
  // account added later under the same name. A name another account still holds keeps its
  // grants.
  DeleteAccounts(conn, list.ids);
  // A browser signed in under a deleted account is signed out (on another host, at its next
  // request, when the frame finds no account).
  for (int64_t id : list.ids)
    state.host.Session->EndOthersWith(kSessionAccountId, std::to_string(id));
  state.host.Response->Redirect(kListUrl);
}

}  // namespace

void Manager_Main(RequestState& state, const ConsolePage& page) {
  const ConsoleRequest& request = page.request;
  std::string filter = FilterSql(request.values.Text("username"));
  Manager_ShowSearch(state, filter);
  auto with = [&request](void (*run)(RequestState&, const ConsoleRequest&)) {
    return [&request, run](RequestState& s) { run(s, request); };
  };
  RunAdminAction(state, request.action,
                 {{"add", Manager_ShowAdd},
                  {"save", with(Manager_SaveAdd)},
                  {"edit", with(Manager_Edit)},
                  {"del", with(Manager_Delete)}},
                 [&filter](RequestState& s) { Manager_ShowList(s, filter); });
}

}  // namespace folirex
