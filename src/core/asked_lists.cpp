#include "core/asked_lists.h"

#include "platform/db/provider.h"

namespace folirex {

namespace {

std::string AskedKey(Connection& conn, std::string_view purpose, const ListQuery& list) {
  return conn.session().pool_key() + '\n' + std::string(purpose) + '\n' + list.Key();
}

}  // namespace

bool WasAskedBefore(AskedLists* asked, Connection& conn, std::string_view purpose,
                    const ListQuery& list) {
  if (asked == nullptr) return false;
  const std::string key = AskedKey(conn, purpose, list);
  std::lock_guard<std::mutex> lock(asked->mutex);
  return asked->keys.Peek(key) != nullptr;
}

bool AskedBefore(AskedLists* asked, Connection& conn, std::string_view purpose,
                 const ListQuery& list) {
  if (asked == nullptr) return false;
  const std::string key = AskedKey(conn, purpose, list);
  std::lock_guard<std::mutex> lock(asked->mutex);
  if (asked->keys.Find(key) != nullptr) return true;
  asked->keys.Insert(key, true);
  return false;
}

}  // namespace folirex
