#include "platform/mail/mail_message.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/text/codepage.h"
#include "support/smtp_sink.h"

namespace folirex {
namespace {

// Splits folded header text into its encoded words.
std::vector<std::string> Words(const std::string& encoded) {
  std::vector<std::string> words;
  size_t pos = 0;
  while (pos < encoded.size()) {
    size_t end = encoded.find("\r\n ", pos);
    words.push_back(encoded.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
    if (end == std::string::npos) break;
    pos = end + 3;
  }
  return words;
}

TEST(MailAddressTest, AcceptsOrdinaryAddresses) {
  EXPECT_TRUE(IsSaneMailAddress("reader@example.com"));
  EXPECT_TRUE(IsSaneMailAddress("a.b+news@mail.example.com.cn"));
  EXPECT_TRUE(IsSaneMailAddress("x@localhost"));
}

TEST(MailAddressTest, RefusesAddressesThatCouldBreakTheEnvelopeOrHeaders) {
  for (const char* bad :
       {"", "reader", "a@b@example.com", "@example.com", "reader@", "a b@example.com",
        "reader@example.com\r\nRCPT TO:<x@example.com>", "reader@example.com\n",
        "<reader@example.com>", "a@example.com,b@example.com", "a@example.com;b@example.com",
        "\"a\"@example.com", "a\\b@example.com", "a@example.com\t", "读者@example.com",
        "a@exa(mple).com"}) {
    EXPECT_FALSE(IsSaneMailAddress(bad)) << bad;
  }
}

TEST(HeaderTextTest, ControlCharactersBecomeBlanksAndEndsAreTrimmed) {
  EXPECT_EQ(CleanHeaderText("Hello\r\nBcc: x@example.com"), "Hello  Bcc: x@example.com");
  EXPECT_EQ(CleanHeaderText("\ta\x01"
                            "b\x7f"
                            "c\n"),
            "a b c");
  EXPECT_EQ(CleanHeaderText("\r\n"), "");
  EXPECT_EQ(CleanHeaderText("标题\r\n"), "标题");
}

TEST(HeaderTextTest, ShortAsciiStaysPlain) {
  EXPECT_EQ(EncodeHeaderText("Weekly news"), "Weekly news");
  EXPECT_EQ(EncodeHeaderText("Weekly\r\nX-Injected: yes"), "Weekly  X-Injected: yes");
}

TEST(HeaderTextTest, TextThatLooksEncodedIsEncoded) {
  std::string encoded = EncodeHeaderText("see =?utf-8?B?QQ==?= here");
  EXPECT_EQ(encoded.rfind("=?gb2312?B?", 0), 0u) << encoded;
  EXPECT_EQ(DecodeMimeHeader(encoded), "see =?utf-8?B?QQ==?= here");
}

TEST(HeaderTextTest, ChineseIsEncodedInGb2312AndDecodesBack) {
  std::string subject = "张三，您的朋友给您推荐一篇文章，具体内容如下";
  std::string encoded = EncodeHeaderText(subject);
  EXPECT_EQ(encoded.rfind("=?gb2312?B?", 0), 0u) << encoded;
  EXPECT_EQ(DecodeMimeHeader(encoded), subject);
}

TEST(HeaderTextTest, LongTextIsSplitIntoShortWordsWithoutSplittingACharacter) {
  std::string subject;
  for (int i = 0; i < 40; ++i) subject += "中文a";
  std::string encoded = EncodeHeaderText(subject);
  std::vector<std::string> words = Words(encoded);
  ASSERT_GT(words.size(), 2u);
  for (const std::string& word : words) {
    EXPECT_LE(word.size(), 75u);
    EXPECT_LE(std::string("Subject: ").size() + word.size(), 78u);
    // Each word must decode on its own: a character cut in two would give U+FFFD.
    EXPECT_EQ(DecodeMimeHeader(word).find("\xEF\xBF\xBD"), std::string::npos) << word;
  }
  EXPECT_EQ(DecodeMimeHeader(encoded), subject);
}

TEST(HeaderTextTest, LongAsciiIsEncodedRatherThanOverlong) {
  std::string subject(200, 'x');
  std::string encoded = EncodeHeaderText(subject);
  for (const std::string& word : Words(encoded)) EXPECT_LE(word.size(), 75u);
  EXPECT_EQ(DecodeMimeHeader(encoded), subject);
}

TEST(HeaderTextTest, CharactersOutsideTheCodePageAreKeptThroughUtf8) {
  std::string subject = "한국어 뉴스 😀";
  ASSERT_FALSE(IsGbkRepresentable(subject));
  std::string encoded = EncodeHeaderText(subject);
  EXPECT_EQ(encoded.rfind("=?utf-8?B?", 0), 0u) << encoded;
  EXPECT_EQ(DecodeMimeHeader(encoded), subject);
}

TEST(MailboxTest, NamesAreQuotedOrEncoded) {
  EXPECT_EQ(FormatMailbox("", "a@example.com"), "a@example.com");
  EXPECT_EQ(FormatMailbox("\r\n", "a@example.com"), "a@example.com");
  EXPECT_EQ(FormatMailbox("Bob \"B\" Smith\\", "a@example.com"),
            "\"Bob \\\"B\\\" Smith\\\\\" <a@example.com>");
  std::string mailbox = FormatMailbox("张三", "a@example.com");
  EXPECT_EQ(mailbox.rfind("=?gb2312?B?", 0), 0u) << mailbox;
  EXPECT_EQ(DecodeMimeHeader(mailbox), "张三 <a@example.com>");
}

TEST(Base64Test, MatchesTheStandardVectors) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("f"), "Zg==");
  EXPECT_EQ(Base64Encode("fo"), "Zm8=");
  EXPECT_EQ(Base64Encode("foo"), "Zm9v");
  EXPECT_EQ(Base64Encode("foob"), "Zm9vYg==");
  EXPECT_EQ(Base64Encode("fooba"), "Zm9vYmE=");
  EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
  EXPECT_EQ(Base64Encode(std::string("\xff\xfe\x00", 3)), "//4A");
}

TEST(Base64Test, WrapsLines) {
  std::string encoded = Base64Encode(std::string(120, 'a'), 76);
  ASSERT_EQ(encoded.size(), 160u + 4u);
  EXPECT_EQ(encoded.find("\r\n"), 76u);
  EXPECT_EQ(encoded.find("\r\n", 78), 154u);
  EXPECT_EQ(encoded.find("\r\n", 156), std::string::npos);
  EXPECT_EQ(Base64Encode(std::string(57, 'a'), 76).find("\r\n"), std::string::npos);
}

TEST(MailDateTest, FormatsInUtc) {
  // 2024-03-05 09:04:05 UTC
  auto when = std::chrono::system_clock::time_point(std::chrono::seconds(1709629445));
  EXPECT_EQ(FormatMailDate(when), "Tue, 05 Mar 2024 09:04:05 +0000");
}

TEST(MessageIdTest, IsUniqueAndCarriesTheSenderDomain) {
  std::string first = MakeMessageId("site@example.com");
  std::string second = MakeMessageId("site@example.com");
  EXPECT_NE(first, second);
  EXPECT_EQ(first.front(), '<');
  EXPECT_TRUE(first.ends_with("@example.com>")) << first;
  EXPECT_TRUE(MakeMessageId("").ends_with("@localhost>"));
}

MailMessage SampleMessage() {
  MailMessage message;
  message.from = "site@example.com";
  message.from_name = "新闻网";
  message.to = "friend@example.net";
  message.to_name = "李四";
  message.subject = "李四，您的朋友给您推荐一篇文章，具体内容如下";
  message.html_body = "文章的标题是：春天\r\n具体内容是：<p>花开了。</p>";
  return message;
}

TEST(ComposeMailMessageTest, WritesHeadersAndAGb2312Body) {
  SmtpReceivedMail mail;
  mail.data =
      ComposeMailMessage(SampleMessage(), "Tue, 05 Mar 2024 09:04:05 +0000", "<1@example.com>");
  EXPECT_EQ(mail.Header("Date"), "Tue, 05 Mar 2024 09:04:05 +0000");
  EXPECT_EQ(mail.Header("Message-ID"), "<1@example.com>");
  EXPECT_EQ(mail.Header("MIME-Version"), "1.0");
  EXPECT_EQ(mail.Header("Content-Type"), "text/html; charset=gb2312");
  EXPECT_EQ(mail.Header("Content-Transfer-Encoding"), "base64");
  EXPECT_EQ(mail.DecodedHeader("From"), "新闻网 <site@example.com>");
  EXPECT_EQ(mail.DecodedHeader("To"), "李四 <friend@example.net>");
  EXPECT_EQ(mail.DecodedHeader("Subject"), SampleMessage().subject);
  EXPECT_EQ(mail.HeaderCount("Importance"), 0);
  EXPECT_EQ(mail.DecodedBody(), SampleMessage().html_body);
  // Every line is ASCII and within the line length mail servers accept.
  size_t pos = 0;
  while (pos < mail.data.size()) {
    size_t end = mail.data.find("\r\n", pos);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end - pos, 78u) << mail.data.substr(pos, end - pos);
    pos = end + 2;
  }
  for (unsigned char c : mail.data) EXPECT_LT(c, 0x80);
}

