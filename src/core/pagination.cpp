#include "core/pagination.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/list_structures.h"
#include "core/public_request.h"
#include "core/reads_ahead.h"
#include "platform/db/connection.h"
#include "platform/db/kept_reads.h"
#include "platform/db/recordset.h"
#include "platform/db/sql_params.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
namespace folirex {
namespace {

// For text inside a single-quoted script string that itself sits in an attribute.
std::string EncodeScriptInAttr(std::string_view text) {
  std::string js;
  js.reserve(text.size() + 16);
  for (char c : text) {
    switch (c) {
      case '\\':
        js += "\\\\";
        break;
      case '\'':
        js += "\\'";
        break;
      case '"':
        js += "\\x22";
        break;
      case '<':
        js += "\\x3C";
        break;
      case '>':
        js += "\\x3E";
        break;
      case '\n':
        js += "\\n";
        break;
      case '\r':
        js += "\\r";
        break;
      default:
        js += c;
    }
  }
  return HtmlEscapeAttr(js);
}

// Whether two lists of bound values are the same values of the same kinds (1 and "1" apart).
bool SameValues(const std::vector<Variant>& a, const std::vector<Variant>& b) {
  return db::StatementKey("", a) == db::StatementKey("", b);
}

}  // namespace

int32_t CheckNum(const Variant& value, int32_t default_value, int32_t bound) {
  int32_t result = default_value;
  if (value.IsNumeric()) {
    double number = value.ToDoubleOr(std::numeric_limits<double>::quiet_NaN());
    if (!std::isnan(number)) {
      // A number outside the 32-bit range is held at its edge, so an absurd page number is
      // treated like any other page out of range.
      if (number >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
        result = std::numeric_limits<int32_t>::max();
      } else if (number <= static_cast<double>(std::numeric_limits<int32_t>::min())) {
        result = std::numeric_limits<int32_t>::min();
      } else {
        result = static_cast<int32_t>(std::nearbyint(number));  // half to even
      }
    }
  }
  if (bound > -1) {
    if (result < default_value) result = default_value;
    if (result > bound) result = bound;
  }
  return result;
}

int64_t PageCountOf(int64_t records, int64_t page_size) {
  if (records <= 0) return 0;
  return records / page_size + (records % page_size != 0 ? 1 : 0);
}

PageWindow WindowOf(int64_t page, int64_t width, int64_t page_count) {
  PageWindow window;
  window.first = width * ((page - 1) / width) + 1;
  window.last = std::min(window.first + width - 1, page_count);
  if (window.first > 1) {
    window.to_first = 1;
    window.to_previous = window.first - 1;
  }
  if (window.first + width - 1 < page_count) {
    window.to_next = window.first + width;
    window.to_last = page_count;
  }
  return window;
}

PageAddress::PageAddress(std::string base, bool files)
    : base_(std::move(base)), base_href_(HtmlEscapeAttr(base_)), files_(files) {
  if (!files_) return;
  size_t segment = base_.find_last_of("/\\");
  size_t start = segment == std::string::npos ? 0 : segment + 1;
  size_t dot = base_.rfind('.');
  if (dot == std::string::npos || dot < start) {
    stem_ = base_;
  } else {
    stem_ = base_.substr(0, dot);
    extension_ = base_.substr(dot);
  }
}

PageAddress PageAddress::Query(std::string base) { return PageAddress(std::move(base), false); }

PageAddress PageAddress::StaticFiles(std::string first_file) {
  return PageAddress(std::move(first_file), true);
}

std::string PageAddress::Href(int64_t n, std::string_view key) const {
  if (!files_) return base_href_ + std::string(key) + "=" + std::to_string(n);
  // The generator writes page 1 without a suffix.
  if (n == 1) return base_href_;
  return HtmlEscapeAttr(stem_ + "_" + std::to_string(n) + extension_);
}

std::string PageLink(std::string_view href, std::string_view label, std::string_view attributes) {
  std::string html = "<a href=\"";
  html += href;
  html += '"';
  html += attributes;
  html += '>';
  html += label;
  html += "</a>";
  return html;
}

std::string PageStep(const PageAddress& address, int64_t target, std::string_view label,
                     std::string_view attributes) {
  if (target <= 0) return std::string(label);
  return PageLink(address.Href(target), label, attributes);
}

Cls_Pagination::Cls_Pagination(RequestState& state) : state_(state) {}

void Cls_Pagination::PageSize(const Variant& value) {
  // A size below 1 would leave no page to show (and divide by zero); it keeps the old size.
  int32_t size = CheckNum(value, page_size_, -1);
  if (size >= 1) page_size_ = size;
}

void Cls_Pagination::NumSize(const Variant& value) {
  int32_t size = CheckNum(value, num_size_, -1);
  if (size >= 1) num_size_ = size;
}

bool Cls_Pagination::StaticLinks() const { return position_flag_.Equals(Variant("1")); }

Cls_Pagination::Rows Cls_Pagination::ResultSet() {
  if (!StaticLinks()) request_page_ = Variant(RequestedPage(state_));
  total_record_ = 0;
  page_count_ = 0;
  bar_ = Bar();

  if (state_.db.Conn == nullptr) throw DbError("Cls_Pagination: the database is not open");
  Connection& conn = *state_.db.Conn;
  // One version read serves the count and the list's head.
  int64_t version = -1;
  if (known_total_) {
    total_record_ = *known_total_;
  } else if (list_) {
    version = ArticleDataVersion(conn, state_.db.Lists);
    total_record_ = CachedCount(conn, state_.db.Lists, *list_, version);
  } else {
    Recordset count;
    if (count_tables_.empty()) {
      count.Open(sql_count_, params_, conn, 0, 1);
    } else {
      count.Open(db::KeptRead{.tables = count_tables_, .sql = sql_count_, .values = params_}, conn);
    }
    if (!count.Eof() && count.FieldCount() > 0) total_record_ = count.Field(0).ToInt64Or(0);
    count.Close();
  }
  if (total_record_ <= 0) {
    total_record_ = 0;
    return {};
  }

  page_count_ = PageCountOf(total_record_, page_size_);
  const int64_t current_page = SettledPage(request_page_, page_count_);
  request_page_ = Variant(static_cast<long long>(current_page));
  bar_ = BuildBar(current_page);

  // A static cursor answers the position by reading just the window that holds it.
  const int64_t first_row = FirstRowOf(current_page, page_size_);
  if (page_sql_) return ReadPage(page_sql_(first_row - 1, page_size_));
  if (state_.caches.ListPagesAhead > 1) return RowsReadAhead(first_row);
  if (ThroughHead(first_row)) {
    if (version < 0) version = ArticleDataVersion(conn, state_.db.Lists);
    if (std::optional<Rows> rows = RowsThroughHead(first_row, version)) return std::move(*rows);
  }
  if (std::shared_ptr<const db::KeptRows> ahead =
          TakeReadAhead(state_.caches, sql_, params_, first_row - 1, page_size_)) {
    return ahead->rows;
  }
  Recordset rs;
  rs.Open(sql_, params_, conn, 1, 1);
  rs.SetAbsolutePosition(first_row);
  Rows rows = rs.GetRows(page_size_);
  rs.Close();
  return rows;
}

std::optional<Connection::TogetherRead> Cls_Pagination::PlannedRead() {
  if (state_.caches.ListPagesAhead > 1 || state_.db.Conn == nullptr) return std::nullopt;
  if (page_sql_ && known_total_) {
    // The rows of known ids: the page's select is known once its number is settled.
    if (*known_total_ <= 0) return std::nullopt;
    BoundSelect select = page_sql_(PlannedFirstRow(*known_total_) - 1, page_size_);
    return Connection::TogetherRead{{std::move(select.sql), std::move(select.params)}};
  }
  if (!list_ || known_total_ || page_sql_) return std::nullopt;
  Connection& conn = *state_.db.Conn;
  const int64_t version = ArticleDataVersion(conn, state_.db.Lists);
  const std::optional<int64_t> total = KeptCountAt(conn, state_.db.Lists, *list_, version);
  if (!total || *total <= 0) return std::nullopt;
  const int64_t first_row = PlannedFirstRow(*total);
  if (!ThroughHead(first_row)) {
    return Connection::TogetherRead{{sql_, params_}, first_row - 1, page_size_};
  }
  const std::shared_ptr<const ListHead> head =
      FindListHead(conn, state_.db.Lists, *list_, version, first_row - 1 + page_size_);
  if (head == nullptr) return std::nullopt;
  BoundSql select = HeadPage(*head, first_row).first;
  if (select.sql.empty()) return std::nullopt;
  return Connection::TogetherRead{std::move(select)};
}

int64_t Cls_Pagination::PlannedFirstRow(int64_t total) const {
  const Variant requested = StaticLinks() ? request_page_ : Variant(RequestedPage(state_));
  return FirstRowOf(SettledPage(requested, PageCountOf(total, page_size_)), page_size_);
}

int64_t Cls_Pagination::SettledPage(const Variant& requested, int64_t page_count) {
  const int32_t last_page =
      static_cast<int32_t>(std::min<int64_t>(page_count, std::numeric_limits<int32_t>::max()));
  return CheckNum(requested, 1, last_page);
}

bool Cls_Pagination::ThroughHead(int64_t first_row) const {
  return deep_select_ && list_ && first_row - 1 >= kDeepFromRow && !list_->DependsOnTime();
}

std::pair<BoundSql, std::vector<int64_t>> Cls_Pagination::HeadPage(const ListHead& head,
                                                                   int64_t first_row) const {
  const int64_t held = static_cast<int64_t>(head.ids.size());
  if (first_row - 1 >= held) return {};
  const int64_t end = std::min(first_row - 1 + page_size_, held);
  std::vector<int64_t> ids(head.ids.begin() + (first_row - 1), head.ids.begin() + end);
  BoundSql source = IdsIn("d_id", ids);
  return {BoundSql{deep_select_("Vantrel_Article where " + source.sql), std::move(source.params)},
          std::move(ids)};
}

Cls_Pagination::Rows Cls_Pagination::ReadPage(const BoundSelect& select) {
  Recordset rs;
  OpenReadAhead(state_, rs, select.sql, select.params);
  Rows rows;
  for (; !rs.Eof() && static_cast<int64_t>(rows.size()) < page_size_; rs.MoveNext()) {
    std::vector<Variant> row;
    for (int i = 0; i < rs.FieldCount(); ++i) row.push_back(rs.Field(i));
    rows.push_back(std::move(row));
  }
  rs.Close();
  return rows;
}

std::optional<Cls_Pagination::Rows> Cls_Pagination::RowsThroughHead(int64_t first_row,
                                                                    int64_t version) {
  Connection& conn = *state_.db.Conn;
  const int64_t reach = first_row - 1 + page_size_;
  std::shared_ptr<const ListHead> head =
      FindListHead(conn, state_.db.Lists, *list_, version, reach);
  if (head == nullptr) {
    int64_t want = kFirstHeadRows;
    while (want < reach) want *= 2;
    if (want > static_cast<int64_t>(kMostListHeadIds)) return std::nullopt;
    head = ReadListHeadOnce(conn, state_.db.Lists, *list_, version, want, [&] {
      // After a few article changes the head kept before is brought forward, when it reaches.
      std::shared_ptr<const ListHead> forward =
          ListHeadBroughtForward(conn, state_.db.Lists, *list_, version);
      if (forward != nullptr &&
          (forward->whole || static_cast<int64_t>(forward->ids.size()) >= reach)) {
        return forward;
      }
      // The list's own select, so that the head's order is the walk's, ties included; only its
      // ids are read, so that the rows passed over cost what the walk's do (an index entry, no
      // read of the table's rows, which hold the contents).
      Recordset rs;
      rs.Open("select top " + std::to_string(want) + " d_id from (" + sql_ + ")", params_, conn, 0,
              1);
      auto kept = std::make_shared<ListHead>();
      kept->ids.reserve(static_cast<size_t>(want));
      for (; !rs.Eof(); rs.MoveNext()) kept->ids.push_back(rs.Field(0).ToInt64Or(0));
      rs.Close();
      kept->whole = static_cast<int64_t>(kept->ids.size()) < want;
      return std::shared_ptr<const ListHead>(std::move(kept));
    });
  }
  if (head == nullptr) return std::nullopt;
  const auto [select, ids] = HeadPage(*head, first_row);
  if (select.sql.empty()) return std::nullopt;
  Recordset rs;
  OpenReadAhead(state_, rs, select.sql, select.params);
  std::unordered_map<int64_t, std::vector<Variant>> by_id;
  for (; !rs.Eof(); rs.MoveNext()) {
    std::vector<Variant> row;
    for (int i = 0; i < rs.FieldCount(); ++i) row.push_back(rs.Field(i));
    const int64_t id = row.at(0).ToInt64Or(0);
    by_id.emplace(id, std::move(row));
  }
  rs.Close();
  Rows rows;
  rows.reserve(ids.size());
  for (int64_t id : ids) {
    auto it = by_id.find(id);
    // A row gone or changed since the head was read: the walk decides.
    if (it == by_id.end()) return std::nullopt;
    rows.push_back(it->second);
  }
  return rows;
}

Cls_Pagination::Rows Cls_Pagination::RowsReadAhead(int64_t first_row) {
  RequestCaches::ListRowsWindow& ahead = state_.caches.ListRows;
  const int64_t size = page_size_;
  const int64_t held = static_cast<int64_t>(ahead.rows.size());
  const bool in_window = ahead.sql == sql_ && SameValues(ahead.params, params_) &&
                         ahead.total == total_record_ && first_row >= ahead.first &&
                         (first_row + size <= ahead.first + held || ahead.to_end);
  if (!in_window) {
    // The pages ahead, up to a bound on the rows held (at least the page).
    const int64_t want =
        std::max(size, std::min(size * state_.caches.ListPagesAhead, kMaxRowsAhead));
    Recordset rs;
    rs.Open(sql_, params_, *state_.db.Conn, 1, 1);
    rs.SetAbsolutePosition(first_row);
    ahead = RequestCaches::ListRowsWindow();
    ahead.rows = rs.GetRows(want);
    rs.Close();
    ahead.sql = sql_;
    ahead.params = params_;
    ahead.total = total_record_;
    ahead.first = first_row;
    ahead.to_end = static_cast<int64_t>(ahead.rows.size()) < want;
  }
  const auto begin =
      ahead.rows.begin() +
      std::min<int64_t>(first_row - ahead.first, static_cast<int64_t>(ahead.rows.size()));
  const auto end = begin + std::min<int64_t>(size, ahead.rows.end() - begin);
  return Rows(begin, end);
}

Cls_Pagination::Bar Cls_Pagination::BuildBar(int64_t current_page) const {
  Bar bar;
  const bool static_links = StaticLinks();
  const PageAddress address =
      static_links ? PageAddress::StaticFiles(url_) : PageAddress::Query(url_);
  const PageWindow window = WindowOf(current_page, num_size_, page_count_);
  const std::string n_text = std::to_string(num_size_);
  bar.window_start = window.first;
  auto glyph = [](const std::string& inner) {
    return "<font face=\"Webdings\">" + inner + "</font>";
  };

  // The page code tests "WindowStart below NumSize", which is the first window for every
  // NumSize above 1; with NumSize 1 it would link page 0, so the first window is tested itself.
  // The query-string link of the first page is the bare base, written with two spaces before
  // its title, as the lists have always had it.
  if (static_links) {
    bar.first_link = glyph(PageStep(address, window.to_first, "9", " title='首页'"));
  } else {
    bar.first_link =
        glyph(window.to_first == 0 ? "9" : PageLink(address.BaseHref(), "9", "  title='首页'"));
  }
  bar.prev_link = glyph(PageStep(address, window.to_previous, "7", " title='前" + n_text + "页'"));

  for (int64_t i = window.first; i <= window.last; ++i) {
    const std::string number = std::to_string(i);
    if (i == current_page) {
      bar.page_links += "<font color=\"#000000\"> [" + number + "] </font>";
    } else {
      bar.page_links += " " + PageLink(address.Href(i, "Page"), "[" + number + "]") + " ";
    }
  }

  bar.next_link = glyph(PageStep(address, window.to_next, "8", " title='后" + n_text + "页'"));
  bar.last_link = glyph(PageStep(address, window.to_last, ":", " title='尾页'"));

  bar.go_box =
      "<table border=0 cellpadding=0 cellspacing=0><tr><td>&nbsp;&nbsp;页码:<input type=text "
      "id='d_pagenavi_page' size=3 value='" +
      std::to_string(current_page) + "'> ";
  if (static_links) {
    // Page 1 has no suffixed file, so a typed 1 goes to the first file itself.
    bar.go_box +=
        "<input type=button name=b value='转' onclick=\"location.href=(d_pagenavi_page."
        "value=='1'?'" +
        EncodeScriptInAttr(url_) + "':'" + EncodeScriptInAttr(address.stem()) +
        "_'+d_pagenavi_page.value+'" + EncodeScriptInAttr(address.extension()) + "')\">";
  } else {
    bar.go_box += "<input type=button name=b value='转'onclick=\"location.href='" +
                  EncodeScriptInAttr(url_) + "Page='+d_pagenavi_page.value\">";
  }
  bar.go_box += "</td></tr></table>";

  const std::string count_text = std::to_string(page_count_);
  bar.whole = "<table border=0 cellpadding=0 cellspacing=0><tr valign=middle><td>" +
              bar.first_link + "&nbsp;" + bar.prev_link + bar.page_links + bar.next_link +
              "&nbsp;" + bar.last_link + "&nbsp;&nbsp;共<b>" + std::to_string(total_record_) +
              "</b>个&nbsp;&nbsp;页次:<b>" + std::to_string(current_page) + "/" + count_text +
              "</b>&nbsp;&nbsp;<b>" + std::to_string(page_size_) + "</b>个/页&nbsp;&nbsp;共<b>" +
              count_text + "</b>页</td><td>" + bar.go_box + "</td></tr></table>";
  return bar;
}

void Cls_Pagination::PageIds(std::shared_ptr<const std::vector<int64_t>> ids,
                             std::function<std::string(const std::string& source)> select_from) {
  PageIds(
      [ids = std::move(ids)](int64_t offset, int64_t count) {
        const int64_t size = static_cast<int64_t>(ids->size());
        const int64_t begin = std::min(offset, size);
        return std::vector<int64_t>(ids->begin() + begin,
                                    ids->begin() + std::min(begin + count, size));
      },
      std::move(select_from));
}

void Cls_Pagination::PageIds(
    std::function<std::vector<int64_t>(int64_t offset, int64_t count)> page_ids,
    std::function<std::string(const std::string& source)> select_from) {
  page_sql_ = [page_ids = std::move(page_ids), select_from = std::move(select_from)](
                  int64_t offset, int64_t count) {
    const std::vector<int64_t> page = page_ids(offset, count);
    if (page.empty()) return BoundSelect{select_from("Vantrel_Article where 1 = 0"), {}};
    BoundSql in = IdsIn("d_id", page);
    return BoundSelect{select_from("Vantrel_Article where " + in.sql), std::move(in.params)};
  };
}

}  // namespace folirex
