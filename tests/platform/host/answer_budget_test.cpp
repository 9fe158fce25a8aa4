#include "platform/host/answer_budget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "platform/host/answer_ledger_model.h"

namespace folirex {
namespace {

// An answer takes from the total and from its client's bound, nothing when it would pass either;
// one taken ahead of the room being made counts whatever the bounds; all goes back when let go.
// An address's one answer may pass its share.
TEST(AnswerMemoryTest, TotalAndClientBoundTheHeldAnswers) {
  using Room = AnswerMemory::Room;
  AnswerMemory memory(1000, 400);
  ClientTable clients;
  std::shared_ptr<ClientUse> a = clients.Find("10.0.0.1"), b = clients.Find("10.0.0.2");
  AnswerReservation first, second, third, ahead;
  EXPECT_EQ(first.Hold(memory, a, 400), Room::kTaken);
  EXPECT_EQ(second.Hold(memory, a, 1), Room::kOverClient);
  EXPECT_EQ(second.Hold(memory, b, 400), Room::kTaken);
  EXPECT_EQ(third.Hold(memory, nullptr, 201), Room::kOverTotal);
  EXPECT_EQ(b->answer_bytes, 400u);
  EXPECT_EQ(third.Hold(memory, nullptr, 200), Room::kTaken);
  EXPECT_EQ(ahead.Hold(memory, a, 300, /*ahead=*/true), Room::kTaken);
  EXPECT_EQ(memory.used(), 1300u);
  EXPECT_EQ(a->answer_bytes, 700u);
  first.Reset();
  ahead = AnswerReservation();
  EXPECT_EQ(a->answer_bytes, 0u);
  EXPECT_EQ(memory.used(), 600u);
  // An address that holds no answer may hold one past its share, within the total; not two.
  third.Reset();
  EXPECT_EQ(first.Hold(memory, a, 601), Room::kOverTotal);
  EXPECT_EQ(a->answer_bytes, 0u);
  EXPECT_EQ(first.Hold(memory, a, 500), Room::kTaken);
  EXPECT_EQ(ahead.Hold(memory, a, 1), Room::kOverClient);
  EXPECT_EQ(ahead.Hold(memory, b, 1), Room::kOverClient);
}

// A new answer may be lent room past the total, never past the loan, and never past its
// client's bound; a lent answer's bytes go back like any other's.
TEST(AnswerMemoryTest, ALoanPassesTheTotalByNoMoreThanItsBound) {
  using Room = AnswerMemory::Room;
  AnswerMemory memory(1000, 400, 300);
  ClientTable clients;
  std::shared_ptr<ClientUse> a = clients.Find("10.0.0.1"), b = clients.Find("10.0.0.2");
  AnswerReservation held, lent, refused;
  EXPECT_EQ(held.Hold(memory, nullptr, 900), Room::kTaken);
  EXPECT_EQ(lent.Hold(memory, a, 300), Room::kOverTotal);
  EXPECT_EQ(lent.Hold(memory, a, 300, false, /*lend=*/true), Room::kLent);
  EXPECT_EQ(memory.over(), 200u);
  EXPECT_EQ(refused.Hold(memory, b, 101, false, true), Room::kOverTotal);
  EXPECT_EQ(refused.Hold(memory, a, 101, false, true), Room::kOverClient);
  EXPECT_EQ(b->answer_bytes, 0u);
  EXPECT_EQ(refused.Hold(memory, b, 100, false, true), Room::kLent);
  EXPECT_EQ(memory.used(), 1300u);
  lent.Reset();
  refused.Reset();
  EXPECT_EQ(memory.over(), 0u);
  EXPECT_EQ(lent.Hold(memory, a, 100, false, true), Room::kTaken);
}

constexpr size_t kTotal = 1000, kPerClient = 400, kLoan = 300;
using Charged = AnswerBudget::Charged;
using Id = AnswerLedger::Id;

// The budget's rules said plainly, over lists of what is held; the order in which answers close
// is the ledger's model.
class BudgetModel {
 public:
  struct Answer {
    size_t bytes;
    const ClientUse* client;
    bool owners;
  };
  struct Page {
    bool owners;
    size_t body = 0;
    size_t converted = 0;
    size_t made = 0;  // of converted, taken whatever the bound once made
  };
  std::map<Id, Answer> answers;
  std::map<int, Page> pages;
  LedgerModel ledger;

