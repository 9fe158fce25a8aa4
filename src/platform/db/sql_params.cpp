#include "platform/db/sql_params.h"

#include <utility>

namespace folirex {

std::string Placeholders(size_t count) {
  std::string sql;
  sql.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) sql += i == 0 ? "?" : ",?";
  return sql;
}

BoundSql IdsIn(const std::string& column, const std::vector<int64_t>& ids) {
  BoundSql bound{column + " in (" + Placeholders(ids.size()) + ")", {}};
  bound.params.reserve(ids.size());
  for (int64_t id : ids) bound.params.push_back(SqlNumber(id));
  return bound;
}

void AndWhere(BoundSql& where, std::string_view condition, Variant value) {
  where.sql += " and ";
  where.sql += condition;
  where.params.push_back(std::move(value));
}

}  // namespace folirex
