#include "core/messages.h"

#include "core/database.h"
#include "platform/db/db_error.h"
#include "platform/db/recordset.h"
#include "platform/mail/smtp_mailer.h"
#include "platform/text/vb_text.h"

namespace folirex {

void AlertBack(RequestState& state, std::string_view message) {
  CloseDatabase(state.db);
  std::string text = "<script language=javascript>alert('";
  text += message;
  text += "\\n\\n系统将自动返回前一页面...');history.back();</script>";
  state.host.Response->Write(text);
  state.host.Response->End();
}

void Alert(RequestState& state, std::string_view message) {
  std::string text = "<script language=javascript>alert('";
  text += message;
  text += "')</script>";
  state.host.Response->Write(text);
}

void GoUrl(RequestState& state, std::string_view url) {
  std::string text = "<script language=javascript>location.href='";
  text += url;
  text += "'</script>";
  state.host.Response->Write(text);
}

bool ParseMailServer(std::string_view text, std::string* host, int* port) {
  std::string t = Trim(text);
  *port = 25;
  size_t colon = t.rfind(':');
  bool bracketed = !t.empty() && t.front() == '[';
  if (colon != std::string::npos && (!bracketed || colon > t.find(']'))) {
    std::string digits = t.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    *port = std::stoi(digits);
    t = t.substr(0, colon);
  }
  *host = t;
  return !t.empty() && *port > 0 && *port <= 65535;
}

std::string SendMail(DatabaseState& db, const SiteConfig& site, std::string_view subject,
                     std::string_view body, std::string_view to_address) {
  Variant flag = 0;
  std::string server, user, password;
  try {
    if (db.Conn == nullptr) throw DbError("the database is not open");
    Recordset rs;
    rs.Open(
        db::KeptRead{.tables = {"Vantrel_Config"},
                     .sql =
                         "select D_SelectedMailFlag, D_MailServer, D_MailUser, D_MailPassword from "
                         "Vantrel_Config"},
        *db.Conn);
    if (!rs.Eof()) {
      flag = rs["D_SelectedMailFlag"];
      server = rs["D_MailServer"].ToString();
      user = rs["D_MailUser"].ToString();
      password = rs["D_MailPassword"].ToString();
    }
    rs.Close();
  } catch (const std::exception& e) {
    return std::string("由于系统出错邮件未发出。") + e.what();
  }
  int64_t code = flag.ToInt64Or(-1);
  if (code == 0) return "由于系统没有设置发送邮件组件，所以发送邮件失败。";

  SmtpSettings smtp;
  MailMessage message;
  message.to = std::string(to_address);
  message.subject = std::string(subject);
  message.html_body = std::string(body);
  message.from_name = site.SiteName.ToString();
  std::string site_email = Trim(site.SiteEmail.ToString());
  std::string server_text;
  if (code == 1) {
    // The machine's own mail service, as the local mail component used.
    server_text = site.LocalMailServer;
    message.from = site_email;
    message.high_importance = true;
  } else if (code == 2) {
    server_text = server;
    smtp.user = user;
    smtp.password = password;
    message.from = IsSaneMailAddress(user) ? user : site_email;
  } else {
    // The component used to report success without sending anything here.
    return "由于系统出错邮件未发出。未知的邮件组件设置。";
  }
  if (!IsSaneMailAddress(message.from)) message.from = "webmaster@localhost";
  if (!ParseMailServer(server_text, &smtp.host, &smtp.port)) {
    return "由于系统出错邮件未发出。邮件服务器设置不正确。";
  }
  MailResult result = SendSmtpMail(smtp, message);
  if (!result.ok) return "由于系统出错邮件未发出。" + result.error;
  return "一封注册邮件已发往" + std::string(to_address) + "的信箱中，请注意查收。";
}

}  // namespace folirex
