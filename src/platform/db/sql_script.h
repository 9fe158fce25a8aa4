// Splitting a SQL script (a schema or rows file) into its statements, so that a provider that
// runs one statement at a time can load it. Statements end at ";" outside string literals, quoted
// names, comments and PostgreSQL's dollar-quoted bodies ($$ ... $$, $tag$ ... $tag$). Comments
// are dropped (a driver that looks for parameter markers need not read them), and so are
// statements that hold nothing else.
//
// A pure function; an unterminated literal, name, comment or dollar-quoted body throws DbError.
#ifndef FOLIREX_PLATFORM_DB_SQL_SCRIPT_H_
#define FOLIREX_PLATFORM_DB_SQL_SCRIPT_H_

#include <string>
#include <string_view>
#include <vector>

#include "platform/db/db_error.h"

namespace folirex {

// The statements of the script in order, each trimmed and without its ";".
std::vector<std::string> SplitSqlScript(std::string_view script);

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_DB_SQL_SCRIPT_H_
