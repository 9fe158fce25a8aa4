// The id lists that list forms post for bulk actions (the checked boxes' ids, which arrive joined
// by ", "), as the request reader reads them (RequestReader::Ids). Every part must be a plain id;
// a list is then rebuilt from the numbers themselves, so that nothing of the posted text reaches
// an "in (...)" condition.
//
// Pure functions; thread-safe.
#ifndef FOLIREX_CORE_ID_LIST_H_
#define FOLIREX_CORE_ID_LIST_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace folirex {

struct IdList {
  std::vector<int64_t> ids;  // in the order posted, repeats dropped
  std::string sql;           // the ids joined by ",", ready for "in (" + sql + ")"
};

// The most distinct ids a list may hold: as many as a form may post fields, so no page a
// browser posts comes near it, and every bound "in (...)" stays far inside the databases'
// limits on values per statement (a page may bind its list more than once).
inline constexpr size_t kMostPostedIds = 1000;

// False (and *out untouched) when the text is empty, when any comma-separated part, trimmed of
// spaces, is not a plain id (ParseId of core/public_request.h), or when the list holds
// more than kMostPostedIds distinct ids.
bool ParseIdList(std::string_view posted, IdList* out);

}  // namespace folirex

#endif  // FOLIREX_CORE_ID_LIST_H_
