// LruCache: a map from key to value that keeps the most recently used entries within a capacity.
// Each entry is charged what it holds, in the unit its use counts in (one per entry where the
// bound is a number of entries, rows or ids where it is what they hold); the charges of all the
// entries together never pass the capacity, and an optional bound on the number of entries is
// kept too. When an insert or a new charge needs room, the least recently used entries go first.
//
// Contract:
//  - Find moves the entry found to the front (the most recently used); Peek does not.
//  - Insert replaces the value and charge of a key already held and moves it to the front. An
//    entry whose charge alone passes the capacity is refused: the cache is left as it was.
//  - Recharge changes the charge of an entry held, pushing out others, least recently used
//    first, never the entry itself; an entry recharged past the capacity alone is dropped.
//  - Take removes an entry and hands its value back (a cache of things checked out and
//    returned, like compiled statements).
//  - Not locked: a cache shared between threads is used under its owner's mutex, a cache kept
//    per session is used by one thread at a time.
//
// The uses and their bounds (charge: what one entry counts for; capacity: the bound on the sum):
//  - idle statements (platform/db/sqlite_provider.cpp): the compiled statements of one pooled
//    session by text, taken out while they run; charge 1, capacity 64 per session.
//  - database files (platform/db/provider.cpp): the canonical path of each database path opened,
//    with the file it reached; charge 1, capacity 64.
//  - column names (platform/db/recordset.cpp): each worker thread's selects by their columns,
//    with their lower-case names; charge 1, capacity 64 a thread.
//  - counts (core/list_structures.cpp): row counts of lists by database and count text, with the
//    version they were taken at; charge 1, capacity 4096.
//  - list heads (core/list_structures.cpp): the first ids of paged lists with their version;
//    charged the ids each holds, capacity kMostListHeadIds.
//  - id lists (core/list_structures.cpp): whole id lists by database and select with their
//    version; charge 1, capacity 256.
//  - body matches (core/search_index.cpp): kept keyword matches by database, select and order;
//    charged the rows each holds, capacity kMostBodyMatchesHeld, at most kMostBodyMatchLists.
//  - searches asked before (core/search_index.cpp): which lists a purpose has asked for, so
//    that a second asking keeps what it reads; charge 1, capacity 4096.
//  - template scans (site/template_engine.cpp): what the page engine found in a template text,
//    by pattern and text; charged the bytes each holds, capacity 4 MiB.
//  - page reads (core/reads_ahead.cpp): what a public page read ahead when last drawn, by the
//    page's key; charged the bytes each holds, capacity 4 MiB.
//  - text files seen (core/site_files.cpp): the files lately found to hold what a page would
//    write, with their state then; charged the bytes each holds, capacity 1 MiB.
//  - keyword counts (core/article_keywords.cpp): how many articles of a channel hold a keyword,
//    by database, to choose the related-articles block's read; charge 1, capacity 65536.
#ifndef FOLIREX_PLATFORM_CACHE_LRU_CACHE_H_
#define FOLIREX_PLATFORM_CACHE_LRU_CACHE_H_

#include <cstddef>
#include <functional>
#include <iterator>
#include <limits>
#include <list>
#include <optional>
#include <unordered_map>
#include <utility>

namespace folirex {

template <class Key, class Value, class Hash = std::hash<Key>, class Equal = std::equal_to<Key>>
class LruCache {
 public:
  explicit LruCache(size_t capacity, size_t most_entries = std::numeric_limits<size_t>::max())
      : capacity_(capacity), most_entries_(most_entries) {}
  LruCache(const LruCache&) = delete;
  LruCache& operator=(const LruCache&) = delete;

  // The value held for `key`, moved to the front; nullptr when none. Valid until the entry goes.
  Value* Find(const Key& key) {
    auto found = index_.find(key);
    if (found == index_.end()) return nullptr;
    order_.splice(order_.begin(), order_, found->second);
    return &found->second->value;
  }

  // The value held for `key`, left where it is in the order; nullptr when none.
  Value* Peek(const Key& key) {
    auto found = index_.find(key);
    return found == index_.end() ? nullptr : &found->second->value;
  }

  // Removes the entry for `key` and hands its value back.
  std::optional<Value> Take(const Key& key) {
    auto found = index_.find(key);
    if (found == index_.end()) return std::nullopt;
    auto entry = found->second;
    std::optional<Value> value(std::move(entry->value));
    charge_ -= entry->charge;
    index_.erase(found);
    order_.erase(entry);
    return value;
  }

  // Holds `value` for `key` at the front, charged `charge`; false when the charge alone passes
  // the capacity (then nothing changes).
  bool Insert(Key key, Value value, size_t charge = 1) {
    if (charge > capacity_ || most_entries_ == 0) return false;
    auto found = index_.find(key);
    if (found != index_.end()) {
      auto entry = found->second;
      entry->value = std::move(value);
      charge_ = charge_ - entry->charge + charge;
      entry->charge = charge;
      order_.splice(order_.begin(), order_, entry);
    } else {
      order_.push_front(Entry{key, std::move(value), charge});
      try {
        index_.emplace(std::move(key), order_.begin());
      } catch (...) {
        order_.pop_front();
        throw;
      }
      charge_ += charge;
    }
    EvictExcept(order_.begin());
    return true;
  }

  // Charges the entry for `key` `charge` instead, pushing out others to make room; false when
  // there is no such entry or it was dropped for passing the capacity alone.
  bool Recharge(const Key& key, size_t charge) {
    auto found = index_.find(key);
    if (found == index_.end()) return false;
    if (charge > capacity_) {
      Erase(key);
      return false;
    }
    auto entry = found->second;
    charge_ = charge_ - entry->charge + charge;
    entry->charge = charge;
    EvictExcept(entry);
    return true;
  }

  bool Erase(const Key& key) { return Take(key).has_value(); }

  void Clear() {
    index_.clear();
    order_.clear();
    charge_ = 0;
  }

  size_t charge() const { return charge_; }
  size_t size() const { return order_.size(); }
  size_t capacity() const { return capacity_; }

  // Calls `visit(key, value)` from the most recently used to the least, moving none.
  template <class Visit>
  void ForEach(Visit&& visit) const {
    for (const Entry& entry : order_) visit(entry.key, entry.value);
  }

 private:
  struct Entry {
    Key key;
    Value value;
    size_t charge;
  };
  using Order = std::list<Entry>;

  // Pushes out the least recently used entries but `kept` until the charge and count fit.
  void EvictExcept(typename Order::iterator kept) {
    auto last = order_.end();
    while ((charge_ > capacity_ || order_.size() > most_entries_) && last != order_.begin()) {
      auto victim = std::prev(last);
      if (victim == kept) {
        last = victim;
        continue;
      }
      charge_ -= victim->charge;
      index_.erase(victim->key);
      order_.erase(victim);
    }
  }

  size_t capacity_;
  size_t most_entries_;
  size_t charge_ = 0;
  Order order_;  // the most recently used first
  std::unordered_map<Key, typename Order::iterator, Hash, Equal> index_;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_CACHE_LRU_CACHE_H_