  size_t Used() const {
    size_t used = 0;
    for (const auto& [id, a] : answers) used += a.bytes;
    for (const auto& [p, page] : pages) used += page.body + page.converted;
    return used;
  }
  size_t Held(const ClientUse* client) const {
    size_t held = 0;
    for (const auto& [id, a] : answers) held += a.client == client ? a.bytes : 0;
    return held;
  }
  // What the visitors hold that was charged within the bounds.
  size_t VisitorsBounded() const {
    size_t held = 0;
    for (const auto& [id, a] : answers) held += a.owners ? 0 : a.bytes;
    for (const auto& [p, page] : pages) {
      held += page.owners ? 0 : page.body + page.converted - page.made;
    }
    return held;
  }
  void End(Id id) {
    answers.erase(id);
    ledger.Remove(id);
  }

  // The answers it closes to make room go to *closed.
  Charged Charge(const ClientUse* client, size_t bytes, bool owners, std::vector<Id>* closed) {
    if (owners) return Charged::kTaken;
    const bool client_fits =
        client == nullptr || Held(client) == 0 || Held(client) + bytes <= kPerClient;
    if (client_fits && Used() + bytes <= kTotal) return Charged::kTaken;
    const std::vector<Id> stalled = ledger.ChooseStalled(bytes, client_fits ? nullptr : client);
    if (!stalled.empty() || bytes == 0) {
      for (Id id : stalled) {
        answers.erase(id);
        closed->push_back(id);
      }
      return Charged::kTaken;
    }
    if (!client_fits) return Charged::kRefused;
    return Used() + bytes <= kTotal + kLoan ? Charged::kLent : Charged::kRefused;
  }

  Charged Begin(Id id, const ClientUse* client, size_t bytes, bool owners,
                std::vector<Id>* closed) {
    const Charged charged = Charge(client, bytes, owners, closed);
    if (charged == Charged::kRefused) return charged;
    answers[id] = Answer{bytes, client, owners};
    if (!owners) ledger.Watch(id, bytes, client, charged == Charged::kLent);
    return charged;
  }

  std::vector<Id> Checked(Id id, uint64_t taken, bool stalled, int64_t now) {
    const size_t used = Used();
    std::vector<Id> closed =
        ledger.Measure(id, taken, stalled, now, used > kTotal ? used - kTotal : 0);
    for (Id c : closed) answers.erase(c);
    return closed;
  }

  bool Grow(int p, size_t bytes, std::vector<Id>* closed) {
    Page& page = pages[p];
    if (bytes <= page.body) return true;
    if (Charge(nullptr, bytes - page.body, page.owners, closed) == Charged::kRefused) return false;
    page.body = bytes;
    return true;
  }

