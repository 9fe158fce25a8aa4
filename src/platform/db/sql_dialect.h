// The SQL translator: the pages write every statement in one dialect (the Jet one: "top N",
// true/false, datediff('y', a, now), bare now, "+" joining text, lcase, ucase, mid, cstr, len, a
// derived table without alias); these functions rewrite a statement for the engine that runs it.
//
//   construct                 SQLite                          PostgreSQL
//   select top N ...          ... LIMIT N (end of that select, also inside derived tables)
//   true / false              -1 / 0 (flags are stored as integers -1/0)
//   now, now()                datetime('now','localtime')     localtimestamp(0)
//   datediff('d', a, b)       vb_datediff('d', a, b)          date arithmetic on CAST(.. AS date)
//   lcase ucase mid len       lower upper substr length
//   cstr(x)                   vb_cstr(x)                      CAST(x AS text)
//   'a' + x (text)            'a' || x                        'a' || x
//   from (select ...)         as written                      from (select ...) AS vb_dt1
//   a like p                  as written (ASCII case-insensitive) a ILIKE p ESCAPE ''
//                             (no escape character: a backslash in p is text on both)
//
// "+" joins text when one of its chain's operands is text: a string literal, a text function
// (cstr, mid, lcase, ...), a parenthesised text expression, or, when no operand is a literal or a
// function that decides it, a column that the schema declares as text (asked through the hints).
// Any other "+" stays numeric ("d_clicktimes + 1").
//
// The functions are pure and thread-safe; the hints callback is called on the caller's thread.
// Text that cannot be translated (several statements, an unknown datediff interval for
// PostgreSQL) throws DbError.
#ifndef FOLIREX_PLATFORM_DB_SQL_DIALECT_H_
#define FOLIREX_PLATFORM_DB_SQL_DIALECT_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/db_error.h"

namespace folirex {

struct SqlSchemaHints {
  // True when the column (name without table prefix, any case) holds text. May be empty.
  std::function<bool(std::string_view column)> is_text_column;
};

// The statement in the engine's dialect. kNone returns the text unchanged.
std::string TranslateSql(std::string_view sql, SqlEngine engine, const SqlSchemaHints& hints = {});

// A select limited to its rows [offset, offset + count) (0-based), keeping its order and its own
// "top N".
std::string TranslateWindowSql(std::string_view sql, SqlEngine engine, int64_t offset,
                               int64_t count, const SqlSchemaHints& hints = {});

// "select count(*)" over the rows the select returns (its top-level ORDER BY dropped when it has
// no "top", since the order cannot change the count).
std::string TranslateCountSql(std::string_view sql, SqlEngine engine,
                              const SqlSchemaHints& hints = {});

// The table of a select that reads exactly one table ("select ... from T [where ...] [order by
// ...]"), as written; the empty text for any other statement. Only for the engines that do not
// describe a select's rows (ODBC; see Statement::RowTable in platform/db/provider.h).
std::string SingleTableOf(std::string_view sql);

// The statement's first word in lower case ("select", "update", ...); empty when there is none.
std::string LeadingKeyword(std::string_view sql);

// The table a write names as its target: the table of "insert into T", "replace into T",
// "update T", "delete from T" and "truncate [table] T", and, with `reshapes`, of "create [temp]
// table [if not exists] T", "alter table T" and "drop table [if exists] T" (a qualified name's
// last part, unquoted). An empty table for any other statement (a select, an index, a trigger).
// For the engines that do not say what a statement writes (platform/db/statement_touches.h).
struct WriteTarget {
  std::string table;
  bool reshapes = false;
};
WriteTarget WriteTargetOf(std::string_view sql);

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_DB_SQL_DIALECT_H_
