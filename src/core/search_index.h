// The index condition of a keyword search over the articles' titles, authors or inputers: an
// "and ..." clause that narrows Vantrel_Article to a superset of the rows whose column is
// like '%keyword%' (SQLite: the FTS5 trigram table of core/list_structures.h and its term list;
// PostgreSQL: the pg_trgm GIN indexes), so that a query keeping the plain like condition beside
// it gives exactly the like's rows, fast. The structures must exist (EnsureListStructures).
#ifndef FOLIREX_CORE_SEARCH_INDEX_H_
#define FOLIREX_CORE_SEARCH_INDEX_H_

#include <string>

#include "platform/db/db_error.h"

namespace folirex {

// The clause for `column` (d_title, d_author or d_inputer, unqualified) and the keyword as the
// like pattern holds it between its two '%' (wildcards kept, quotes not yet doubled); "" when no
// index serves the keyword (only wildcards, or a short run of characters with letter case
// beyond ASCII).
std::string ArticleTextIndexCondition(SqlEngine engine, const std::string& column,
                                      const std::string& keyword);

}  // namespace folirex

#endif  // FOLIREX_CORE_SEARCH_INDEX_H_
