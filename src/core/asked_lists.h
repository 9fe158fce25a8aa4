// The lists the searches asked for: whether a keyword's list was asked before, so that what is
// found again on every request the first time is kept from its second on. Among the last few
// thousand asked, by database, purpose and list. Thread-safe.
#ifndef FOLIREX_CORE_ASKED_LISTS_H_
#define FOLIREX_CORE_ASKED_LISTS_H_

#include <string_view>

#include "core/list_query.h"
#include "platform/db/connection.h"

namespace folirex {

// Whether `list` was asked for on conn's database before under `purpose`, among the last few
// thousand asked; notes it. A keyword whose matches are found again on every request the first
// time is kept from its second on.
bool AskedBefore(Connection& conn, std::string_view purpose, const ListQuery& list);
// The same without noting it: what AskedBefore would answer now.
bool WasAskedBefore(Connection& conn, std::string_view purpose, const ListQuery& list);

}  // namespace folirex

#endif  // FOLIREX_CORE_ASKED_LISTS_H_
