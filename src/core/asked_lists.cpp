#include "core/asked_lists.h"

#include <mutex>
#include <string>

#include "platform/cache/lru_cache.h"
#include "platform/db/provider.h"

namespace folirex {

namespace {

// The lists asked for, by database, purpose and list, the most recently asked first.
struct Asked {
  std::mutex mutex;
  LruCache<std::string, bool> keys{4096};  // a charge of 1 each
};
Asked& AskedLists() {
  static Asked* asked = new Asked();
  return *asked;
}
std::string AskedKey(Connection& conn, std::string_view purpose, const ListQuery& list) {
  return conn.session().pool_key() + '\n' + std::string(purpose) + '\n' + list.Key();
}

}  // namespace

bool WasAskedBefore(Connection& conn, std::string_view purpose, const ListQuery& list) {
  Asked& asked = AskedLists();
  const std::string key = AskedKey(conn, purpose, list);
  std::lock_guard<std::mutex> lock(asked.mutex);
  return asked.keys.Peek(key) != nullptr;
}

bool AskedBefore(Connection& conn, std::string_view purpose, const ListQuery& list) {
  Asked& asked = AskedLists();
  const std::string key = AskedKey(conn, purpose, list);
  std::lock_guard<std::mutex> lock(asked.mutex);
  if (asked.keys.Find(key) != nullptr) return true;
  asked.keys.Insert(key, true);
  return false;
}

}  // namespace folirex
