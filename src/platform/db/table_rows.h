// TableRows: a select of the rows of one table, as a value: the table, the condition with its
// bound values and the order. The select's text and the count of its rows are both made from it,
// and the recordset opened on it (platform/db/recordset.h) knows the table it writes rows back
// to without reading the text back.
//
// `where` and `order` are in the pages' dialect (translated like any statement); `where` holds a
// "?" for each of `values`, in order. A plain value; thread-compatible.
#ifndef FOLIREX_PLATFORM_DB_TABLE_ROWS_H_
#define FOLIREX_PLATFORM_DB_TABLE_ROWS_H_

#include <string>
#include <vector>

#include "platform/db/variant.h"

namespace folirex::db {

struct TableRows {
  std::string table = {};
  std::string where = {};  // "" for every row
  std::vector<Variant> values = {};
  std::string order = {};  // "d_id desc"; "" for the database's own order

  // "select * from T[ where W][ order by O]".
  std::string Sql() const;
  // "select count(*) from T[ where W]": the number of rows Sql returns.
  std::string CountSql() const;
};

}  // namespace folirex::db

#endif  // FOLIREX_PLATFORM_DB_TABLE_ROWS_H_
