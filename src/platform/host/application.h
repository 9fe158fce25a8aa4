// Application: the one process-wide map of values that every request shares (install path,
// the day's date values). Get and Set are each atomic; Lock/UnLock hold the map for a sequence
// of steps, and while one thread holds it every other thread's Get, Set and Lock wait. Locks
// nest; UnLock by a thread that holds no lock does nothing. A worker must not end a request
// holding the lock: the host releases a lock left at the end of a page. Keys are matched
// without regard to case. Thread-safe.
#ifndef FOLIREX_PLATFORM_HOST_APPLICATION_H_
#define FOLIREX_PLATFORM_HOST_APPLICATION_H_

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/db/variant.h"

namespace folirex {

class Application {
 public:
  Variant Get(std::string_view key) const;
  void Set(std::string_view key, Variant value);
  void Lock();
  void UnLock();
  // True when the calling thread holds the lock (the entry releases a forgotten lock).
  bool LockedByCaller() const;

 private:
  mutable std::recursive_mutex mutex_;     // guards everything below; Lock() holds it across calls
  std::map<std::string, Variant> values_;  // lower-case keys
  int lock_depth_ = 0;
  std::thread::id owner_;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_APPLICATION_H_
