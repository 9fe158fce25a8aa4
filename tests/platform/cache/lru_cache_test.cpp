#include "platform/cache/lru_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace folirex {
namespace {

// The reference: entries in a vector, the most recently used first.
struct Model {
  struct Entry {
    int key;
    int value;
    size_t charge;
  };
  size_t capacity;
  size_t most_entries;
  std::vector<Entry> order;

  std::vector<Entry>::iterator At(int key) {
    return std::find_if(order.begin(), order.end(), [key](const Entry& e) { return e.key == key; });
  }
  size_t Charge() const {
    size_t sum = 0;
    for (const Entry& e : order) sum += e.charge;
    return sum;
  }
  void EvictExcept(int kept) {
    for (size_t i = order.size(); i > 0 && (Charge() > capacity || order.size() > most_entries);) {
      --i;
      if (order[i].key != kept) order.erase(order.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  std::optional<int> Find(int key) {
    auto it = At(key);
    if (it == order.end()) return std::nullopt;
    Entry e = *it;
    order.erase(it);
    order.insert(order.begin(), e);
    return e.value;
  }
  std::optional<int> Take(int key) {
    auto it = At(key);
    if (it == order.end()) return std::nullopt;
    int value = it->value;
    order.erase(it);
    return value;
  }
  bool Insert(int key, int value, size_t charge) {
    if (charge > capacity || most_entries == 0) return false;
    Take(key);
    order.insert(order.begin(), Entry{key, value, charge});
    EvictExcept(key);
    return true;
  }
  bool Recharge(int key, size_t charge) {
    auto it = At(key);
    if (it == order.end()) return false;
    if (charge > capacity) {
      order.erase(it);
      return false;
    }
    it->charge = charge;
    EvictExcept(key);
    return true;
  }
};

void ExpectSame(const LruCache<int, int>& cache, const Model& model, int step) {
  std::vector<std::pair<int, int>> held;
  cache.ForEach([&held](int key, int value) { held.emplace_back(key, value); });
  std::vector<std::pair<int, int>> expected;
  for (const auto& e : model.order) expected.emplace_back(e.key, e.value);
  ASSERT_EQ(held, expected) << "after step " << step;
  ASSERT_EQ(cache.charge(), model.Charge()) << "after step " << step;
  ASSERT_LE(cache.charge(), cache.capacity());
  ASSERT_EQ(cache.size(), model.order.size());
}

// Random operations on a few keys, with charges around the capacity, against the reference.
TEST(LruCacheTest, AgreesWithAReferenceOnRandomOperations) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    std::mt19937 random(seed);
    const size_t capacity = 5 + random() % 30;
    const size_t most_entries = seed % 3 == 0 ? 4 : std::numeric_limits<size_t>::max();
    LruCache<int, int> cache(capacity, most_entries);
    Model model{capacity, most_entries, {}};
    for (int step = 0; step < 2000; ++step) {
      const int key = static_cast<int>(random() % 12);
      const size_t charge = random() % (capacity + 4);
      switch (random() % 7) {
        case 0:
        case 1: {
          const int value = static_cast<int>(random());
          ASSERT_EQ(cache.Insert(key, value, charge), model.Insert(key, value, charge));
          break;
        }
        case 2: {
          int* found = cache.Find(key);
          std::optional<int> expected = model.Find(key);
          ASSERT_EQ(found != nullptr, expected.has_value());
          if (found != nullptr) {
            ASSERT_EQ(*found, *expected);
          }
          break;
        }
        case 3: {
          int* found = cache.Peek(key);
          auto it = model.At(key);
          ASSERT_EQ(found != nullptr, it != model.order.end());
          if (found != nullptr) {
            ASSERT_EQ(*found, it->value);
          }
          break;
        }
        case 4:
          ASSERT_EQ(cache.Take(key), model.Take(key));
          break;
        case 5:
          ASSERT_EQ(cache.Recharge(key, charge), model.Recharge(key, charge));
          break;
        default:
          if (random() % 50 == 0) {
            cache.Clear();
            model.order.clear();
          } else {
            ASSERT_EQ(cache.Erase(key), model.Take(key).has_value());
          }
      }
      ExpectSame(cache, model, step);
    }
  }
}

// Values that can only be moved (compiled statements) are held, handed back and dropped once.
TEST(LruCacheTest, HoldsValuesThatCanOnlyBeMoved) {
  auto alive = std::make_shared<int>(0);
  LruCache<std::string, std::unique_ptr<std::shared_ptr<int>>> cache(2);
  EXPECT_TRUE(cache.Insert("a", std::make_unique<std::shared_ptr<int>>(alive)));
  EXPECT_TRUE(cache.Insert("b", std::make_unique<std::shared_ptr<int>>(alive)));
  EXPECT_EQ(alive.use_count(), 3);
  std::optional<std::unique_ptr<std::shared_ptr<int>>> taken = cache.Take("a");
  ASSERT_TRUE(taken.has_value());
  EXPECT_EQ(cache.size(), 1u);
  EXPECT_TRUE(cache.Insert("c", std::make_unique<std::shared_ptr<int>>(alive)));
  EXPECT_TRUE(cache.Insert("d", std::make_unique<std::shared_ptr<int>>(alive)));  // "b" goes
  EXPECT_EQ(cache.Peek("b"), nullptr);
  EXPECT_EQ(alive.use_count(), 4);  // taken, c, d
  EXPECT_FALSE(cache.Insert("e", std::make_unique<std::shared_ptr<int>>(alive), 3));
  EXPECT_EQ(alive.use_count(), 4);
  cache.Clear();
  EXPECT_EQ(alive.use_count(), 2);
}

}  // namespace
}  // namespace folirex
