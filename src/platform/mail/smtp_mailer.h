// Sending one mail over SMTP with libcurl: the stand-in for the mail components the site can be
// configured to use. The configured server, account and password are used as given; the client
// authenticates only when a user is configured, and upgrades to TLS when the server offers it
// (port 465 speaks TLS from the start).
//
// SendSmtpMail blocks until the server has accepted or refused the message, or the timeout has
// passed. It never throws for bad input, network or protocol failures: they come back as the
// error text of the result, and a message is only reported sent when the server accepted it.
// Calls may run on several threads at once.
#ifndef FOLIREX_PLATFORM_MAIL_SMTP_MAILER_H_
#define FOLIREX_PLATFORM_MAIL_SMTP_MAILER_H_

#include <string>

#include "platform/mail/mail_message.h"

namespace folirex {

struct SmtpSettings {
  std::string host;  // a host name or IPv4 address, or an IPv6 address in brackets
  int port = 25;
  std::string user;  // empty: no authentication
  std::string password;
  int timeout_seconds = 30;  // the whole conversation, connecting included
};

struct MailResult {
  bool ok = false;
  std::string error;  // why the mail was not sent; empty when ok
};

// Sends `message` to message.to from message.from. Refuses, without connecting, a settings host
// that is not a plain host name, a port outside 1-65535, and a sender or recipient address that
// fails IsSaneMailAddress.
MailResult SendSmtpMail(const SmtpSettings& settings, const MailMessage& message);

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_MAIL_SMTP_MAILER_H_
