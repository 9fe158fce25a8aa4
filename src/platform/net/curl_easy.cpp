#include "platform/net/curl_easy.h"

#include <mutex>
#include <stdexcept>

namespace folirex {

void EnsureCurlGlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CurlEasy::CurlEasy() : error_buffer_(std::make_unique<ErrorBuffer>()) {
  EnsureCurlGlobalInit();
  handle_.reset(curl_easy_init());
  if (!handle_) throw std::runtime_error("libcurl could not create a handle");
  curl_easy_setopt(handle_.get(), CURLOPT_ERRORBUFFER, error_buffer_->data);
  // Timeouts must not raise SIGALRM in a multi-threaded server.
  curl_easy_setopt(handle_.get(), CURLOPT_NOSIGNAL, 1L);
}

std::string CurlEasy::ErrorText(CURLcode code) const {
  if (error_buffer_->data[0] != '\0') return error_buffer_->data;
  return curl_easy_strerror(code);
}

bool CurlList::Append(const std::string& item) {
  curl_slist* grown = curl_slist_append(list_, item.c_str());
  if (grown == nullptr) return false;
  list_ = grown;
  return true;
}

}  // namespace folirex
