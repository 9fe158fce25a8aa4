// DbError, the one exception of the database layer, and SqlEngine, the engines a connection can
// talk to. Kept apart so that the SQL translator and the providers need not see Connection.
#ifndef FOLIREX_PLATFORM_DB_DB_ERROR_H_
#define FOLIREX_PLATFORM_DB_DB_ERROR_H_

#include <stdexcept>

namespace folirex {

class DbError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class SqlEngine { kNone, kSqlite, kPostgres };

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_DB_DB_ERROR_H_
