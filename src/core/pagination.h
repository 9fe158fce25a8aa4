// The paging of lists: the core that every list pager builds on (the page count, the window of
// page numbers, the addresses and links of pages), and
// Cls_Pagination, the pager of the public lists. The console's list pager (AdminPager) builds
// on the same core.
//
// Cls_Pagination: given the select, its count (a select that counts its rows, or the list of
// articles it reads, core/list_query.h), a page size and a link base,
// it settles the current page, reads that page's rows in one window of the database, and builds
// the page-number bar: glyph links to the first page, the previous and next window of numbers and
// the last page, the numbered links of the current window, a summary and a page box with a go
// button.
//
// Links go either to query-string pages (`Url` + "page=" / "Page=" + n, the current page read
// back from the request value `Page`, RequestedPage of core/public_request.h) or, with PositionFlag
// "1", to static list files whose names carry "_" + n before the extension (page 1 is `Url`
// itself).
//
// A page deep in a list of articles costs what the first page costs: with DeepPages, the list's
// head (the ids of its first rows, in its order) is kept against the article data version and
// the page reads just its own rows by id.
//
// Use: one object per list and request; set the properties, call ResultSet() once, then read
// TotalRecord() and ShowPage(). ResultSet opens and closes its own recordset on the request's
// connection; nothing outlives the call. Not thread-safe (it belongs to the request's worker).
// Database failures throw DbError to the caller. The core's functions are pure and may be called
// from any thread.
#ifndef FOLIREX_CORE_PAGINATION_H_
#define FOLIREX_CORE_PAGINATION_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/list_query.h"
#include "core/list_structures.h"
#include "core/request_state.h"
#include "platform/db/connection.h"
#include "platform/db/sql_params.h"
#include "platform/db/variant.h"

namespace folirex {

// The paging rule for a number typed or passed in: `default_value` unless `value` is numeric
// (a number, or text reading as one), which is rounded half to even (2.5 -> 2) and held inside
// the 32-bit range. Only when `bound` is above -1 is the result then clamped to
// [default_value, bound], the minimum first.
int32_t CheckNum(const Variant& value, int32_t default_value, int32_t bound);

// ---- The paging core --------------------------------------------------------------------------

// Pages that `records` rows fill at `page_size` (at least 1) rows a page; 0 for no rows.
int64_t PageCountOf(int64_t records, int64_t page_size);

// The number of the first row of page `page` (1-based) at `page_size` rows a page.
inline int64_t FirstRowOf(int64_t page, int64_t page_size) { return (page - 1) * page_size + 1; }

// The page numbers are cut into windows of `width` numbers (1..width, width+1..2*width, ...). A
// bar lists the numbers of the current page's window and steps back or forward a whole window
// (with width 1, one page) or to the first or the last page; a step that has nowhere to go is
// shown as plain text, marked here by target 0.
struct PageWindow {
  int64_t first = 1;        // the window's first number
  int64_t last = 0;         // its last number that is a page (the window's end or the last page)
  int64_t to_first = 0;     // 1 outside the first window
  int64_t to_previous = 0;  // the page just before the window, outside the first window
  int64_t to_next = 0;      // the page just after the window, before the last window
  int64_t to_last = 0;      // the last page, before the last window
};

// The window of `width` (at least 1) numbers that holds `page` (at least 1), among `page_count`
// pages (0 for an empty list: no step goes anywhere).
PageWindow WindowOf(int64_t page, int64_t width, int64_t page_count);

// How a list addresses its pages: by a query-string value after a base, or (a generated list)
// by files named after the first page's file.
class PageAddress {
 public:
  // `base` ends in "&" (or "?") so that "page=" + n can follow.
  static PageAddress Query(std::string base);
  // Page 1 is the file `first_file` itself; page n the same name with "_" + n before the
  // extension, which begins at the last "." of the last path segment (a folder holding a dot
  // stays whole; a name without an extension takes the suffix at its end).
  static PageAddress StaticFiles(std::string first_file);

  // The base (or the first page's file) as given, and split where a page's suffix goes.
  const std::string& base() const { return base_; }
  const std::string& stem() const { return stem_; }
  const std::string& extension() const { return extension_; }

  // The base encoded for an attribute: a query-string list's address without a page, or the
  // first page's file.
  const std::string& BaseHref() const { return base_href_; }
  // The address of page n, encoded for an attribute. A query-string address ends in
  // `key` + "=" + n: the lists write "page", Cls_Pagination's numbered links "Page".
  std::string Href(int64_t n, std::string_view key = "page") const;

 private:
  PageAddress(std::string base, bool files);

