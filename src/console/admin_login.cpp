#include "console/admin_login.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "console/admin_frame.h"
#include "console/console_text.h"
#include "console/login_throttle.h"
#include "core/md5.h"
#include "core/messages.h"
#include "core/text_helpers.h"
#include "platform/host/host_text.h"
#include "platform/text/codepage.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

constexpr char kWrongPassword[] = "提示：您输入的密码不正确！";

void LogFailure(std::string_view name, std::string_view address, std::string_view what) {
  std::string line = "folirex: " + FormatDate(DateTime::Now(), 1) + " console sign-in failed: \"" +
                     LogText(name) + "\" from " + LogText(address) + " (" + std::string(what) +
                     ")\n";
  std::cerr << line << std::flush;
}

// Counts the failure, logs it, and answers the page's message.
[[noreturn]] void Refuse(RequestState& state, LoginThrottle& throttle, const std::string& name,
                         const std::string& address, const char* reason, const char* message) {
  int failures = throttle.Fail(name, address);
  LogFailure(name, address, std::string(reason) + ", failure " + std::to_string(failures));
  AlertBack(state, message);
}

// The stored account of a sign-in name: its id, the name as stored, its password digest and its
// count of sign-ins so far.
struct StoredAccount {
  int64_t id = 0;
  Variant name;
  std::string password;
  int64_t login_num = 0;
};

std::optional<StoredAccount> FindAccount(Connection& conn, const std::string& usercode) {
  Recordset rs;
  rs.Open("Select * From Vantrel_Admin Where D_Name = ?", {Variant(usercode)}, conn, 0, 1);
  if (rs.Eof()) return std::nullopt;
  return StoredAccount{rs["d_id"].ToInt64Or(0), rs["D_Name"], rs["D_Password"].ToString(),
                       rs["d_loginnum"].ToInt64Or(0)};
}

// Raises the account's sign-in count and keeps its time and address, and writes the sign-in's
// row of the login log.
void RecordSignIn(Connection& conn, const std::string& usercode, const std::string& address,
                  int64_t login_num) {
  Variant now(DateTime::Now());
  conn.Execute(
      "update Vantrel_Admin set D_LoginNum = D_LoginNum + "
      "1,D_LastLoginTime = ?, "
      "D_LastLoginIP = ?  where D_Name = ?",
      {now, Variant(address), Variant(usercode)});
  Recordset rs;
  rs.Open(db::TableRows{.table = "Vantrel_Log", .where = "1 < 0"}, conn, 1, 3);
  rs.AddNew();
  rs.Set("d_ip", Variant(address));
  rs.Set("d_adminname", Variant(usercode));
  rs.Set("d_thisloginnum", Variant(login_num + 1));
  rs.Set("d_logintime", now);
  rs.Update();
  rs.Close();
}

void Login_Check(RequestState& state, const ConsoleRequest& request) {
  // Only the posted form signs in: a password in the address would stay in server logs, the
  // browser's history and the Referer of the next page. A GET is refused before anything is read,
  // so it is neither counted nor logged as a failed sign-in.
  RequireFormPost(request);
  std::string usercode = FilterSql(request.values.Text("usercode"));
  std::string password = request.values.Text("password");
  // The client address as the host resolved it (a trusted proxy's forwarding header included).
  std::string address = request.values.ClientAddress();

  // A pair of name and address that failed too often waits, and is told what a wrong password
  // is told: the password is not even checked.
  LoginThrottle& throttle =
      state.host.Application->Shared<LoginThrottle>(LoginThrottle::kSharedName);
  Clock::Duration wait = throttle.Wait(usercode, address);
  if (wait > Clock::Duration::zero()) {
    auto seconds = std::chrono::ceil<std::chrono::seconds>(wait).count();
    LogFailure(usercode, address,
               "refused unchecked, " + std::to_string(seconds) + " s left to wait");
    AlertBack(state, kWrongPassword);
  }

  // Name and address come from the client: they reach the statements as bound
  // values only.
  std::optional<StoredAccount> account = FindAccount(*state.db.Conn, usercode);
  if (!account) {
    Refuse(state, throttle, usercode, address, "no such name", "提示：您输入的用户不存在！");
  }
  if (MD5(password) != account->password) {
    Refuse(state, throttle, usercode, address, "wrong password", kWrongPassword);
  }
  throttle.Clear(usercode, address);

  // A session id the browser held before signing in (perhaps one handed to it
  // by someone else) must be worth nothing once it is signed in.
  state.host.Session->RenewId();
  state.host.Session->Set("User_Name", account->name);
  state.host.Session->Set(kSessionAccountId, Variant(account->id));
  state.host.Session->Set(kSessionAccountStamp,
                          Variant(AccountStamp(account->name.ToString(), account->password)));
  RecordSignIn(*state.db.Conn, usercode, address, account->login_num);

  state.host.Session->Set("User_Code", Variant(usercode));
  state.host.Response->Redirect("?m=admin_index");
}

void Login_FormScript(RequestState& state) {
  state.host.Response->Write(
      "<script language=javascript>\r\n"
      "function checkForm(){\r\n"
      "  var f=document.loginform;\r\n"
      "  if(f.usercode.value==''){\r\n"
      "    alert('用户名不允许为空');\r\n"
      "    f.usercode.focus();\r\n"
      "    return false;\r\n"
      "  }\r\n"
      "  if(f.password.value==''){\r\n"
      "    alert('用户密码不允许为空');\r\n"
      "    f.password.focus();\r\n"
      "    return false;\r\n"
      "  }\r\n"
      "  f.submit();\r\n"
      "}\r\n"
      "</script>\r\n");
}

