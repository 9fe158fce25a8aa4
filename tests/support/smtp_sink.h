// A small SMTP server for tests: it listens on 127.0.0.1 on a port the system picks, answers
// each connection on its own thread inside the test process, and records every message it
// accepts. It speaks what libcurl needs: EHLO/HELO, AUTH PLAIN and AUTH LOGIN, MAIL FROM,
// RCPT TO, DATA, RSET, NOOP, QUIT.
//
//   SmtpSink sink;                         // listening once constructed
//   SmtpSettings smtp{"127.0.0.1", sink.port()};
//   ... send ...
//   std::vector<SmtpReceivedMail> mails = sink.Messages();
//   EXPECT_EQ(mails[0].DecodedHeader("Subject"), "标题");
//   EXPECT_EQ(mails[0].DecodedBody(), "<p>正文</p>");
//
// A message is recorded before the server answers the end of its data, so by the time a
// synchronous send has returned, Messages() holds it. By default any credentials are accepted
// (and recorded) and authentication is optional; RequireAuth and RefuseRecipient make the sink
// refuse, for tests of failures. Destruction stops the server and joins its threads. All member
// functions are thread-safe.
#ifndef FOLIREX_TESTS_SUPPORT_SMTP_SINK_H_
#define FOLIREX_TESTS_SUPPORT_SMTP_SINK_H_

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace folirex {

struct SmtpReceivedMail {
  std::string helo;            // the argument of EHLO or HELO
  std::string auth_mechanism;  // "PLAIN" or "LOGIN"; empty when the client did not authenticate
  std::string auth_user;
  std::string auth_password;
  std::string mail_from;             // envelope sender, without the angle brackets
  std::vector<std::string> rcpt_to;  // envelope recipients, without the angle brackets
  std::string data;                  // the message as received, dot-stuffing undone, CRLF ends

  // Header fields in order, names as sent, values unfolded (line breaks of folding removed)
  // and trimmed.
  std::vector<std::pair<std::string, std::string>> Headers() const;
  // The first value of the named header (name case-insensitive); "" when absent.
  std::string Header(std::string_view name) const;
  // How many times the named header appears.
  int HeaderCount(std::string_view name) const;
  // Header value with RFC 2047 encoded words decoded, as UTF-8.
  std::string DecodedHeader(std::string_view name) const;
  // The body as sent (after the blank line).
  std::string RawBody() const;
  // The body with its transfer encoding undone (base64, quoted-printable, 7bit/8bit) and
  // converted from the charset of its Content-Type (gb2312/gbk/gb18030 or utf-8) to UTF-8.
  std::string DecodedBody() const;
};

// Decodes RFC 2047 encoded words ("B" and "Q", charsets gb2312/gbk/gb18030 and utf-8/us-ascii)
// in a header value to UTF-8; blanks between two adjacent encoded words are dropped.
std::string DecodeMimeHeader(std::string_view value);

class SmtpSink {
 public:
  // Starts listening; throws std::runtime_error when no socket can be opened.
  SmtpSink();
  ~SmtpSink();
  SmtpSink(const SmtpSink&) = delete;
  SmtpSink& operator=(const SmtpSink&) = delete;

  int port() const;

  // A copy of the messages accepted so far, in the order they were completed.
  std::vector<SmtpReceivedMail> Messages() const;
  // How many connections have been accepted so far.
  int ConnectionCount() const;

  // From now on, MAIL FROM is refused (530) unless the session authenticated with exactly
  // these credentials, and other credentials are refused (535).
  void RequireAuth(std::string user, std::string password);
  // From now on, RCPT TO this address (compared without regard to case) is refused (550).
  void RefuseRecipient(std::string address);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace folirex

#endif  // FOLIREX_TESTS_SUPPORT_SMTP_SINK_H_
