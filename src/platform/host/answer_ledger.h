// Which answers hold the answers' budget (AnswerBudget, answer_budget.h) while they wait on their
// clients, how fast each client takes its answer, and which of them to close when room is short.
//
// An answer is watched from when the socket first stops taking it. Every check (a few seconds
// apart) tells what its client took since the one before. The first check's window is no
// measure of the reader: the socket's buffers take their fill whatever the client reads. So an
// answer is measured from its second check on, by what its client took in the last window.
//
// Two rules choose what is closed:
//  - ChooseStalled: room for a new answer or page comes from answers whose clients have stopped
//    taking them (taking less than the minimum rate), longest stopped first; none is closed when
//    they hold too little.
//  - Measure: a new answer that found no room even so was lent some past the budget (a bounded
//    loan, AnswerMemory::Take). When it is measured, the budget is brought back: the measured
//    answers are closed, stopped ones first (longest stopped first), then the slowest readers
//    (the newer first among equals, so the lent one goes before an answer as fast), until what
//    was over the budget is freed, at most what the lent answer holds; when the lent one comes
//    first, it alone is closed. So a reader that takes its answer faster than others is served
//    in place of the slowest, while answers not measured yet are never closed to make room, and
//    a flood of clients that read nothing cannot push out readers: it holds no more than the
//    loan past the budget, and once measured its answers are stopped ones, closed before any
//    whose client reads.
// A window tells what the socket took, not what the client read: the system lets the writer add
// to a send buffer only once a good part of it is free, so a client reading slowly may show
// nothing in one window and much in the next, and counts as stopped for the first.
// Owners' answers are never watched here, so never chosen.
//
// Thread-safe. An answer's holder is kept by a weak pointer; one that has gone is not chosen.
#ifndef FOLIREX_PLATFORM_HOST_ANSWER_LEDGER_H_
#define FOLIREX_PLATFORM_HOST_ANSWER_LEDGER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/host/body_memory.h"

namespace folirex {

class AnswerLedger {
 public:
  using Id = const void*;

  struct Chosen {
    Id id;
    unsigned number;               // the answer's number given to Watch
    std::shared_ptr<void> holder;  // kept alive until the caller has closed it
  };

  AnswerLedger() = default;
  AnswerLedger(const AnswerLedger&) = delete;
  AnswerLedger& operator=(const AnswerLedger&) = delete;

  // The answer `number` of `id` waits on its client, holding bytes for client (may be null);
  // lent: part of what it holds was lent past the budget. Replaces what was kept for id.
  void Watch(Id id, std::weak_ptr<void> holder, unsigned number, size_t bytes,
             const ClientUse* client, bool lent);
  // The answer has gone (finished or closed).
  void Forget(Id id);
  // A check of id's answer: its client took `taken` bytes since the last one, and has stopped
  // taking it (stalled) or not; now: steady-clock ticks. over: what the budget holds past its
  // total. Returns the answers to close (possibly id's own) when this check measures a lent
  // answer for the first time and the budget is over.
  std::vector<Chosen> Measure(Id id, uint64_t taken, bool stalled, int64_t now, size_t over);
  // Stopped answers (of `client` only, unless null), longest stopped first, holding at least
  // `bytes` in all; none when they hold less. The chosen ones are no longer kept.
  std::vector<Chosen> ChooseStalled(size_t bytes, const ClientUse* client);
  size_t size() const;

 private:
  struct Answer {
    std::weak_ptr<void> holder;
    unsigned number = 0;
    size_t bytes = 0;
    const ClientUse* client = nullptr;
    bool lent = false;
    int checks = 0;
    uint64_t taken = 0;         // in the last window
    int64_t stalled_since = 0;  // 0 while its client takes it
    uint64_t order = 0;         // when it was watched: the newer, the larger
  };

  mutable std::mutex mutex_;
  std::unordered_map<Id, Answer> answers_;
  uint64_t next_order_ = 0;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_ANSWER_LEDGER_H_
