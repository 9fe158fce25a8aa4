#include "platform/mail/smtp_mailer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <string_view>

#include "platform/net/curl_easy.h"

namespace folirex {

namespace {

// The server name goes into the URL given to libcurl, so it must not carry a path, credentials,
// a port or anything else a URL could read into it.
bool IsSaneHost(std::string_view host) {
  if (host.empty() || host.size() > 253) return false;
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return false;
    for (char c : host.substr(1, host.size() - 2)) {
      if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
    }
    return true;
  }
  for (char c : host) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') {
      return false;
    }
  }
  return true;
}

struct Upload {
  std::string_view data;
  size_t sent = 0;
};

size_t SendData(char* buffer, size_t size, size_t count, void* user) {
  auto* upload = static_cast<Upload*>(user);
  size_t n = std::min(size * count, upload->data.size() - upload->sent);
  std::memcpy(buffer, upload->data.data() + upload->sent, n);
  upload->sent += n;
  return n;
}

MailResult Failure(std::string error) { return MailResult{false, std::move(error)}; }

}  // namespace

MailResult SendSmtpMail(const SmtpSettings& settings, const MailMessage& message) {
  if (!IsSaneHost(settings.host)) return Failure("the mail server name is not valid");
  if (settings.port < 1 || settings.port > 65535) {
    return Failure("the mail server port is not valid");
  }
  if (!IsSaneMailAddress(message.from)) return Failure("the sender address is not valid");
  if (!IsSaneMailAddress(message.to)) return Failure("the recipient address is not valid");

  std::string text = ComposeMailMessage(message, FormatMailDate(std::chrono::system_clock::now()),
                                        MakeMessageId(message.from));
  Upload upload{text};
  std::string url = (settings.port == 465 ? "smtps://" : "smtp://") + settings.host + ":" +
                    std::to_string(settings.port);
  std::string mail_from = "<" + message.from + ">";
  CurlList recipients;
  if (!recipients.Append("<" + message.to + ">")) return Failure("out of memory");

  CurlEasy curl;
  CURL* h = curl.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500  // 7.85.0
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
#else
  curl_easy_setopt(h, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_SMTP | CURLPROTO_SMTPS));
#endif
  curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
  long timeout = std::max(settings.timeout_seconds, 1);
  curl_easy_setopt(h, CURLOPT_TIMEOUT, timeout);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, timeout);
  if (!settings.user.empty()) {
    curl_easy_setopt(h, CURLOPT_USERNAME, settings.user.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, settings.password.c_str());
  }
  curl_easy_setopt(h, CURLOPT_MAIL_FROM, mail_from.c_str());
  curl_easy_setopt(h, CURLOPT_MAIL_RCPT, recipients.get());
  curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(h, CURLOPT_READFUNCTION, SendData);
  curl_easy_setopt(h, CURLOPT_READDATA, &upload);
  curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(text.size()));

  CURLcode code = curl_easy_perform(h);
  if (code != CURLE_OK) return Failure(curl.ErrorText(code));
  return MailResult{true, ""};
}

}  // namespace folirex
