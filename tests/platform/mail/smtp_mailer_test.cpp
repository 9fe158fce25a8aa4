#include "platform/mail/smtp_mailer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/smtp_sink.h"

namespace folirex {
namespace {

MailMessage TellFriendMail() {
  MailMessage message;
  message.from = "webmaster@example.com";
  message.from_name = "示例新闻网";
  message.to = "friend@example.net";
  message.to_name = "王五";
  message.subject = "王五，您的朋友给您推荐一篇文章，具体内容如下";
  message.html_body =
      "文章的标题是：春季运动会\r\n具体内容是：<p>运动会于三月举行。</p>\r\n"
      "更多内容请访问<a href='http://www.example.com/'>示例新闻网</a>";
  return message;
}

class SmtpMailerTest : public ::testing::Test {
 protected:
  SmtpSettings Settings() const {
    SmtpSettings settings;
    settings.host = "127.0.0.1";
    settings.port = sink_.port();
    settings.timeout_seconds = 10;
    return settings;
  }

  SmtpSink sink_;
};

TEST_F(SmtpMailerTest, DeliversChineseSubjectAndBody) {
  MailResult result = SendSmtpMail(Settings(), TellFriendMail());
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.error, "");

  std::vector<SmtpReceivedMail> mails = sink_.Messages();
  ASSERT_EQ(mails.size(), 1u);
  const SmtpReceivedMail& mail = mails[0];
  EXPECT_EQ(mail.mail_from, "webmaster@example.com");
  EXPECT_EQ(mail.rcpt_to, std::vector<std::string>{"friend@example.net"});
  EXPECT_EQ(mail.DecodedHeader("Subject"), TellFriendMail().subject);
  EXPECT_EQ(mail.DecodedHeader("From"), "示例新闻网 <webmaster@example.com>");
  EXPECT_EQ(mail.DecodedHeader("To"), "王五 <friend@example.net>");
  EXPECT_EQ(mail.Header("Content-Type"), "text/html; charset=gb2312");
  EXPECT_EQ(mail.DecodedBody(), TellFriendMail().html_body);
  EXPECT_EQ(mail.HeaderCount("Date"), 1);
  EXPECT_EQ(mail.HeaderCount("Message-ID"), 1);
  // Without a configured user the client does not authenticate.
  EXPECT_EQ(mail.auth_mechanism, "");
  EXPECT_EQ(mail.auth_user, "");
}

TEST_F(SmtpMailerTest, EachSendIsItsOwnMessage) {
  MailMessage first = TellFriendMail();
  MailMessage second = TellFriendMail();
  second.to = "other@example.org";
  second.subject = "第二封";
  ASSERT_TRUE(SendSmtpMail(Settings(), first).ok);
  ASSERT_TRUE(SendSmtpMail(Settings(), second).ok);
  std::vector<SmtpReceivedMail> mails = sink_.Messages();
  ASSERT_EQ(mails.size(), 2u);
  EXPECT_EQ(mails[1].rcpt_to, std::vector<std::string>{"other@example.org"});
  EXPECT_EQ(mails[1].DecodedHeader("Subject"), "第二封");
  EXPECT_NE(mails[0].Header("Message-ID"), mails[1].Header("Message-ID"));
}

TEST_F(SmtpMailerTest, AuthenticatesWithTheConfiguredAccount) {
  sink_.RequireAuth("mailer@example.com", "s3cret");
  SmtpSettings settings = Settings();
  settings.user = "mailer@example.com";
  settings.password = "s3cret";
  MailResult result = SendSmtpMail(settings, TellFriendMail());
  ASSERT_TRUE(result.ok) << result.error;
  std::vector<SmtpReceivedMail> mails = sink_.Messages();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_NE(mails[0].auth_mechanism, "");
  EXPECT_EQ(mails[0].auth_user, "mailer@example.com");
  EXPECT_EQ(mails[0].auth_password, "s3cret");
}

TEST_F(SmtpMailerTest, RefusedCredentialsAndMissingAuthenticationAreFailures) {
  sink_.RequireAuth("mailer@example.com", "s3cret");
  SmtpSettings wrong = Settings();
  wrong.user = "mailer@example.com";
  wrong.password = "guess";
  MailResult refused = SendSmtpMail(wrong, TellFriendMail());
  EXPECT_FALSE(refused.ok);
  EXPECT_NE(refused.error, "");

  MailResult anonymous = SendSmtpMail(Settings(), TellFriendMail());
  EXPECT_FALSE(anonymous.ok);
  EXPECT_NE(anonymous.error, "");
  EXPECT_TRUE(sink_.Messages().empty());
}

TEST_F(SmtpMailerTest, RecipientRefusedByTheServerIsAFailure) {
  sink_.RefuseRecipient("friend@example.net");
  MailResult result = SendSmtpMail(Settings(), TellFriendMail());
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error, "");
  EXPECT_TRUE(sink_.Messages().empty());
}

