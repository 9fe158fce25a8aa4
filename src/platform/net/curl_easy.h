// Owning wrappers for the libcurl handles that the mail and fetching layers use, and the one-time
// library set-up that must happen before the first handle is made.
//
// A CurlEasy belongs to one thread at a time; it may be moved, not copied. Construction throws
// std::runtime_error only when libcurl cannot allocate a handle (out of memory); everything that
// can fail on the network is reported by the callers as a result, not thrown.
#ifndef FOLIREX_PLATFORM_NET_CURL_EASY_H_
#define FOLIREX_PLATFORM_NET_CURL_EASY_H_

#include <curl/curl.h>

#include <memory>
#include <string>

namespace folirex {

// Initialises libcurl once for the process (thread-safe, idempotent).
void EnsureCurlGlobalInit();

class CurlEasy {
 public:
  CurlEasy();

  CURL* get() const { return handle_.get(); }

  // The text of the last failure: libcurl's detailed message when it gave one, otherwise the
  // generic text of the code.
  std::string ErrorText(CURLcode code) const;

  // Where libcurl writes its detailed message; set as CURLOPT_ERRORBUFFER by the constructor.
  char* error_buffer() { return error_buffer_->data; }

 private:
  struct Deleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
  };
  // Kept on the heap so that the address handed to libcurl survives a move of this object.
  struct ErrorBuffer {
    char data[CURL_ERROR_SIZE] = {};
  };
  std::unique_ptr<CURL, Deleter> handle_;
  std::unique_ptr<ErrorBuffer> error_buffer_;
};

// A curl_slist that frees itself.
class CurlList {
 public:
  CurlList() = default;
  CurlList(const CurlList&) = delete;
  CurlList& operator=(const CurlList&) = delete;
  ~CurlList() { curl_slist_free_all(list_); }

  // False when libcurl could not allocate the entry.
  bool Append(const std::string& item);
  curl_slist* get() const { return list_; }

 private:
  curl_slist* list_ = nullptr;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_NET_CURL_EASY_H_
