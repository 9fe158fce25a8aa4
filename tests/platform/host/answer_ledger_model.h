// The rules of the answers' ledger said as plainly as they can be, for the model tests of the
// ledger and of the budget it is part of.
#ifndef FOLIREX_TESTS_PLATFORM_HOST_ANSWER_LEDGER_MODEL_H_
#define FOLIREX_TESTS_PLATFORM_HOST_ANSWER_LEDGER_MODEL_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/host/answer_ledger.h"

namespace folirex {

// One choice at a time, over every answer.
class LedgerModel {
 public:
  using Id = AnswerLedger::Id;
  struct Answer {
    Id id;
    size_t bytes;
    const ClientUse* client;
    bool lent;
    bool alive = true;  // its holder is still there
    int checks = 0;
    uint64_t taken = 0;
    int64_t stalled_since = 0;
    uint64_t order;
  };
  std::vector<Answer> answers;
  uint64_t order = 0;

  Answer* Find(Id id) {
    for (Answer& a : answers) {
      if (a.id == id) return &a;
    }
    return nullptr;
  }
  void Remove(Id id) {
    answers.erase(std::remove_if(answers.begin(), answers.end(),
                                 [id](const Answer& a) { return a.id == id; }),
                  answers.end());
  }
  void Watch(Id id, size_t bytes, const ClientUse* client, bool lent) {
    Remove(id);
    answers.push_back(Answer{id, bytes, client, lent, true, 0, 0, 0, ++order});
  }

  std::vector<Id> Measure(Id id, uint64_t taken, bool stalled, int64_t now, size_t over) {
    Answer* a = Find(id);
    if (a == nullptr) return {};
    ++a->checks;
    a->taken = taken;
    if (!stalled) a->stalled_since = 0;
    if (stalled && a->stalled_since == 0) a->stalled_since = now;
    if (a->checks < 2 || !a->lent) return {};
    a->lent = false;
    if (over == 0 || !a->alive) return {};
    const size_t wanted = std::min(over, a->bytes);
    // Which of two goes first: the stopped, the longest stopped, the slowest, the newer.
    auto before = [](const Answer& x, const Answer& y) {
      if ((x.stalled_since != 0) != (y.stalled_since != 0)) return x.stalled_since != 0;
      if (x.stalled_since != y.stalled_since) return x.stalled_since < y.stalled_since;
      if (x.taken != y.taken) return x.taken < y.taken;
      return x.order > y.order;
    };
    std::vector<Id> chosen;
    size_t freed = 0;
    while (true) {
      const Answer* best = nullptr;
      for (const Answer& c : answers) {
        if (c.checks < 2 || c.lent || !c.alive) continue;
        if (best == nullptr || before(c, *best)) best = &c;
      }
      if (best == nullptr) break;
      const Id chose = best->id;
      freed += best->bytes;
      chosen.push_back(chose);
      Remove(chose);
      if (chose == id || freed >= wanted) break;
    }
    return chosen;
  }

  std::vector<Id> ChooseStalled(size_t bytes, const ClientUse* client) {
    std::vector<const Answer*> stalled;
    for (const Answer& a : answers) {
      if (a.alive && a.stalled_since != 0 && (client == nullptr || a.client == client)) {
        stalled.push_back(&a);
      }
    }
    std::sort(stalled.begin(), stalled.end(),
              [](const Answer* x, const Answer* y) { return x->stalled_since < y->stalled_since; });
    std::vector<Id> chosen;
    size_t freed = 0;
    for (const Answer* a : stalled) {
      if (freed >= bytes) break;
      freed += a->bytes;
      chosen.push_back(a->id);
    }
    if (freed < bytes) return {};
    for (Id id : chosen) Remove(id);
    return chosen;
  }
};

}  // namespace folirex

#endif  // FOLIREX_TESTS_PLATFORM_HOST_ANSWER_LEDGER_MODEL_H_