TEST_F(SmtpMailerTest, LineBreaksInSubjectAndNamesInjectNothing) {
  MailMessage message = TellFriendMail();
  message.subject = "推荐\r\nBcc: victim@example.org";
  message.to_name = "王五\r\nX-Injected: yes";
  message.from_name = "Site\nReply-To: evil@example.org";
  MailResult result = SendSmtpMail(Settings(), message);
  ASSERT_TRUE(result.ok) << result.error;
  std::vector<SmtpReceivedMail> mails = sink_.Messages();
  ASSERT_EQ(mails.size(), 1u);
  const SmtpReceivedMail& mail = mails[0];
  EXPECT_EQ(mail.rcpt_to, std::vector<std::string>{"friend@example.net"});
  EXPECT_EQ(mail.HeaderCount("Bcc"), 0);
  EXPECT_EQ(mail.HeaderCount("X-Injected"), 0);
  EXPECT_EQ(mail.HeaderCount("Reply-To"), 0);
  EXPECT_EQ(mail.DecodedHeader("Subject"), "推荐  Bcc: victim@example.org");
  EXPECT_EQ(mail.DecodedHeader("To"), "王五  X-Injected: yes <friend@example.net>");
  EXPECT_EQ(mail.DecodedBody(), message.html_body);
}

TEST_F(SmtpMailerTest, BadAddressesAreRefusedWithoutConnecting) {
  for (const char* bad : {"", "friend", "a@b@example.net", "friend @example.net",
                          "friend@example.net\r\nRCPT TO:<victim@example.org>",
                          "friend@example.net>,<victim@example.org"}) {
    MailMessage to_bad = TellFriendMail();
    to_bad.to = bad;
    MailResult result = SendSmtpMail(Settings(), to_bad);
    EXPECT_FALSE(result.ok) << bad;
    EXPECT_EQ(result.error, "the recipient address is not valid") << bad;

    MailMessage from_bad = TellFriendMail();
    from_bad.from = bad;
    result = SendSmtpMail(Settings(), from_bad);
    EXPECT_FALSE(result.ok) << bad;
    EXPECT_EQ(result.error, "the sender address is not valid") << bad;
  }
  EXPECT_EQ(sink_.ConnectionCount(), 0);
  EXPECT_TRUE(sink_.Messages().empty());
}

TEST_F(SmtpMailerTest, BadServerSettingsAreRefusedWithoutConnecting) {
  for (const char* host : {"", "127.0.0.1/evil", "user@127.0.0.1", "127.0.0.1:25",
                           "smtp.example.com\r\n", "smtp example.com", "[::1"}) {
    SmtpSettings settings = Settings();
    settings.host = host;
    MailResult result = SendSmtpMail(settings, TellFriendMail());
    EXPECT_FALSE(result.ok) << host;
    EXPECT_EQ(result.error, "the mail server name is not valid") << host;
  }
  for (int port : {0, -1, 65536}) {
    SmtpSettings settings = Settings();
    settings.port = port;
    MailResult result = SendSmtpMail(settings, TellFriendMail());
    EXPECT_FALSE(result.ok) << port;
    EXPECT_EQ(result.error, "the mail server port is not valid") << port;
  }
  EXPECT_EQ(sink_.ConnectionCount(), 0);
}

TEST(SmtpMailerConnectionTest, NoServerListeningIsAFailure) {
  SmtpSettings settings;
  settings.host = "127.0.0.1";
  settings.timeout_seconds = 10;
  {
    SmtpSink gone;  // takes a free port, then gives it up
    settings.port = gone.port();
  }
  MailResult result = SendSmtpMail(settings, TellFriendMail());
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error, "");
}

}  // namespace
}  // namespace folirex
