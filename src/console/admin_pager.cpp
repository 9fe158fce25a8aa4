#include "console/admin_pager.h"

#include <string>
#include <string_view>

#include "core/pagination.h"
#include "platform/db/connection.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
namespace folirex {
namespace {

constexpr int64_t kDefaultPageSize = 20;

}  // namespace

void AdminPager::Pager_Open(RequestState& state) {
  Pager_Close();
  // Every list sets 20; a size below 1 would leave no page to show (and divide by zero).
  const int64_t size = PagerPageSize >= 1 ? PagerPageSize : kDefaultPageSize;

  std::string page_text =
      state.host.Request != nullptr ? (*state.host.Request)("page") : std::string();
  int64_t page = CheckNum(Variant(Trim(page_text)), 1, -1);
  if (page < 1) page = 1;

  if (state.db.Conn == nullptr) throw DbError("Pager_Open: the database is not open");
  PagerRs = std::make_unique<Recordset>();
  PagerRs->Open(PagerSql, *state.db.Conn, 1, 1);

  // The static cursor answers the count with a count over the same select, so asking it first
  // spares reading the first rows when a later page is shown.
  const int64_t count = PagerRs->RecordCount();
  if (count > 0) {
    PagerRecordCount = count;
    if ((page - 1) * size >= PagerRecordCount) page = 1;
    if (page != 1) PagerRs->Move((page - 1) * size);
    PagerPageCount = PagerRecordCount / size + (PagerRecordCount % size != 0 ? 1 : 0);
    PagerRowFrom = (page - 1) * size + 1;
    PagerRowTo = page < PagerPageCount ? page * size : PagerRecordCount;
  } else {
    page = 1;
    PagerRecordCount = 0;
    PagerPageCount = 0;
    PagerRowFrom = 0;
    PagerRowTo = 0;
  }
  PagerPage = page;

  const std::string url = HtmlEscapeAttr(PagerUrl);
  if (PagerPage < 2) {
    PagerFirstLink = "首页";
    PagerPrevLink = "上页";
  } else {
    PagerFirstLink = "<a href=\"" + url + "page=1\">首页</a>";
    PagerPrevLink = "<a href=\"" + url + "page=" + std::to_string(PagerPage - 1) + "\">上页</a>";
  }
  if (PagerPage >= PagerPageCount) {
    PagerNextLink = "下页";
    PagerLastLink = "尾页";
  } else {
    PagerNextLink = "<a href=\"" + url + "page=" + std::to_string(PagerPage + 1) + "\">下页</a>";
    PagerLastLink = "<a href=\"" + url + "page=" + std::to_string(PagerPageCount) + "\">尾页</a>";
  }

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
        url + "' method='post' name='pageform'><tr><td>" + PagerFirstLink + "&nbsp;" +
        PagerPrevLink + "&nbsp;" + PagerNextLink + "&nbsp;" + PagerLastLink +
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
