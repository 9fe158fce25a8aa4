#include "platform/mail/mail_message.h"

#include <time.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <random>

#include "platform/text/codepage.h"
#include "platform/text/header_date.h"

namespace folirex {

namespace {

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Raw bytes per encoded word: 42 bytes give 56 base64 characters, so "Subject: " and the first
// word stay within 78 columns.
constexpr size_t kEncodedWordBytes = 42;

// ASCII header text no longer than this is written as it is.
constexpr size_t kPlainHeaderLimit = 70;

bool IsPlainAscii(std::string_view text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  // An unencoded "=?" would be read by mail readers as the start of an encoded word.
  return text.find("=?") == std::string_view::npos;
}

// The length of the character starting at bytes[pos] in the given encoding.
size_t CharLength(std::string_view bytes, size_t pos, bool gbk) {
  if (gbk) {
    unsigned char c = static_cast<unsigned char>(bytes[pos]);
    return (c >= 0x81 && pos + 1 < bytes.size()) ? 2 : 1;
  }
  size_t next = pos;
  NextCodePoint(bytes, &next);
  return next - pos;
}

std::string EncodeWords(std::string_view clean) {
  bool gbk = IsGbkRepresentable(clean);
  std::string bytes = gbk ? Utf8ToGbk(clean, Unmappable::kQuestion) : std::string(clean);
  const char* prefix = gbk ? "=?gb2312?B?" : "=?utf-8?B?";
  std::string out;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = pos;
    while (end < bytes.size()) {
      size_t len = CharLength(bytes, end, gbk);
      if (end + len - pos > kEncodedWordBytes) break;
      end += len;
    }
    if (!out.empty()) out += "\r\n ";
    out += prefix;
    out += Base64Encode(std::string_view(bytes).substr(pos, end - pos));
    out += "?=";
    pos = end;
  }
  return out;
}

}  // namespace

bool IsSaneMailAddress(std::string_view address) {
  size_t at = address.find('@');
  if (at == std::string_view::npos || at == 0 || at + 1 == address.size()) return false;
  if (address.find('@', at + 1) != std::string_view::npos) return false;
  for (unsigned char c : address) {
    if (c <= 0x20 || c >= 0x7F) return false;
    if (std::string_view("<>()[],;:\"\\").find(static_cast<char>(c)) != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

std::string CleanHeaderText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    out.push_back(byte < 0x20 || byte == 0x7F ? ' ' : c);
  }
  size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  size_t last = out.find_last_not_of(' ');
  return out.substr(first, last - first + 1);
}

std::string EncodeHeaderText(std::string_view utf8) {
  std::string clean = CleanHeaderText(utf8);
  if (IsPlainAscii(clean) && clean.size() <= kPlainHeaderLimit) return clean;
  return EncodeWords(clean);
}

std::string FormatMailbox(std::string_view name, std::string_view address) {
  std::string clean = CleanHeaderText(name);
  if (clean.empty()) return std::string(address);
  std::string out;
  if (IsPlainAscii(clean)) {
    out.push_back('"');
    for (char c : clean) {
      if (c == '"' || c == '\\') out.push_back('\\');
      out.push_back(c);
    }
    out.push_back('"');
  } else {
    out = EncodeWords(clean);
  }
  out += " <";
  out += address;
  out += ">";
  return out;
}

std::string Base64Encode(std::string_view bytes, size_t line_length) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4 + bytes.size() / 38 + 2);
  size_t column = 0;
  auto put = [&](char c) {
    if (line_length > 0 && column == line_length) {
      out += "\r\n";
      column = 0;
    }
    out.push_back(c);
    ++column;
  };
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    uint32_t n = (static_cast<unsigned char>(bytes[i]) << 16) |
                 (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                 static_cast<unsigned char>(bytes[i + 2]);
    put(kBase64Alphabet[(n >> 18) & 63]);
    put(kBase64Alphabet[(n >> 12) & 63]);
    put(kBase64Alphabet[(n >> 6) & 63]);
    put(kBase64Alphabet[n & 63]);
  }
  size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t n = static_cast<unsigned char>(bytes[i]) << 16;
    if (rest == 2) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    put(kBase64Alphabet[(n >> 18) & 63]);
    put(kBase64Alphabet[(n >> 12) & 63]);
    put(rest == 2 ? kBase64Alphabet[(n >> 6) & 63] : '=');
    put('=');
  }
  return out;
}

std::string FormatMailDate(std::chrono::system_clock::time_point when) {
  return UtcHeaderDate(std::chrono::system_clock::to_time_t(when), "+0000");
}

std::string MakeMessageId(std::string_view from_address) {
  static std::atomic<uint64_t> counter{0};
  thread_local std::mt19937_64 random{std::random_device{}()};
  std::string_view domain = "localhost";
  size_t at = from_address.find('@');
  if (at != std::string_view::npos && at + 1 < from_address.size()) {
    domain = from_address.substr(at + 1);
  }
  auto now = std::chrono::system_clock::now().time_since_epoch();
  char buffer[96];
  std::snprintf(buffer, sizeof(buffer), "<%llx.%llx.%016llx@",
                static_cast<unsigned long long>(
                    std::chrono::duration_cast<std::chrono::microseconds>(now).count()),
                static_cast<unsigned long long>(counter.fetch_add(1)),
                static_cast<unsigned long long>(random()));
  return std::string(buffer) + std::string(domain) + ">";
}

std::string ComposeMailMessage(const MailMessage& message, std::string_view date,
                               std::string_view message_id) {
  std::string out;
  auto header = [&out](std::string_view name, std::string_view value) {
    out += name;
    out += ": ";
    out += value;
    out += "\r\n";
  };
  header("Date", CleanHeaderText(date));
  header("From", FormatMailbox(message.from_name, message.from));
  header("To", FormatMailbox(message.to_name, message.to));
  header("Subject", EncodeHeaderText(message.subject));
  header("Message-ID", CleanHeaderText(message_id));
  header("MIME-Version", "1.0");
  if (message.high_importance) {
    header("Importance", "high");
    header("X-Priority", "1");
  }
  header("Content-Type", "text/html; charset=gb2312");
  header("Content-Transfer-Encoding", "base64");
  out += "\r\n";
  // Characters without a code page 936 form stay readable in HTML as character references.
  out += Base64Encode(Utf8ToGbk(message.html_body, Unmappable::kCharRef), 76);
  out += "\r\n";
  return out;
}

}  // namespace folirex
