// Helpers for binding values to a statement's "?" placeholders: an id as a bound value, and the
// placeholders and values of a list of ids, so that an "in (...)" condition is bound like any
// other value and no id is written into the SQL text.
//
// Pure functions; thread-safe.
#ifndef FOLIREX_PLATFORM_DB_SQL_PARAMS_H_
#define FOLIREX_PLATFORM_DB_SQL_PARAMS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/variant.h"

namespace folirex {

// A 64-bit id or count as a bound value.
inline Variant SqlNumber(int64_t n) { return Variant(static_cast<long long>(n)); }

// A condition with "?" placeholders and the values bound to them, in order.
struct BoundSql {
  std::string sql;
  std::vector<Variant> params;
};

// "?,?,?": one placeholder for each of `count` values (count above 0: "in ()" is not SQL).
std::string Placeholders(size_t count);

// `sql` with each "?" outside quoted text and names replaced by what `placeholder` gives for its
// index (0, 1, ...), called in the order of the placeholders.
template <typename F>
std::string ReplacePlaceholders(std::string_view sql, F&& placeholder) {
  std::string out;
  out.reserve(sql.size() + 8);
  size_t n = 0;
  char quote = 0;
  for (char c : sql) {
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '?') {
      out += placeholder(n++);
      continue;
    }
    out.push_back(c);
  }
  return out;
}

// `column` + " in (?,...)" with one placeholder per id (ids not empty), and the ids.
BoundSql IdsIn(const std::string& column, const std::vector<int64_t>& ids);

// Appends " and " + `condition` (with one "?" placeholder) to `where`, and its value.
void AndWhere(BoundSql& where, std::string_view condition, Variant value);

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_DB_SQL_PARAMS_H_