  std::string base_;
  std::string base_href_;
  bool files_ = false;
  std::string stem_;
  std::string extension_;
};

// `<a href="HREF"ATTRIBUTES>LABEL</a>`: `href` encoded for the attribute, `attributes` the
// markup that follows it inside the tag (" title='...'"), `label` markup.
std::string PageLink(std::string_view href, std::string_view label,
                     std::string_view attributes = {});

// A step of a bar: the link of page `target` when it is a page (above 0), else `label` alone.
std::string PageStep(const PageAddress& address, int64_t target, std::string_view label,
                     std::string_view attributes = {});

// ---- Cls_Pagination ---------------------------------------------------------------------------

class Cls_Pagination {
 public:
  // One row per element, the fields in the order of the select list (the page code's array is
  // field-first; here it is row-first, as the database hands it over).
  using Rows = std::vector<std::vector<Variant>>;

  // `state` supplies Conn (open) and the request being served; it must outlive the object.
  explicit Cls_Pagination(RequestState& state);

  Cls_Pagination(const Cls_Pagination&) = delete;
  Cls_Pagination& operator=(const Cls_Pagination&) = delete;

  // Database kind; every list passes "ACCESS". The page is read the same way for any value.
  void DbType(std::string value) { db_type_ = std::move(value); }
  const std::string& DbType() const { return db_type_; }
  // The select whose rows are paged (ordered, in the pages' SQL dialect).
  void Sql(std::string value) { sql_ = std::move(value); }
  const std::string& Sql() const { return sql_; }
  // A select whose first column of its first row is the number of rows of Sql; when it reads
  // no table but the settings tables `kept` (platform/db/kept_reads.h), its count is answered
  // from memory while they stay the same.
  void SqlCount(std::string value, std::vector<std::string_view> kept = {}) {
    sql_count_ = std::move(value);
    count_tables_ = std::move(kept);
  }
  const std::string& SqlCount() const { return sql_count_; }
  // Values bound to the "?" placeholders of Sql and of SqlCount, which hold the same placeholders
  // in the same order.
  void Params(std::vector<Variant> value) { params_ = std::move(value); }
  // Sql selects the rows of `list`, a list of articles (made from it, with its values, which
  // become Params): its count is taken from the count cache that the article data version keeps
  // exact (core/list_structures.h), unless Total gives it, and with DeepPages its head is kept.
  void Articles(ListQuery list) {
    params_ = list.Values();
    list_ = std::move(list);
  }
  // The number of rows of Sql, known already: nothing counts them.
  void Total(int64_t value) { known_total_ = value; }
  // With Articles, for a list whose first column is d_id: a page that lies deeper than a few
  // pages reads only its own rows, by id, with the select this gives over a source
  // ("Vantrel_Article where d_id in (?,...)"), and puts them in the order of the list's head (the
  // ids of its first rows, read with Sql itself and kept under the list; see ListHead). After
  // article changes the head is brought forward through the change log where the list's
  // conditions tell which rows it holds (ListHeadBroughtForward), else read again. The rows and
  // their order are those the page reads from a window of Sql.
  // Pages whose first row lies past this many rows go through the list's head: the rows before
  // them cost more to step over than the head's upkeep.
  static constexpr int64_t kDeepFromRow = 100;
  void DeepPages(std::function<std::string(const std::string& source)> select_from) {
    deep_select_ = std::move(select_from);
  }
  // Set: the page's rows are read with the select this gives for the page's first row (0-based)
  // and size, a select of exactly those rows in the list's order, instead of a window of Sql.
  void PageSql(std::function<std::string(int64_t offset, int64_t count)> value) {
    page_sql_ = [value = std::move(value)](int64_t offset, int64_t count) {
      return BoundSelect{value(offset, count), {}};
    };
  }
  // PageSql for a list whose ids are known in its order: the page's rows are
  // select_from("Vantrel_Article where d_id in (?,...)") with the page's ids bound, select_from
  // giving a select in the list's order of the rows of its source.
  void PageIds(std::shared_ptr<const std::vector<int64_t>> ids,
               std::function<std::string(const std::string& source)> select_from);
  // The same with the ids of each page as page_ids gives them for its first row (0-based) and
  // size: the select is one text for every page of a size, whatever its ids.
  void PageIds(std::function<std::vector<int64_t>(int64_t offset, int64_t count)> page_ids,
               std::function<std::string(const std::string& source)> select_from);
  // Kept for the callers that set it; nothing reads it.
  void KeyID(std::string value) { key_id_ = std::move(value); }
  const std::string& KeyID() const { return key_id_; }
  // Base of every link: a query-string base ending in "&" (or "?"), or the static file name or
  // path of the first page, whose last segment holds the extension.
  void Url(std::string value) { url_ = std::move(value); }
  const std::string& Url() const { return url_; }
  // The current page when PositionFlag is "1"; after ResultSet the current page in both modes.
  void RequestPage(Variant value) { request_page_ = std::move(value); }
  const Variant& RequestPage() const { return request_page_; }
  // "1": static-file links and the page from RequestPage; anything else: query-string links and
  // the page from the request value `Page`.
  void PositionFlag(Variant value) { position_flag_ = std::move(value); }
  const Variant& PositionFlag() const { return position_flag_; }
  // Rows per page (default 20). A non-numeric value, or one below 1, keeps the previous size.
  void PageSize(const Variant& value);
  int32_t PageSize() const { return page_size_; }
  // Numbered links per window (default 5). A non-numeric value, or one below 1, keeps the
  // previous number.
  void NumSize(const Variant& value);
  int32_t NumSize() const { return num_size_; }

