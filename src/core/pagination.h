// Cls_Pagination: pages one select for a public or console list. Given the select, a select
// that counts its rows, a page size and a link base, it settles the current page, reads that
// page's rows in one window of the database, and builds the page-number bar: glyph links to the
// first page, the previous and next window of numbers and the last page, the numbered links of
// the current window, a summary and a page box with a go button.
//
// Links go either to query-string pages (`Url` + "page=" / "Page=" + n, the current page read
// back from the request value `Page`) or, with PositionFlag "1", to static list files whose
// names carry "_" + n before the extension (page 1 is `Url` itself).
//
// Use: one object per list and request; set the properties, call ResultSet() once, then read
// TotalRecord() and ShowPage(). ResultSet opens and closes its own recordset on the request's
// connection; nothing outlives the call. Not thread-safe (it belongs to the request's worker).
// Database failures throw DbError to the caller.
#ifndef FOLIREX_CORE_PAGINATION_H_
#define FOLIREX_CORE_PAGINATION_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/request_state.h"
#include "platform/db/variant.h"

namespace folirex {

// The paging rule for a number typed or passed in: `default_value` unless `value` is numeric
// (a number, or text reading as one), which is rounded half to even (2.5 -> 2) and held inside
// the 32-bit range. Only when `bound` is above -1 is the result then clamped to
// [default_value, bound], the minimum first.
int32_t CheckNum(const Variant& value, int32_t default_value, int32_t bound);

class Cls_Pagination {
 public:
  // One row per element, the fields in the order of the select list (the page code's array is
  // field-first; here it is row-first, as the database hands it over).
  using Rows = std::vector<std::vector<Variant>>;

  // `state` supplies Conn (open) and Request; it must outlive the object.
  explicit Cls_Pagination(RequestState& state);

  Cls_Pagination(const Cls_Pagination&) = delete;
  Cls_Pagination& operator=(const Cls_Pagination&) = delete;

  // Database kind; every list passes "ACCESS". The page is read the same way for any value.
  void DbType(std::string value) { db_type_ = std::move(value); }
  const std::string& DbType() const { return db_type_; }
  // The select whose rows are paged (ordered, in the pages' SQL dialect).
  void Sql(std::string value) { sql_ = std::move(value); }
  const std::string& Sql() const { return sql_; }
  // A select whose first column of its first row is the number of rows of Sql.
  void SqlCount(std::string value) { sql_count_ = std::move(value); }
  const std::string& SqlCount() const { return sql_count_; }
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

  // The count read by ResultSet; 0 before it.
  int64_t TotalRecord() const { return total_record_; }
  // Number of pages; 0 before ResultSet or for an empty list.
  int64_t PageCount() const { return page_count_; }
  // The bar built by ResultSet; empty when the count was 0 or ResultSet was not called.
  std::string ShowPage() const { return page_bar_; }

  // The fragments of the bar, for callers and checks that want one of them.
  int64_t WindowStart() const { return window_start_; }
  const std::string& FirstLink() const { return first_link_; }
  const std::string& PrevLink() const { return prev_link_; }
  const std::string& PageLinks() const { return page_links_; }
  const std::string& NextLink() const { return next_link_; }
  const std::string& LastLink() const { return last_link_; }
  const std::string& GoBox() const { return go_box_; }
  const std::string& PageBar() const { return page_bar_; }

 private:
  bool StaticLinks() const;
  // The static file of page n: Url itself for page 1, else "_" + n before the extension.
  std::string StaticPageUrl(int64_t n) const;
  void BuildBar(int64_t current_page);

  RequestState& state_;
  std::string db_type_;
  std::string sql_;
  std::string sql_count_;
  std::string key_id_;
  std::string url_;
  Variant request_page_;
  Variant position_flag_;
  int32_t page_size_ = 20;
  int32_t num_size_ = 5;

  int64_t total_record_ = 0;
  int64_t page_count_ = 0;
  int64_t window_start_ = 0;
  std::string first_link_;
  std::string prev_link_;
  std::string page_links_;
  std::string next_link_;
  std::string last_link_;
  std::string go_box_;
  std::string page_bar_;
};

}  // namespace folirex

#endif  // FOLIREX_CORE_PAGINATION_H_