// Whether the settings ask for the on-screen keyboard for the password.
bool SoftKeyEnabled(Connection& conn) {
  Recordset rs;
  rs.Open(db::KeptRead{.tables = {"Vantrel_Config"},
                       .sql = "select D_EnableSoftKey from Vantrel_Config"},
          conn);
  return !rs.Eof() && rs["D_EnableSoftKey"].Equals(Variant(1));
}

// The login page up to the cell that holds the form.
std::string LoginPageTop() {
  std::string html =
      "<html>\r\n<head>\r\n<title>后台管理系统</title>\r\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; "
      "charset=gb2312\">\r\n"
      "<link href=\"admin/login.css\" rel=\"stylesheet\" type=\"text/css\">\r\n"
      "<script language=\"javascript\" "
      "src=\"admin/softkeyboard.js\"></script>\r\n"
      "</head>\r\n";
  // The focus call reaches the field through the document: a bare "usercode"
  // (an element found by its id alone) is not something every browser resolves.
  html +=
      "<body bgcolor=\"#d9ddf7\" leftmargin=\"0\" topmargin=\"0\" "
      "marginwidth=\"0\" "
      "marginheight=\"0\" "
      "onload=\"document.getElementById('usercode').focus();\">\r\n"
      "<table width=\"100%\" height=\"60\" border=\"0\" cellpadding=\"0\" "
      "cellspacing=\"0\">"
      "<tr><td><img src=\"admin/spacer.gif\" width=\"1\" "
      "height=\"60\"></td></tr></table>\r\n"
      "<table width=\"732\" border=\"0\" align=\"center\" "
      "cellpadding=\"0\" cellspacing=\"0\">"
      "\r\n"
      "<tr><td width=\"352\"><img src=\"admin/2_10.gif\" width=\"352\" "
      "height=\"110\"></td>"
      "<td width=\"380\"><img src=\"admin/2_11.gif\" width=\"380\" "
      "height=\"110\"></td></tr>\r\n"
      "<tr><td colspan=\"2\" background=\"admin/1_12.gif\" width=\"732\" "
      "height=\"170\" "
      "valign=\"middle\">\r\n";
  return html;
}

// The sign-in form; with `soft_key` the password is typed on the on-screen keyboard.
std::string LoginForm(bool soft_key) {
  // Enter in either field signs in: the form has no submit button of its own.
  std::string html =
      "<form name=\"loginform\" method=\"post\" "
      "action=\"?m=admin_login&action=check\" "
      "target=\"_top\" onkeydown=\"if(event.keyCode==13)return checkForm();\" "
      "style=\"margin:0\">\r\n"
      "<table width=\"50%\" border=\"0\" align=\"center\" cellpadding=\"3\" "
      "cellspacing=\"0\">"
      "\r\n"
      "<tr><td width=\"30%\" align=\"right\" class=\"c92\">用户名</td>"
      "<td class=\"c92\"><input type=\"text\" name=\"usercode\" "
      "id=\"usercode\" size=\"16\" "
      "class=\"unnamed1\"></td></tr>\r\n"
      "<tr><td align=\"right\" class=\"c92\">密　码</td><td class=\"c92\">";
  if (soft_key) {
    html +=
        "<input type=\"password\" name=\"password\" id=\"password\" "
        "size=\"16\" "
        "class=\"unnamed1\" readonly "
        "onfocus=\"password1=this;showkeyboard();this.readOnly=1;Calc."
        "password.value=''\">";
  } else {
    html +=
        "<input type=\"password\" name=\"password\" id=\"password\" "
        "size=\"16\" "
        "class=\"unnamed1\">";
  }
  html += "</td></tr>\r\n";
  // "cursor:hand" was one browser's own name for the pointer; "pointer" is the
  // standard one.
  html +=
      "<tr><td><img src=\"admin/spacer.gif\" width=\"1\" height=\"1\"></td>"
      "<td><img src=\"admin/admin_login_button.gif\" border=\"0\" "
      "style=\"cursor:pointer\" "
      "alt=\"登 录\" onclick=\"return checkForm();\"></td></tr>\r\n"
      "</table>\r\n</form>\r\n";
  return html;
}

void Login_ShowForm(RequestState& state) {
  bool soft_key = SoftKeyEnabled(*state.db.Conn);
  state.host.Response->Write(LoginPageTop() + LoginForm(soft_key) +
                             "</td></tr>\r\n"
                             "<tr><td><img src=\"admin/1_13.gif\" width=\"352\" "
                             "height=\"50\"></td>"
                             "<td><img src=\"admin/1_14.gif\" width=\"380\" "
                             "height=\"50\"></td></tr>\r\n"
                             "</table>\r\n</body>\r\n</html>\r\n");
  Login_FormScript(state);
}

void Login_Logout(RequestState& state) {
  state.host.Session->Abandon();
  state.host.Response->Write(
      "<script>alert('您已经成功注销，欢迎您下次光临本网站！');"
      "window.location.href='?m=admin_index'</script>");
  state.host.Response->End();
}

}  // namespace

std::string AccountStamp(std::string_view name, std::string_view digest) {
  // The name's length goes first, so that no name and digest read as another pair.
  const std::string lower = host::AsciiLower(name);
  return MD5("folirex-session:" + std::to_string(lower.size()) + ":" + lower + ":" + Trim(digest));
}

void ForgetSignIn(Session& session) {
  for (const char* key : {"User_Code", "User_Name", kSessionAccountId, kSessionAccountStamp}) {
    session.Remove(key);
  }
}

void Login_Main(RequestState& state, const ConsolePage& page) {
  RunAdminAction(state, page.request.action,
                 {{"check", [&page](RequestState& s) { Login_Check(s, page.request); }},
                  {"out", Login_Logout}},
                 Login_ShowForm);
}

}  // namespace folirex
