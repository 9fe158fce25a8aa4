// DatabaseSet: the databases, by connection pool key, that this process has made sure of one
// thing on (structures made, an index built), with the mutex its user holds while it looks at a
// database and makes sure, so that two threads never make the same thing at once.
#ifndef FOLIREX_CORE_DATABASE_SET_H_
#define FOLIREX_CORE_DATABASE_SET_H_

#include <mutex>
#include <set>
#include <string>

namespace folirex {

struct DatabaseSet {
  std::mutex mutex;
  std::set<std::string> keys;
};

}  // namespace folirex

#endif  // FOLIREX_CORE_DATABASE_SET_H_
