#include "core/id_list.h"

#include <optional>
#include <unordered_set>

#include "core/public_request.h"
#include "core/text_helpers.h"
#include "platform/text/vb_text.h"

namespace folirex {

bool ParseIdList(std::string_view posted, IdList* out) {
  IdList list;
  // Ids already taken: a crafted list can repeat ids hundreds of thousands of times.
  std::unordered_set<int64_t> seen;
  size_t start = 0;
  while (true) {
    size_t end = posted.find(',', start);
    std::string part =
        Trim(posted.substr(start, end == std::string_view::npos ? end : end - start));
    const std::optional<int64_t> parsed = ParseId(part);
    if (!parsed) return false;
    const int64_t id = *parsed;
    if (seen.insert(id).second) {
      if (list.ids.size() == kMostPostedIds) return false;
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
