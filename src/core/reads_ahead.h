// A page's reads made before it is drawn, in one exchange with a database server (PostgreSQL),
// where each statement alone costs a round trip: the page's whole article lists, its pictures,
// its related articles, its article's neighbours and its paged list's page. What draws each then
// takes its rows from what was read (OpenReadAhead), once: a list drawn twice is read again. Each
// read's rows are those its select alone gives, in its order. On SQLite, which answers in the
// process, nothing is read ahead.
//
// Request thread only. A read that fails is read again where it is drawn, and answers for itself
// there.
#ifndef FOLIREX_CORE_READS_AHEAD_H_
#define FOLIREX_CORE_READS_AHEAD_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/request_state.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/db/sql_params.h"

namespace folirex {

struct PageReads {
  // Whole article lists (WholeListSelect, site/article_list.h): selects of the same columns,
  // read together as the arms of one statement.
  std::vector<BoundSql> lists;
  // Any other select, each a statement of its own in the same exchange.
  std::vector<BoundSql> others;
  // The pagers' reads of their pages (Cls_Pagination::PlannedRead): a window of a select, or a
  // select whole.
  std::vector<Connection::TogetherRead> pages;
};

// Whether anything is read ahead on this database (the callers plan no reads otherwise).
bool ReadsAhead(const DatabaseState& db);

void ReadAhead(RequestState& state, const PageReads& reads);

// Opens `rs` forward-only on the rows of `sql` bound to `params` read ahead (and forgets them),
// or on the database when they were not.
void OpenReadAhead(RequestCaches& caches, Connection& conn, Recordset& rs, const std::string& sql,
                   const std::vector<Variant>& params);
void OpenReadAhead(RequestState& state, Recordset& rs, const std::string& sql,
                   const std::vector<Variant>& params);

// Keeps `rows`, read ahead for `read`, until it is drawn (TakeReadAhead, OpenReadAhead).
void KeepReadAhead(RequestCaches& caches, const BoundSql& read,
                   std::shared_ptr<const db::KeptRows> rows);

// The rows of `sql` bound to `params` read ahead (with `count` above 0, its window from
// `offset`: Connection::TogetherRead), forgotten here; null when they were not.
std::shared_ptr<const db::KeptRows> TakeReadAhead(RequestCaches& caches, const std::string& sql,
                                                  const std::vector<Variant>& params,
                                                  int64_t offset = 0, int64_t count = 0);

}  // namespace folirex

#endif  // FOLIREX_CORE_READS_AHEAD_H_
