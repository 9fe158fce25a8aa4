#include "console/id_list.h"

#include <algorithm>
#include <charconv>

#include "console/console_text.h"
#include "core/text_helpers.h"
#include "platform/text/vb_text.h"

namespace folirex {

bool ParseIdList(std::string_view posted, IdList* out) {
  IdList list;
  size_t start = 0;
  while (true) {
    size_t end = posted.find(',', start);
    std::string part =
        Trim(posted.substr(start, end == std::string_view::npos ? end : end - start));
    if (!IsDigits(Variant(part))) return false;
    int64_t id = 0;
    auto [ptr, ec] = std::from_chars(part.data(), part.data() + part.size(), id);
    if (ec != std::errc() || ptr != part.data() + part.size()) return false;
    if (std::find(list.ids.begin(), list.ids.end(), id) == list.ids.end()) {
      list.ids.push_back(id);
      if (!list.sql.empty()) list.sql += ',';
      list.sql += std::to_string(id);
    }
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  *out = std::move(list);
  return true;
}

}  // namespace folirex
