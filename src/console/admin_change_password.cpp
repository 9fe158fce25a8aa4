#include "console/admin_change_password.h"

#include <string>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/admin_login.h"
#include "console/console_text.h"
#include "core/md5.h"
#include "core/messages.h"
#include "core/text_helpers.h"
#include "platform/host/host_text.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

// The form's checks in the browser; the save holds the same rules.
constexpr const char* kFormScript =
    "<script language=javascript>\r\n"
    "<!--\r\n"
    "function checkspace(s){\r\n"
    "  return s.replace(/ /g,'')=='';\r\n"
    "}\r\n"
    "function checks(){\r\n"
    "  var f=document.renpassword;\r\n"
    "  if(checkspace(f.password.value)){\r\n"
    "    f.password.focus();\r\n"
    "    alert('原密码不能为空！');\r\n"
    "    return false;\r\n"
    "  }\r\n"
    "  if(checkspace(f.password1.value)){\r\n"
    "    f.password1.focus();\r\n"
    "    alert('新密码不能为空！');\r\n"
    "    return false;\r\n"
    "  }\r\n"
    "  if(checkspace(f.password2.value)){\r\n"
    "    f.password2.focus();\r\n"
    "    alert('确认密码不能为空！');\r\n"
    "    return false;\r\n"
    "  }\r\n"
    "  if(f.password1.value!=f.password2.value){\r\n"
    "    f.password1.focus();\r\n"
    "    f.password1.value='';\r\n"
    "    f.password2.value='';\r\n"
    "    alert('新密码和确认密码不相同，请重新输入');\r\n"
    "    return false;\r\n"
    "  }\r\n"
    // The script posts the form itself; the button's own
    // submission is then cancelled, so the form goes once.
    "  f.submit();\r\n"
    "  return false;\r\n"
    "}\r\n"
    "//-->\r\n"
    "</script>\r\n";

std::string FormRow(const char* label, const std::string& content, const char* caption) {
  return std::string("<tr><td align=\"right\">") + label + "</td><td>" + content +
         "</td><td><font color=\"red\">*</font> <font color=\"#888888\">" + caption +
         "</font></td></tr>\r\n";
}

std::string PasswordField(const char* name) {
  return std::string("<input type=\"password\" name=\"") + name +
         "\" class=\"input\" size=\"20\" maxlength=\"20\">";
}

void ChangePassword_ShowForm(RequestState& state) {
  std::string html =
      "<form name=\"renpassword\" method=\"post\" "
      "action=\"?m=admin_changepassword&amp;action=save\" style=\"margin:0\">\r\n"
      "<table class=\"form\" align=\"center\" cellspacing=\"1\">\r\n"
      "<tr><th width=\"15%\">设置名称</th><th width=\"45%\">基本参数设置</th>"
      "<th>设置说明</th></tr>\r\n";
  html += FormRow("用 户 名：", HTMLEncode(state.host.Session->Get("User_Name")), "用户名不能修改");
  html += FormRow("原 密 码：", PasswordField("password"), "原来的密码");
  html += FormRow("新 密 码：", PasswordField("password1"), "新的密码");
  html += FormRow("确认密码：", PasswordField("password2"), "再次输入新密码");
  html +=
      "<tr><td colspan=\"3\" align=\"center\" bgcolor=\"#DEE7FF\">"
      "<input type=\"submit\" name=\"Submit\" value=\"确定更改\" onclick=\"return checks()\">"
      "</td></tr>\r\n</table>\r\n</form>\r\n";
  html += kFormScript;
  state.host.Response->Write(html);
}

void ChangePassword_Save(RequestState& state, const ConsoleRequest& request) {
  // The account is found by its id, which a rename keeps; it may have been deleted since.
  Session& session = *state.host.Session;
  const int64_t id = session.Get(kSessionAccountId).ToInt64Or(0);
  Recordset rs;
  OpenRowOrRefuse(state, rs, "select * from Vantrel_Admin where d_id = ?", {Variant(id)},
                  RowUse::kChange, "提示：参数错误！");
  if (Trim(rs["d_password"].ToString()) != MD5(request.values.Text("password"))) {
    rs.Close();
    AlertBack(state, "原密码错误，请返回重新输入");
  }
  // The browser's checks are not the only way in: the server holds the same
  // rules.
  std::string new_password = request.values.Text("password1");
  std::string confirmation = request.values.Text("password2");
  if (new_password.empty()) {
    rs.Close();
    AlertBack(state, "新密码不能为空！");
  }
  if (new_password != confirmation) {
    rs.Close();
    AlertBack(state, "新密码和确认密码不相同，请重新输入");
  }
  if (!request.posted) {
    rs.Close();
    RequireFormPost(request);
  }
  const std::string name = rs["d_name"].ToString();
  const std::string digest = MD5(confirmation);
  rs.Set("d_password", Variant(digest));
  rs.Update();
  rs.Close();
  // Whoever else is signed in under this account (perhaps with the old password) is signed out,
  // on this host at once and on any other at its next request; the administrator who just
  // proved the old password stays signed in here.
  session.Set(kSessionAccountStamp, Variant(AccountStamp(name, digest)));
  session.EndOthersWith(kSessionAccountId, std::to_string(id));

  state.host.Response->Write(
      MessageBox("密码修改成功！", LinkItem("?m=admin_changepassword", "返回重新修改")));
}

}  // namespace

void ChangePassword_Main(RequestState& state, const ConsolePage& page) {
  RunAdminAction(state, page.request.action,
                 {{"save", [&page](RequestState& s) { ChangePassword_Save(s, page.request); }}},
                 ChangePassword_ShowForm);
}

}  // namespace folirex
