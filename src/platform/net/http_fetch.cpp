#include "platform/net/http_fetch.h"

#include <curl/curl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <limits>
#include <optional>

#include "platform/net/curl_easy.h"
#include "platform/text/codepage.h"

namespace folirex {

namespace {

// The schemes a fetch may start with and a redirect may lead to.
constexpr char kAllowedProtocols[] = "http,https";

// The address as it goes to libcurl, or an error text. Collected links keep blanks and
// non-ASCII characters as written in the page; a browser sends them percent-encoded.
std::optional<std::string> PrepareUrl(std::string_view url, std::string* error) {
  size_t scheme_end = url.find("://");
  std::string scheme;
  if (scheme_end != std::string_view::npos) {
    for (char c : url.substr(0, scheme_end)) {
      scheme.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
  }
  if (scheme != "http" && scheme != "https") {
    *error = "only http and https addresses can be fetched";
    return std::nullopt;
  }
  if (url.size() == scheme_end + 3) {
    *error = "the address has no host";
    return std::nullopt;
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string prepared;
  prepared.reserve(url.size());
  for (char c : url) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      *error = "the address holds a control character";
      return std::nullopt;
    }
    if (byte == ' ' || byte >= 0x80) {
      prepared.push_back('%');
      prepared.push_back(kHex[byte >> 4]);
      prepared.push_back(kHex[byte & 0x0F]);
    } else {
      prepared.push_back(c);
    }
  }
  return prepared;
}

struct SocketGuard {
  const NetworkList* allowed = nullptr;
  bool refused = false;
  std::string refused_address;  // the first one refused
};

curl_socket_t OpenCheckedSocket(void* user, curlsocktype purpose, curl_sockaddr* address) {
  auto* guard = static_cast<SocketGuard*>(user);
  std::optional<IpAddress> target = SockaddrAddress(&address->addr);
  // Any other family (a local socket) is the machine itself.
  if (!target || IsRefusedTarget(*target, *guard->allowed, OwnInterfaceAddresses())) {
    if (!guard->refused) guard->refused_address = target ? IpAddressText(*target) : "";
    guard->refused = true;
    return CURL_SOCKET_BAD;
  }
  return ::socket(address->family, address->socktype, address->protocol);
}

struct Receiver {
  std::string* body;
  size_t max_bytes;
  bool over_cap = false;
};

size_t ReceiveBody(char* data, size_t size, size_t count, void* user) {
  auto* receiver = static_cast<Receiver*>(user);
  size_t bytes = size * count;
  if (bytes > receiver->max_bytes - receiver->body->size()) {
    receiver->over_cap = true;
    return 0;  // makes libcurl abort the transfer
  }
  receiver->body->append(data, bytes);
  return bytes;
}

}  // namespace

std::string FetchResult::Text() const { return DecodePage(body); }

std::string DecodePage(std::string_view bytes) { return GbkToUtf8(bytes); }

namespace {

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// True when `text` names the charset utf-8 after a "charset=" (blanks and quotes allowed).
bool NamesUtf8Charset(std::string_view lower_text) {
  size_t pos = 0;
  while ((pos = lower_text.find("charset", pos)) != std::string_view::npos) {
    pos += 7;
    size_t i = pos;
    while (i < lower_text.size() && (lower_text[i] == ' ' || lower_text[i] == '\t')) ++i;
    if (i >= lower_text.size() || lower_text[i] != '=') continue;
    ++i;
    while (i < lower_text.size() &&
           (lower_text[i] == ' ' || lower_text[i] == '"' || lower_text[i] == '\'')) {
      ++i;
    }
    std::string_view name = lower_text.substr(i);
    return name.starts_with("utf-8") || name.starts_with("utf8");
  }
  return false;
}

std::string ValidUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t start = pos;
    char32_t code = NextCodePoint(bytes, &pos);
    if (code == 0xFFFD && bytes.substr(start, pos - start) != "\xEF\xBF\xBD") {
      text += "\xEF\xBF\xBD";
    } else {
      text.append(bytes.substr(start, pos - start));
    }
  }
  return text;
}

}  // namespace

std::string DecodePageAsDeclared(std::string_view bytes, std::string_view content_type) {
  // A page declares its charset in the header or in a <meta> of its head, which lies near the
  // start; the rest of the body is not searched.
  constexpr size_t kHeadBytes = 4096;
  std::string header = LowerAscii(content_type);
  bool utf8 = NamesUtf8Charset(header);
  if (header.find("charset") == std::string::npos) {
    std::string head = LowerAscii(bytes.substr(0, kHeadBytes));
    size_t meta = head.find("<meta");
    utf8 = meta != std::string::npos && NamesUtf8Charset(std::string_view(head).substr(meta));
  }
  return utf8 ? ValidUtf8(bytes) : GbkToUtf8(bytes);
}

FetchResult Fetch(std::string_view url, const FetchOptions& options) {
  FetchResult result;
  std::optional<std::string> prepared = PrepareUrl(url, &result.error);
  if (!prepared) return result;
  long timeout_ms = 1000L * std::max(options.timeout_seconds, 1);
  if (options.time_left) {
    if (options.time_left->count() <= 0) {
      result.error = "no time is left for the fetch";
      return result;
    }
    timeout_ms = std::min<long>(timeout_ms, static_cast<long>(options.time_left->count()));
  }

  CurlEasy curl;
  CURL* h = curl.get();
  Receiver receiver{&result.body, options.max_bytes};
  curl_easy_setopt(h, CURLOPT_URL, prepared->c_str());
  curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
#if LIBCURL_VERSION_NUM >= 0x075500  // 7.85.0
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols);
#else
  curl_easy_setopt(h, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, options.max_redirects > 0 ? 1L : 0L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, static_cast<long>(std::max(options.max_redirects, 0)));
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, timeout_ms);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT,
                   static_cast<long>(std::max(options.connect_timeout_seconds, 1)));
  // Refuses a declared length over the cap before any of the body is read; bodies of unknown
  // length are counted by ReceiveBody.
  if (options.max_bytes < static_cast<size_t>(std::numeric_limits<curl_off_t>::max())) {
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.max_bytes));
  }
  if (!options.user_agent.empty()) {
    curl_easy_setopt(h, CURLOPT_USERAGENT, options.user_agent.c_str());
  }
  // Every connection, redirects included, is opened through the check of its address.
  SocketGuard guard;
  guard.allowed = &options.allow_networks;
  curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, OpenCheckedSocket);
  curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, &guard);
  curl_easy_setopt(h, CURLOPT_PROXY, "");
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, ReceiveBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &receiver);

  CURLcode code = curl_easy_perform(h);

  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  result.status = static_cast<int>(status);
  char* effective_url = nullptr;
  if (curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective_url) == CURLE_OK &&
      effective_url != nullptr) {
    result.final_url = effective_url;
  }
  char* content_type = nullptr;
  if (curl_easy_getinfo(h, CURLINFO_CONTENT_TYPE, &content_type) == CURLE_OK &&
      content_type != nullptr) {
    result.content_type = content_type;
  }

  if (code == CURLE_OK) {
    result.ok = true;
    return result;
  }
  result.body.clear();
  if (guard.refused) {
    result.refused = true;
    result.refused_address = guard.refused_address;
    result.error =
        "the address is not public (this machine, a private or a special network) and is refused";
  } else if (receiver.over_cap || code == CURLE_FILESIZE_EXCEEDED) {
    result.error = "the response is larger than " + std::to_string(options.max_bytes) + " bytes";
  } else {
    result.error = curl.ErrorText(code);
  }
  return result;
}

}  // namespace folirex
