#include "console/admin_login.h"

#include <string>

#include "console/console_text.h"
#include "core/md5.h"
#include "core/messages.h"
#include "core/text_helpers.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

// The client address: a forwarding proxy's header whole, as it came, else the
// peer address.
std::string ClientAddress(const Request& request) {
  std::string forwarded = request.ServerVariables("HTTP_X_FORWARDED_FOR");
  if (!forwarded.empty()) return forwarded;
  return request.ServerVariables("REMOTE_ADDR");
}

void Login_Check(RequestState& state) {
  const Request& request = *state.Request;
  std::string usercode = FilterSql(Variant(request("usercode")));
  std::string password = Trim(request("password"));
  int64_t login_num = 0;

  // Name and address come from the client: they reach the statements as bound
  // values only.
  state.Sql = "Select * From Vantrel_Admin Where D_Name = ?";
  Recordset& rs = *state.Rs;
  rs.Open(state.Sql, {Variant(usercode)}, *state.Conn, 0, 1);
  if (rs.Eof()) {
    rs.Close();
    AlertBack(state, "提示：您输入的用户不存在！");
  }
  if (MD5(password) != rs["D_Password"].ToString()) {
    rs.Close();
    AlertBack(state, "提示：您输入的密码不正确！");
  }

  // A session id the browser held before signing in (perhaps one handed to it
  // by someone else) must be worth nothing once it is signed in.
  state.Session->RenewId();
  state.Session->Set("User_Name", rs["D_Name"]);
  login_num = rs["d_loginnum"].ToInt64Or(0);
  rs.Close();

  std::string address = ClientAddress(request);
  Variant now(DateTime::Now());
  state.Sql =
      "update Vantrel_Admin set D_LoginNum = D_LoginNum + "
      "1,D_LastLoginTime = ?, "
      "D_LastLoginIP = ?  where D_Name = ?";
  state.Conn->Execute(state.Sql, {now, Variant(address), Variant(usercode)});

  state.Sql = "select * from Vantrel_Log where 1 < 0";
  rs.Open(state.Sql, *state.Conn, 1, 3);
  rs.AddNew();
  rs.Set("d_ip", Variant(address));
  rs.Set("d_adminname", Variant(usercode));
  rs.Set("d_thisloginnum", Variant(login_num + 1));
  rs.Set("d_logintime", now);
  rs.Update();
  rs.Close();

  state.Session->Set("User_Code", Variant(usercode));
  state.Response->Redirect("?m=admin_index");
}

void Login_FormScript(RequestState& state) {
  state.Response->Write(
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

void Login_ShowForm(RequestState& state) {
  state.Sql = "select D_EnableSoftKey from Vantrel_Config";
  Recordset& rs = *state.Rs;
  rs.Open(state.Sql, *state.Conn, 0, 1);
  bool soft_key = !rs.Eof() && rs["D_EnableSoftKey"].Equals(Variant(1));
  rs.Close();

  std::string html;
  html +=
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
  // Enter in either field signs in: the form has no submit button of its own.
  html +=
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
      "</table>\r\n</form>\r\n"
      "</td></tr>\r\n"
      "<tr><td><img src=\"admin/1_13.gif\" width=\"352\" height=\"50\"></td>"
      "<td><img src=\"admin/1_14.gif\" width=\"380\" "
      "height=\"50\"></td></tr>\r\n"
      "</table>\r\n</body>\r\n</html>\r\n";
  state.Response->Write(html);
  Login_FormScript(state);
}

void Login_Logout(RequestState& state) {
  state.Session->Abandon();
  state.Response->Write(
      "<script>alert('您已经成功注销，欢迎您下次光临本网站！');"
      "window.location.href='?m=admin_index'</script>");
  state.Response->End();
}

}  // namespace

void Login_Main(RequestState& state) {
  if (state.Action == "check") {
    Login_Check(state);
  } else if (state.Action == "out") {
    Login_Logout(state);
  } else {
    Login_ShowForm(state);
  }
}

}  // namespace folirex
