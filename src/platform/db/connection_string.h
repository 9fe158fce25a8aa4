// Reads the two connection-string forms the pages build:
//   file form    "Provider=...;Data Source=<disk path>;[ User ID = u;][ Password = p;]"
//   server form  "driver={SQL Server};server=host[,port];database=D;uid=U;pwd=P;"
// Keys are found without regard to case or blanks around them; a value may be wrapped in braces
// (and then hold ";"). The server form becomes an ODBC connection string for the named driver.
//
// Pure functions; malformed text throws DbError (whose message never holds the password).
#ifndef FOLIREX_PLATFORM_DB_CONNECTION_STRING_H_
#define FOLIREX_PLATFORM_DB_CONNECTION_STRING_H_

#include <string>
#include <string_view>

#include "platform/db/db_error.h"

namespace folirex::db {

struct ConnectionTarget {
  enum class Kind { kFile, kServer };
  Kind kind = Kind::kFile;
  // File form.
  std::string path;
  std::string user;
  std::string password;
  // Server form.
  std::string driver;  // without braces
  std::string server;
  std::string port;  // from "host,port" or "host:port"; empty for the driver's default
  std::string database;
  std::string uid;
  std::string pwd;

  // "DRIVER={d};SERVER=h;[PORT=p;]DATABASE=D;UID=U;PWD=P;" with values braced where needed.
  std::string OdbcConnectionString() const;
};

ConnectionTarget ParseConnectionString(std::string_view text);

}  // namespace folirex::db

#endif  // FOLIREX_PLATFORM_DB_CONNECTION_STRING_H_
