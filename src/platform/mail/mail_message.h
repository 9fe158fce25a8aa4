// One HTML mail as the site sends it, and its composition into the text that goes over SMTP:
// headers in ASCII (subject and display names RFC 2047-encoded when they need it), the body as
// HTML in code page 936, base64-encoded.
//
// Every header value is cleaned of control characters before it is written, so text taken from a
// request (a reader's name, a subject built from it) can never start a header of its own.
// Addresses are not cleaned but checked (IsSaneMailAddress); the sender refuses a bad one.
//
// The functions are pure and thread-safe.
#ifndef FOLIREX_PLATFORM_MAIL_MAIL_MESSAGE_H_
#define FOLIREX_PLATFORM_MAIL_MAIL_MESSAGE_H_

#include <chrono>
#include <string>
#include <string_view>

namespace folirex {

// All text is UTF-8.
struct MailMessage {
  std::string from;       // sender address
  std::string from_name;  // sender display name, may be empty
  std::string to;         // recipient address
  std::string to_name;    // recipient display name, may be empty
  std::string subject;
  std::string html_body;
  // Marks the mail as of high importance (the CDONTS component's Importance 2).
  bool high_importance = false;
};

// True for an address that may be used in the envelope and the headers: printable ASCII without
// blanks, exactly one "@" with text on both sides, and none of the characters that delimit
// addresses in a header ("<>()[],;:\"\\").
bool IsSaneMailAddress(std::string_view address);

// The text with every control character (CR, LF, tab, the other C0 codes and DEL) turned into a
// blank, and blanks trimmed from both ends.
std::string CleanHeaderText(std::string_view text);

// Header text ready to follow "Name: ": cleaned, then left as it is when it is short plain ASCII,
// otherwise RFC 2047 "B" encoded words in gb2312 (utf-8 when a character has no code page 936
// form), each word at most 75 characters, folded onto continuation lines. A double-byte
// character is never split between two words.
std::string EncodeHeaderText(std::string_view utf8);

// "address", or `"Name" <address>` with the name cleaned and quoted or encoded.
std::string FormatMailbox(std::string_view name, std::string_view address);

// Base64 with CRLF after every `line_length` characters (0: one line).
std::string Base64Encode(std::string_view bytes, size_t line_length = 0);

// The RFC 5322 date of the moment, in UTC: "Tue, 05 Mar 2024 09:04:05 +0000".
std::string FormatMailDate(std::chrono::system_clock::time_point when);

// A new unique Message-ID value, "<...@domain>" with the domain of the sender address.
std::string MakeMessageId(std::string_view from_address);

// The complete message text, CRLF line ends. The addresses must be sane (not checked here).
std::string ComposeMailMessage(const MailMessage& message, std::string_view date,
                               std::string_view message_id);

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_MAIL_MAIL_MESSAGE_H_
