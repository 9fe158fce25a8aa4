#include "platform/host/answer_ledger.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "platform/host/answer_ledger_model.h"

namespace folirex {
namespace {

using Id = AnswerLedger::Id;

std::vector<Id> Ids(const std::vector<AnswerLedger::Chosen>& chosen) {
  std::vector<Id> ids;
  for (const auto& c : chosen) ids.push_back(c.id);
  return ids;
}

// Random watches, checks, choices and holders gone, against the model; and what must hold
// whatever the steps: an answer not measured yet is never closed for another, and a lent answer
// measured closes none faster than itself.
TEST(AnswerLedgerTest, FollowsTheModelThroughRandomSteps) {
  ClientUse clients[3];
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 random(seed);
    auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    AnswerLedger ledger;
    LedgerModel model;
    std::map<int, std::shared_ptr<int>> holders;
    std::vector<int> slots(12);
    auto id_of = [&slots](int i) { return static_cast<Id>(&slots[static_cast<size_t>(i)]); };
    int64_t now = 0;
    for (int step = 0; step < 400; ++step) {
      ++now;
      const int i = pick(12);
      const Id id = id_of(i);
      switch (pick(6)) {
        case 0: {
          holders[i] = std::make_shared<int>(i);
          const size_t bytes = 100 * static_cast<size_t>(1 + pick(5));
          const ClientUse* client = &clients[pick(3)];
          const bool lent = pick(2) == 0;
          ledger.Watch(id, holders[i], 0, bytes, client, lent);
          model.Watch(id, bytes, client, lent);
          break;
        }
        case 1:
          ledger.Forget(id);
          model.Remove(id);
          break;
        case 2:
        case 3: {
          // A few rates, equal ones often; under 4 the client has stopped taking its answer.
          const uint64_t taken = static_cast<uint64_t>(pick(8));
          const size_t over = pick(3) == 0 ? 0 : 50 * static_cast<size_t>(pick(12));
          const LedgerModel::Answer* before = model.Find(id);
          const bool first_measure = before != nullptr && before->lent && before->checks == 1;
          std::vector<LedgerModel::Answer> was = model.answers;
          const std::vector<Id> expected = model.Measure(id, taken, taken < 4, now, over);
          const std::vector<Id> chosen = Ids(ledger.Measure(id, taken, taken < 4, now, over));
          ASSERT_EQ(chosen, expected) << "seed " << seed << " step " << step;
          if (!first_measure) {
            EXPECT_TRUE(chosen.empty());
          }
          for (Id c : chosen) {
            auto it = std::find_if(was.begin(), was.end(),
                                   [c](const LedgerModel::Answer& a) { return a.id == c; });
            if (c == id) continue;
            ASSERT_GE(it->checks, 2) << "an answer not measured yet was closed";
            if (it->stalled_since == 0 && taken >= 4) {
              EXPECT_LE(it->taken, taken);
            }
          }
          break;
        }
        case 4: {
          const size_t bytes = 100 * static_cast<size_t>(pick(8));
          const ClientUse* client = pick(2) == 0 ? nullptr : &clients[pick(3)];
          ASSERT_EQ(Ids(ledger.ChooseStalled(bytes, client)), model.ChooseStalled(bytes, client))
              << "seed " << seed << " step " << step;
          break;
        }
        case 5:
          // The connection has gone before it told the ledger.
          holders.erase(i);
          if (LedgerModel::Answer* a = model.Find(id)) a->alive = false;
          break;
      }
      ASSERT_EQ(ledger.size(), model.answers.size());
    }
  }
}

// The case the rule is for: slow readers fill the budget, a faster newcomer is lent room, and
// once measured the slowest makes room for it; a newcomer as slow as the rest closes itself.
TEST(AnswerLedgerTest, AMeasuredNewcomerPushesOutOnlySlowerReaders) {
  AnswerLedger ledger;
  ClientUse client;
  std::vector<std::shared_ptr<int>> holders;
  int slots[8];
  for (int i = 0; i < 4; ++i) {
    holders.push_back(std::make_shared<int>(i));
    ledger.Watch(&slots[i], holders.back(), 0, 1000, &client, false);
    ledger.Measure(&slots[i], 900, false, 1, 0);
    ledger.Measure(&slots[i], 20 + static_cast<uint64_t>(i), false, 2, 0);
  }
  holders.push_back(std::make_shared<int>(4));
  ledger.Watch(&slots[4], holders.back(), 0, 1000, &client, true);
  EXPECT_TRUE(ledger.Measure(&slots[4], 900, false, 3, 600).empty());
  EXPECT_EQ(Ids(ledger.Measure(&slots[4], 100, false, 4, 600)), std::vector<Id>{&slots[0]});
  holders.push_back(std::make_shared<int>(5));
  ledger.Watch(&slots[5], holders.back(), 0, 1000, &client, true);
  ledger.Measure(&slots[5], 900, false, 5, 600);
  EXPECT_EQ(Ids(ledger.Measure(&slots[5], 21, false, 6, 600)), std::vector<Id>{&slots[5]});
}

}  // namespace
}  // namespace folirex
