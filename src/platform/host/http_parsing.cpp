#include "platform/host/http_parsing.h"

namespace folirex::host {

bool IsParseError(const beast::error_code& ec) {
  return ec.category() == beast::error_code(http::error::bad_method).category() &&
         ec != http::error::end_of_stream && ec != http::error::partial_message;
}

// The answer to a chunked body whose unparsed rest filled what it may take: 431 when it is the
// trailer after the last chunk (a chunk size of zeros), else 400 (a chunk line too long).
int PendingChunkedOverflowStatus(const beast::flat_buffer& buffer) {
  std::string_view rest(static_cast<const char*>(buffer.data().data()), buffer.size());
  if (rest.starts_with("\r\n")) rest.remove_prefix(2);  // the end of the chunk before
  const size_t line_end = rest.find('\n');
  const size_t digits = rest.find_first_not_of('0');
  const bool last_chunk = line_end != std::string_view::npos && digits > 0 && digits < line_end &&
                          std::string_view(";\r \t").find(rest[digits]) != std::string_view::npos;
  return last_chunk ? 431 : 400;
}

// The length of the request line at the front of what was received (all of it when no line
// end has come yet).
size_t StartLineLength(const beast::flat_buffer& buffer) {
  std::string_view data(static_cast<const char*>(buffer.data().data()), buffer.size());
  size_t end = data.find('\n');
  return end == std::string_view::npos ? data.size() : end;
}

}  // namespace folirex::host
