// Application: the one process-wide map of values that every request shares (install path,
// the day's date values). Get and Set are each atomic; Lock/UnLock hold the map for a sequence
// of steps, and while one thread holds it every other thread's Get, Set and Lock wait. Locks
// nest; UnLock by a thread that holds no lock does nothing. A worker must not end a request
// holding the lock: the host releases a lock left at the end of a page. Keys are matched
// without regard to case. Thread-safe.
//
// Shared<T>(name) is the slot for process-wide tables that are not values (the throttles of the
// pages): one T per name, made on first use and kept until the Application goes. T must be
// default-constructible and thread-safe itself; the slot only hands out the one object. Asking for
// a name under another type is a programming error (std::logic_error).
#ifndef FOLIREX_PLATFORM_HOST_APPLICATION_H_
#define FOLIREX_PLATFORM_HOST_APPLICATION_H_

#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <typeindex>
#include <typeinfo>

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

  // The one T of this name; does not wait on Lock().
  template <typename T>
  T& Shared(std::string_view name) {
    std::lock_guard lock(shared_mutex_);
    SharedSlot& slot = shared_[std::string(name)];
    if (!slot.object) {
      slot.object = std::make_shared<T>();
      slot.type = typeid(T);
    } else if (slot.type != std::type_index(typeid(T))) {
      throw std::logic_error("Application::Shared: \"" + std::string(name) +
                             "\" holds another type");
    }
    return *static_cast<T*>(slot.object.get());
  }

 private:
  struct SharedSlot {
    std::shared_ptr<void> object;
    std::type_index type = typeid(void);
  };

  mutable std::recursive_mutex mutex_;     // guards everything below; Lock() holds it across calls
  std::map<std::string, Variant> values_;  // lower-case keys
  int lock_depth_ = 0;
  std::thread::id owner_;
  std::mutex shared_mutex_;  // guards shared_; never held while a T is used
  std::map<std::string, SharedSlot, std::less<>> shared_;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_APPLICATION_H_
