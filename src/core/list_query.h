// A list of articles as a value: the table it reads (with the index it walks), its conditions
// with their bound values, its order and how many of its first rows it holds. The list's SQL
// text, the key it is kept under (core/list_structures.h) and the order its rows compare by all
// come from it, so that no cache learns what a list does by reading its text back.
//
// A condition holds a "?" for each of its values: no id, author or number of the request is
// written into its text, so that one compiled statement serves every value and the cache keys
// keep each value with its kind. It says what it tests, for the counts and heads kept against
// the article data version: only columns the change log holds (core/article_change_log.h), the
// search index's narrowing (implied by a like beside it, which decides), anything else (the body,
// another table), or the clock (never kept). The builder of a condition says which; the tests
// hold every list the pages make against what SQLite reads for it (core/list_query_check.h).
//
// A plain value; copies are independent. Thread-compatible.
#ifndef FOLIREX_CORE_LIST_QUERY_H_
#define FOLIREX_CORE_LIST_QUERY_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/sql_params.h"
#include "platform/db/variant.h"

namespace folirex {

enum class ConditionKind {
  kLogged,     // tests only columns the change log holds, and no clock
  kNarrowing,  // the search index's narrowing: the like beside it decides, so the log leaves it out
  kUnlogged,   // tests what the log does not hold (the body, another table)
  kTimed,      // reads the clock ("now", "date"): its rows change without an article change
};

// One condition in the pages' SQL dialect, a "?" for each of `values` in order.
struct ListCondition {
  std::string sql;
  std::vector<Variant> values;
  ConditionKind kind = ConditionKind::kLogged;
  // For "column in (ids)" with its ids written into `sql`: the column and the ids, so that the
  // list's first rows can be read id by id (ListQuery::MergedRows). Empty otherwise.
  std::string in_column = {};
  std::vector<int64_t> in_ids = {};
};

// A key of a list's order: a column of the table, ascending unless `descending`.
struct ListOrderKey {
  std::string column;
  bool descending = false;
  bool operator==(const ListOrderKey&) const = default;
};

// " order by k1, k2 desc" with each column after `prefix` ("a."); "" for no key.
std::string OrderByClause(const std::vector<ListOrderKey>& order, std::string_view prefix = {});

// A count that the change log can bring forward: the list's logged conditions (its narrowing
// left out) and their values, in order. "" for every article.
struct LoggedCondition {
  std::string where;
  std::vector<Variant> values;
};

struct ListQuery {
  // The table, and the index hint that follows it where one is meant ("not indexed").
  std::string table = "Vantrel_Article";
  std::string hint;
  std::vector<ListCondition> conditions;
  std::vector<ListOrderKey> order;  // none: the rows in whatever order the database gives
  int64_t first_rows = 0;           // above 0: only the first N rows in `order`
  std::string id_column = "d_id";   // the column a list of ids or a count of first rows reads

  // Adds a condition of `kind`: `sql` with a "?" for each of `values`, in order. Returns the
  // query for chaining.
  ListQuery& And(ConditionKind kind, std::string sql, std::vector<Variant> values = {});
  ListQuery& And(ListCondition condition);

  // The conditions joined by "and" ("" when none), and their values in the same order.
  std::string Condition() const;
  std::vector<Variant> Values() const;
  // " where ..." ("" when no condition).
  std::string WhereClause() const;
  // What follows "from" in a select of its rows: the table, its hint and the where clause.
  std::string Source() const;
  // " order by k1, k2 desc" with each column after `prefix` ("a."); "" without an order.
  std::string OrderBy(std::string_view prefix = {}) const;
  // "select [top N] columns from Source OrderBy".
  std::string Select(std::string_view columns) const;
  // The same for a derived table whose outer select orders the rows: the order only with top N.
  std::string Rows(std::string_view columns) const;
  // A select of the number of its rows (with first_rows, at most that many), with `beside`
  // (", expression, ...") read after the count in the same row.
  std::string CountSql(std::string_view beside = {}) const;
  // The same rows as Rows with first rows and an order, read part by part: for its condition
  // "column in (ids)" of more than one id (the last such), the first rows of each id in the
  // order, their union ordered again and cut to the first rows. Each part holds every condition,
  // so the values come once a part; the order's columns must be among `columns`. nullopt without
  // such a condition, an order or first rows.
  std::optional<BoundSql> MergedRows(std::string_view columns) const;

  // What the rows are and in what order: table, conditions with their values, order, first
  // rows. Two queries with one key give the same rows in the same order.
  std::string Key() const;
  // The same list with every row and no order: what its count is kept as.
  ListQuery Whole() const;
  // Whether a condition reads the clock.
  bool DependsOnTime() const;
  // The condition the change log tests its rows with; nullopt when the list is not of
  // Vantrel_Article or holds only its first rows, or a condition tests what the log does not
  // hold or reads the clock.
  std::optional<LoggedCondition> Logged() const;
};

// Tests: an observer shown every list whose conditions are made into SQL (Condition, Logged),
// from whichever thread makes it. None by default; an installed one must be thread-safe and stay
// alive while lists are made.
class ListQueryObserver {
 public:
  virtual ~ListQueryObserver() = default;
  virtual void Made(const ListQuery& list) = 0;
};
// Installs `observer` for the whole process (null: none); answers the one it replaces.
ListQueryObserver* SetListQueryObserver(ListQueryObserver* observer);

}  // namespace folirex

#endif  // FOLIREX_CORE_LIST_QUERY_H_
