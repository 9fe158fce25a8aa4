#include "console/admin_pager.h"

#include <algorithm>
#include <string>

#include "core/pagination.h"
#include "core/public_request.h"
#include "platform/db/connection.h"
namespace folirex {
namespace {

constexpr int64_t kDefaultPageSize = 20;

}  // namespace

void AdminPager::Pager_Open(RequestState& state) {
  Pager_Close();
  // Every list sets 20; a size below 1 would leave no page to show (and divide by zero).
  const int64_t size = PagerPageSize >= 1 ? PagerPageSize : kDefaultPageSize;
  int64_t page = std::max<int64_t>(RequestedPage(state), 1);

  if (state.db.Conn == nullptr) throw DbError("Pager_Open: the database is not open");
  PagerRs = std::make_unique<Recordset>();
  if (PagerRows.table.empty()) {
    PagerRs->Open(PagerSql, PagerParams, *state.db.Conn, 1, 1);
  } else {
    PagerRs->Open(PagerRows, *state.db.Conn, 1, 1);
  }

  // The static cursor answers the count with a count over the same select, so asking it first
  // spares reading the first rows when a later page is shown.
  PagerRecordCount = std::max<int64_t>(PagerRs->RecordCount(), 0);
  PagerPageCount = PageCountOf(PagerRecordCount, size);
  // A page that lies beyond the rows shows the first page.
  if (page > PagerPageCount) page = 1;
  if (page != 1) PagerRs->Move(FirstRowOf(page, size) - 1);
  PagerPage = page;
  PagerRowFrom = PagerRecordCount > 0 ? FirstRowOf(page, size) : 0;
  PagerRowTo = page < PagerPageCount ? page * size : PagerRecordCount;

  // The four steps of a window of one page: to the first, the previous, the next, the last.
  const PageAddress address = PageAddress::Query(PagerUrl);
  const PageWindow steps = WindowOf(PagerPage, 1, PagerPageCount);
  PagerFirstLink = PageStep(address, steps.to_first, "首页");
  PagerPrevLink = PageStep(address, steps.to_previous, "上页");
  PagerNextLink = PageStep(address, steps.to_next, "下页");
  PagerLastLink = PageStep(address, steps.to_last, "尾页");

  if (PagerRecordCount > 0) {
    std::string options;
    for (int64_t i = 1; i <= PagerPageCount; ++i) {
      const std::string number = std::to_string(i);
      options += "<option value='" + number + "'";
      if (i == PagerPage) options += " selected";
      options += ">第" + number + "页</option>";
    }
    PagerBar =
        "<table border=0 cellpadding=0 cellspacing=0 width='100%' align=center><form action='" +
        address.BaseHref() + "' method='post' name='pageform'><tr><td>" + PagerFirstLink +
        "&nbsp;" + PagerPrevLink + "&nbsp;" + PagerNextLink + "&nbsp;" + PagerLastLink +
        "&nbsp;&nbsp;&nbsp;&nbsp;共<b>" + std::to_string(PagerRecordCount) +
        "</b>个&nbsp;&nbsp;页次[<b><span class=highlight2>" + std::to_string(PagerPage) +
        "</span>/" + std::to_string(PagerPageCount) + "</b>]&nbsp;&nbsp;<b>" +
        std::to_string(size) +
        "</b>个/页&nbsp;&nbsp;&nbsp;&nbsp;转到&nbsp;<select name='page' size=1 "
        "onchange='javascript:submit()'>" +
        options + "</select>&nbsp;&nbsp;</td></tr></form></table>";
  }
}

void AdminPager::Pager_Close() noexcept {
  if (PagerRs != nullptr) {
    PagerRs->Close();
    PagerRs.reset();
  }
}

}  // namespace folirex
