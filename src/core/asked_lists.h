// The lists the searches asked for: whether a keyword's list was asked before, so that what is
// found again on every request the first time is kept from its second on. Among the last few
// thousand asked, by database, purpose and list. A site server keeps them (core/site_caches.h);
// without them (null) no list was asked before and none is noted. Thread-safe.
#ifndef FOLIREX_CORE_ASKED_LISTS_H_
#define FOLIREX_CORE_ASKED_LISTS_H_

#include <mutex>
#include <string>
#include <string_view>

#include "core/list_query.h"
#include "platform/cache/lru_cache.h"
#include "platform/db/connection.h"

namespace folirex {

// The lists asked for, the most recently asked first.
struct AskedLists {
  std::mutex mutex;
  LruCache<std::string, bool> keys{4096};  // a charge of 1 each
};

// Whether `list` was asked for under `purpose` before; it is noted as asked now.
bool AskedBefore(AskedLists* asked, Connection& conn, std::string_view purpose,
                 const ListQuery& list);
// The same without noting it.
bool WasAskedBefore(AskedLists* asked, Connection& conn, std::string_view purpose,
                    const ListQuery& list);

}  // namespace folirex

#endif  // FOLIREX_CORE_ASKED_LISTS_H_
