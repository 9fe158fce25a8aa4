#include "console/console_text.h"

namespace folirex {

std::string TrimSpaces(std::string_view text) {
  size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(' ');
  return std::string(text.substr(begin, end - begin + 1));
}

std::vector<std::string> RequestValues(const Request& request, std::string_view key) {
  std::vector<std::string> values = request.QueryStringValues(key);
  if (values.empty()) values = request.FormValues(key);
  return values;
}

}  // namespace folirex
