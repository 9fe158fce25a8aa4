// The check of a list's conditions (core/list_query.h) against what SQLite says each of them
// reads when it compiles it (platform/db/statement_touches.h), for the tests that hold the lists
// the pages make against their declarations:
//   - a condition binds as many values as it holds "?";
//   - kLogged reads only the list's table, on Vantrel_Article only the columns the change log
//     holds (core/article_change_log.h), and no clock;
//   - kUnlogged on Vantrel_Article reads a column the log does not hold or another table, and
//     no clock;
//   - kTimed reads the clock (a date or time function: "now" and datediff come to those);
//   - kNarrowing reads another table (the search index) and no clock, and a like condition of
//     the same list (or folirex_holds, its form for a keyword without letter case) decides
//     beside it.
// Each condition is compiled on its own as "select 1 from <table> where <condition>", not run.
//
// Needs an open SQLite connection to a database with the list's tables; on an engine that does
// not describe statements nothing is checked. Failures to compile throw DbError.
#ifndef FOLIREX_CORE_LIST_QUERY_CHECK_H_
#define FOLIREX_CORE_LIST_QUERY_CHECK_H_

#include <string>
#include <vector>

#include "core/list_query.h"
#include "platform/db/connection.h"

namespace folirex {

// What the conditions of `list` declare wrongly, one text each; none when every one holds.
std::vector<std::string> ConditionKindProblems(Connection& conn, const ListQuery& list);

}  // namespace folirex

#endif  // FOLIREX_CORE_LIST_QUERY_CHECK_H_
