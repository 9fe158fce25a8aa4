#include "platform/db/table_rows.h"

namespace folirex::db {

namespace {
std::string WhereClause(const std::string& where) { return where.empty() ? "" : " where " + where; }
}  // namespace

std::string TableRows::Sql() const {
  return "select * from " + table + WhereClause(where) +
         (order.empty() ? "" : " order by " + order);
}

std::string TableRows::CountSql() const {
  return "select count(*) from " + table + WhereClause(where);
}

}  // namespace folirex::db
