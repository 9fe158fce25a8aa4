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

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/console_request.h"
#include "core/public_request.h"
#include "core/request_state.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/db/sql_params.h"

namespace folirex {

class KeptPageReads;  // core/site_caches.h

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

// Reads `reads` not read ahead yet in one exchange. With a key for the page's reads
// (RequestCaches::PageReadsKey), they are noted for KeepPageReads, but for those that bind a value
// the connection plans its statements for (PlannedForValues).
void ReadAhead(RequestState& state, PageReads reads);

// The statements that read `reads` not read ahead yet, to go in one exchange with others: the
// lists as the arms of one statement, and what each statement answers.
struct ReadFlight {
  struct Answer {
    size_t first = 0;  // a statement of lists: its first list in list_keys, and their number
    size_t count = 0;
    std::string key;  // a read of its own (count 0): what it is kept under
  };
  std::vector<Connection::TogetherRead> statements;
  std::vector<Answer> answers;  // one a statement
  std::vector<std::string> list_keys;
};
ReadFlight FlightOf(const RequestCaches& caches, const PageReads& reads);
// Keeps what the flight's statements read, `rows` in their order (null for one that failed: it
// is read where it is drawn).
void KeepFlight(RequestCaches& caches, const ReadFlight& flight,
                const std::vector<std::shared_ptr<const db::KeptRows>>& rows, size_t first);

// A page kept under a key between requests reads what it read ahead the last time with its first
// read, the request's channels (core/site_config.h): each is taken as usual by the select and
// values it is drawn with, so what the page no longer reads is read in vain and what it reads
// anew is read as before. Pages asked for again answer in one exchange. The public pages of a
// list or an article (`m`, their ids and `page`), and searches with their values too: any other
// value they take changes no read.
std::string PageReadsKey(const PublicRequest& request, int32_t page);
// The console's article list (admin_article, its list or its recycle bin) asked for by GET: the
// action, the channel, the state of approval shown, `page` and the title searched for. A title's
// matches are read planned for its keyword, so only their page's rows, by id, are read ahead.
std::string PageReadsKey(const ConsoleRequest& request, int32_t page);
// Sets the request's key, and what its page read ahead the last time (null `kept`: none).
void ForetellReads(RequestCaches& caches, KeptPageReads* kept, std::string key);
// Keeps what the page read ahead under its key, when that is not what was foretold.
void KeepPageReads(RequestCaches& caches, KeptPageReads* kept);

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