  // Runs the paging: counts with SqlCount, settles the current page (missing, non-numeric or
  // below 1 gives 1; beyond the last page gives the last page), builds the bar and returns the
  // page's rows (fewer than PageSize on the last page). No rows: an empty result, no bar.
  Rows ResultSet();
  // The read ResultSet will make of the page's rows, when it is known before, with no statement:
  // for a list of articles (Articles) whose count is kept at the article data version, the
  // page's window of Sql, or deep in the list the page's rows by the ids of its kept head; for a
  // list of known ids (PageIds) and count (Total), the page's rows by their ids, which it asks of
  // PageIds' function (so a caller whose ids a statement finds does not plan the read: it would
  // run twice). nullopt otherwise. Read ahead with a page's other reads (core/reads_ahead.h),
  // ResultSet takes the rows from there.
  std::optional<Connection::TogetherRead> PlannedRead();

  // The count read by ResultSet; 0 before it.
  int64_t TotalRecord() const { return total_record_; }
  // Number of pages; 0 before ResultSet or for an empty list.
  int64_t PageCount() const { return page_count_; }
  // The bar built by ResultSet; empty when the count was 0 or ResultSet was not called.
  std::string ShowPage() const { return bar_.whole; }

  // The fragments of the bar, for callers and checks that want one of them.
  int64_t WindowStart() const { return bar_.window_start; }
  const std::string& FirstLink() const { return bar_.first_link; }
  const std::string& PrevLink() const { return bar_.prev_link; }
  const std::string& PageLinks() const { return bar_.page_links; }
  const std::string& NextLink() const { return bar_.next_link; }
  const std::string& LastLink() const { return bar_.last_link; }
  const std::string& GoBox() const { return bar_.go_box; }
  const std::string& PageBar() const { return bar_.whole; }

 private:
  // The bar of one page and its fragments.
  struct Bar {
    int64_t window_start = 0;
    // The glyph steps around the numbered links of the window.
    std::string first_link, prev_link, page_links, next_link, last_link;
    std::string go_box;
    std::string whole;
  };

  // A select and the values bound to its placeholders.
  struct BoundSelect {
    std::string sql;
    std::vector<Variant> params;
  };

  bool StaticLinks() const;
  // The page shown for `requested` among `page_count` pages: 1 when missing, not a number or
  // below 1, the last page when beyond it.
  static int64_t SettledPage(const Variant& requested, int64_t page_count);
  // The first row (1-based) of the page ResultSet will show of a list of `total` rows.
  int64_t PlannedFirstRow(int64_t total) const;
  // Whether the page from `first_row` goes through the list's head (DeepPages).
  bool ThroughHead(int64_t first_row) const;
  // The select of the ids of `head` from first_row, at most a page of them, and the ids; an empty
  // select when the head ends before it.
  std::pair<BoundSql, std::vector<int64_t>> HeadPage(const ListHead& head, int64_t first_row) const;
  // The rows of a select, at most PageSize of them.
  Rows ReadPage(const BoundSelect& select);
  // The page's rows through the list's kept head (DeepPages), reading the head when no head of
  // this version reaches the page; nullopt when the head cannot serve it (a list too long to
  // keep, or one that changed between the head and the rows), which then walks to the page.
  std::optional<Rows> RowsThroughHead(int64_t first_row, int64_t version);
  Bar BuildBar(int64_t current_page) const;
  // The page's rows from the window of rows read ahead (RequestCaches::ListRows), reading the
  // window again from first_row when it does not hold them.
  Rows RowsReadAhead(int64_t first_row);
  // The most rows a window read ahead holds.
  static constexpr int64_t kMaxRowsAhead = 2000;
  // A head is read for at least this many rows, and then for twice as many as the head it
  // replaces, so that walking a list page by page reads it a few times at most.
  static constexpr int64_t kFirstHeadRows = 1024;

  RequestState& state_;
  std::string db_type_;
  std::string sql_;
  std::string sql_count_;
  std::vector<std::string_view> count_tables_;  // the kept tables sql_count_ reads, if any
  std::string key_id_;
  std::string url_;
  Variant request_page_;
  Variant position_flag_;
  int32_t page_size_ = 20;
  int32_t num_size_ = 5;
  std::vector<Variant> params_;
  std::optional<ListQuery> list_;
  std::optional<int64_t> known_total_;
  std::function<BoundSelect(int64_t, int64_t)> page_sql_;
  std::function<std::string(const std::string&)> deep_select_;

  int64_t total_record_ = 0;
  int64_t page_count_ = 0;
  Bar bar_;
};

}  // namespace folirex

#endif  // FOLIREX_CORE_PAGINATION_H_
