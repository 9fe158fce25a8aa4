#include "console/console_text.h"

namespace folirex {

std::vector<std::string> RequestValues(const Request& request, std::string_view key) {
  std::vector<std::string> values = request.QueryStringValues(key);
  if (values.empty()) values = request.FormValues(key);
  return values;
}

}  // namespace folirex
