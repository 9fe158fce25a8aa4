// AdminPager: the small pager of the console's long lists (administrators, rights, the login
// log, comments, advertisements). The caller fills in PagerRows (a list of one table's rows) or
// PagerSql (any other select), PagerPageSize and PagerUrl,
// calls Pager_Open, walks at most PagerPageSize rows of PagerRs, writes PagerBar (or its own bar
// from the four links) when PagerRecordCount is above 0, and calls Pager_Close.
//
//   AdminPager pager;
//   pager.PagerPageSize = 20;
//   pager.PagerRows = {.table = "Vantrel_Log", .order = "d_id desc"};
//   pager.PagerUrl = "?m=admin_loginlog&";
//   pager.Pager_Open(state);
//   for (int n = 0; n < pager.PagerPageSize && !pager.PagerRs->Eof(); ++n) {
//     ...; pager.PagerRs->MoveNext();
//   }
//   if (pager.PagerRecordCount > 0) state.host.Response->Write(pager.PagerBar);
//   pager.Pager_Close();
//
// The page comes from the request value "page" (query string first, then the posted page
// select). The page count, the page asked for, the four steps and their links come from the
// paging core of core/pagination.h, which Cls_Pagination shares. The recordset is a static cursor
// positioned on the page's first row: the database reads the count and the window of the page,
// never the rows before it.
//
// PagerRs is open on the request's connection between Pager_Open and Pager_Close (the
// destructor closes it too); the pager must not outlive RequestState::Conn. One pager serves one
// list at a time on the request's worker; not thread-safe. Query failures throw DbError.
#ifndef FOLIREX_CONSOLE_ADMIN_PAGER_H_
#define FOLIREX_CONSOLE_ADMIN_PAGER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/request_state.h"
#include "platform/db/recordset.h"
#include "platform/db/table_rows.h"

namespace folirex {

struct AdminPager {
  AdminPager() = default;
  ~AdminPager() { Pager_Close(); }
  AdminPager(const AdminPager&) = delete;
  AdminPager& operator=(const AdminPager&) = delete;

  // Set by the caller: the rows of one table, counted from their description; or, when
  // PagerRows names no table, a select and the values of its "?" placeholders, in order.
  db::TableRows PagerRows;
  std::string PagerSql;
  std::vector<Variant> PagerParams;
  int64_t PagerPageSize = 20;  // below 1 is taken as 20
  std::string PagerUrl;        // ends with "&" (or "?") so that "page=" can follow

  // Set by Pager_Open.
  std::unique_ptr<Recordset> PagerRs;
  int64_t PagerPage = 1;
  int64_t PagerPageCount = 0;
  int64_t PagerRecordCount = 0;
  int64_t PagerRowFrom = 0;
  int64_t PagerRowTo = 0;
  std::string PagerFirstLink;
  std::string PagerPrevLink;
  std::string PagerNextLink;
  std::string PagerLastLink;
  // Rebuilt only by an open that finds rows.
  std::string PagerBar;

  // Opens PagerRows (or PagerSql) on `state.db.Conn` and settles the page: a missing, non-numeric
  // or below-1 "page" gives 1, and so does a page that lies beyond the rows.
  void Pager_Open(RequestState& state);
  // Closes and drops PagerRs; harmless when nothing is open.
  void Pager_Close() noexcept;
};

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_ADMIN_PAGER_H_