  bool HoldConverted(int p, size_t bytes, bool made, std::vector<Id>* closed) {
    Page& page = pages[p];
    if (bytes < page.converted) {
      page.made = std::min(page.made, bytes);
    } else if (bytes > page.converted) {
      if (Charge(nullptr, bytes - page.converted, page.owners || made, closed) ==
          Charged::kRefused) {
        return false;
      }
      if (made && !page.owners) page.made += bytes - page.converted;
    }
    page.converted = bytes;
    return true;
  }
};

// Random steps (answers that wait and end, readers measured or stopped, pages that grow, are
// converted, dropped and released, the owners' among them) against the model: the same answers
// charged, lent and refused, the same closed in the same order, the same bytes held; and what
// must hold whatever the steps: the owners are never refused nor closed, an answer not measured
// yet is never closed for another, and the visitors hold no more than the total and the loan.
TEST(AnswerBudgetTest, FollowsTheModelThroughRandomSteps) {
  ClientUse clients[3];
  std::map<Charged, int> outcomes;
  int closes = 0, measured_closes = 0;
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 random(seed);
    auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    BudgetModel model;
    std::vector<Id> closed;  // by the budget, in order
    bool measuring = false;  // the closes come from a reader measured
    Id measured = nullptr;
    std::vector<LedgerModel::Answer> before;  // the ledger model before the step
    std::vector<std::unique_ptr<WaitingAnswer>> slots;
    std::map<Id, int> slot_of;
    auto holder = std::make_shared<int>(0);
    AnswerBudget budget(
        {.max_answer_memory = kTotal,
         .max_client_answer_memory = kPerClient,
         .answer_loan_memory = kLoan,
         .stopped_below = 4},
        [&](std::vector<AnswerBudget::Chosen> chosen, bool stalled) {
          EXPECT_NE(stalled, measuring);
          for (const AnswerBudget::Chosen& c : chosen) {
            ASSERT_EQ(c.holder, holder);
            ASSERT_TRUE(model.answers.count(c.id) > 0) << "closed an answer not waiting";
            ASSERT_FALSE(model.answers.at(c.id).owners) << "closed the owners' answer";
            if (measuring && c.id != measured) {
              auto it = std::find_if(before.begin(), before.end(),
                                     [&](const LedgerModel::Answer& a) { return a.id == c.id; });
              ASSERT_GE(it->checks, 2) << "an answer not measured yet was closed";
            }
            closed.push_back(c.id);
            slots[static_cast<size_t>(slot_of.at(c.id))]->End();
          }
        });
    for (int i = 0; i < 12; ++i) {
      slots.push_back(std::make_unique<WaitingAnswer>(budget));
      slot_of[slots.back().get()] = i;
    }
    std::vector<std::unique_ptr<PageCharge>> pages(4);
    int64_t now = 0;
    for (int step = 0; step < 500; ++step) {
      ++now;
      closed.clear();
      measuring = false;
      before = model.ledger.answers;
      std::vector<Id> expected;
      const int i = pick(12), p = pick(4);
      WaitingAnswer& answer = *slots[static_cast<size_t>(i)];
      const Id id = &answer;
      const bool open = model.answers.count(id) > 0;
      const int op = pick(10);
      if (op <= 1 && !open) {
        const size_t bytes = 50 * static_cast<size_t>(1 + pick(8));
        ClientUse* client = pick(4) == 0 ? nullptr : &clients[pick(3)];
        const bool owners = pick(5) == 0;
        // The budget first: what it closes is checked against the model before the step.
        std::shared_ptr<ClientUse> shared(std::shared_ptr<ClientUse>(), client);
        const bool held = answer.Begin(holder, 0, client ? shared : nullptr, bytes, owners);
        const Charged want = model.Begin(id, client, bytes, owners, &expected);
        ASSERT_EQ(held, want != Charged::kRefused) << "seed " << seed << " step " << step;
        ASSERT_EQ(answer.lent(), want == Charged::kLent) << "seed " << seed << " step " << step;
        ASSERT_TRUE(held || !owners) << "the owners' answer was refused";
        ++outcomes[owners ? Charged::kTaken : want];
      } else if (op <= 2) {
        answer.End();
        model.End(id);
      } else if (op <= 4 || op == 9) {
        // A reader measured (taking 4 and more a window) or stopped.
        const uint64_t taken = static_cast<uint64_t>(op == 3   ? 4 + pick(4)
                                                     : op == 4 ? pick(4)
                                                               : pick(8));
        measuring = true;
        measured = id;
        ASSERT_EQ(budget.Stopped(taken), taken < 4);
        answer.Checked(taken, budget.Stopped(taken), now);
        expected = model.Checked(id, taken, taken < 4, now);
        measured_closes += static_cast<int>(closed.size());
      } else if (op == 5) {
        if (!pages[static_cast<size_t>(p)]) {
          const bool owners = pick(4) == 0;
          pages[static_cast<size_t>(p)] = std::make_unique<PageCharge>(budget, owners);
          model.pages[p] = BudgetModel::Page{owners};
        }
        const size_t bytes = model.pages[p].body + 50 * static_cast<size_t>(1 + pick(6));
        const bool grown = pages[static_cast<size_t>(p)]->Grow(bytes);
        const bool want = model.Grow(p, bytes, &expected);
        ASSERT_EQ(grown, want) << "seed " << seed << " step " << step;
        ASSERT_TRUE(want || !model.pages[p].owners) << "the owners' page was refused";
      } else if (op == 6 && pages[static_cast<size_t>(p)]) {
        const size_t bytes = 50 * static_cast<size_t>(pick(11));
        const bool made = pick(3) == 0;
        const bool held = pages[static_cast<size_t>(p)]->HoldConverted(bytes, made);
        const bool want = model.HoldConverted(p, bytes, made, &expected);
        ASSERT_EQ(held, want) << "seed " << seed << " step " << step;
      } else if (op == 7 && pages[static_cast<size_t>(p)]) {
        pages[static_cast<size_t>(p)]->DropBody();
        model.pages[p].body = 0;
      } else if (op == 8) {
        pages[static_cast<size_t>(p)].reset();
        model.pages.erase(p);
      }
      ASSERT_EQ(closed, expected) << "seed " << seed << " step " << step;
      closes += static_cast<int>(closed.size());
      ASSERT_EQ(budget.used(), model.Used()) << "seed " << seed << " step " << step;
      for (const ClientUse& client : clients) {
        ASSERT_EQ(client.answer_bytes.load(), model.Held(&client)) << "step " << step;
      }
      ASSERT_EQ(budget.watched(), model.ledger.answers.size());
      ASSERT_LE(model.VisitorsBounded(), kTotal + kLoan);
    }
    slots.clear();
    pages.clear();
    ASSERT_EQ(budget.used(), 0u);
  }
  // Every outcome was met often enough to be tested.
  EXPECT_GT(outcomes[Charged::kTaken], 1000);
  EXPECT_GT(outcomes[Charged::kLent], 100);
  EXPECT_GT(outcomes[Charged::kRefused], 100);
  EXPECT_GT(closes, 100);
  EXPECT_GT(measured_closes, 20);
}

}  // namespace
}  // namespace folirex