TEST(ComposeMailMessageTest, BodyCharactersOutsideTheCodePageBecomeReferences) {
  MailMessage message = SampleMessage();
  message.html_body = "<p>笑 😀 한</p>";
  SmtpReceivedMail mail;
  mail.data = ComposeMailMessage(message, "d", "<1@example.com>");
  EXPECT_EQ(mail.DecodedBody(), "<p>笑 &#128512; &#54620;</p>");
}

TEST(ComposeMailMessageTest, HighImportanceIsMarked) {
  MailMessage message = SampleMessage();
  message.high_importance = true;
  SmtpReceivedMail mail;
  mail.data = ComposeMailMessage(message, "d", "<1@example.com>");
  EXPECT_EQ(mail.Header("Importance"), "high");
  EXPECT_EQ(mail.Header("X-Priority"), "1");
}

TEST(ComposeMailMessageTest, LineBreaksInHeaderTextStartNoHeader) {
  MailMessage message = SampleMessage();
  message.subject = "Hi\r\nBcc: victim@example.org\r\n\r\n<b>forged body</b>";
  message.to_name = "Friend\nX-Injected: 1";
  message.from_name = "Site\rReply-To: evil@example.org";
  SmtpReceivedMail mail;
  mail.data = ComposeMailMessage(message, "d\r\nX-Date: 1", "<1@example.com>\r\nX-Id: 1");
  EXPECT_EQ(mail.HeaderCount("Bcc"), 0);
  EXPECT_EQ(mail.HeaderCount("X-Injected"), 0);
  EXPECT_EQ(mail.HeaderCount("Reply-To"), 0);
  EXPECT_EQ(mail.HeaderCount("X-Date"), 0);
  EXPECT_EQ(mail.HeaderCount("X-Id"), 0);
  EXPECT_EQ(mail.DecodedHeader("Subject"), "Hi  Bcc: victim@example.org    <b>forged body</b>");
  EXPECT_EQ(mail.DecodedHeader("To"), "\"Friend X-Injected: 1\" <friend@example.net>");
  EXPECT_EQ(mail.DecodedBody(), message.html_body);
}

}  // namespace
}  // namespace folirex
