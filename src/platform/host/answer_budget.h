// The answers' budget: the memory that answers waiting on their clients and pages being built may
// hold, and every rule of it. An answer waits on its client while the socket has not taken it (a
// page, an error page, a head); a file sent from the disk or a kept file shared by every answer
// costs nothing. A page holds its Response's body as it grows, then its conversion to code page
// 936, so that pages in progress and answers waiting together stay within the budget.
//
// The bounds, by the names the site's settings give them:
//   MaxAnswerMemory (max_answer_memory): everything held, in all (AnswerMemory counts it);
//   MaxClientAnswerMemory (max_client_answer_memory): the answers of one client address, save
//     that an address holding none may hold one answer of any size within the total;
//   answer_loan_memory: what new answers and pages, whose readers are not measured yet, may be
//     lent past MaxAnswerMemory in all until they are.
// A reader has stopped taking its answer when it took less than min_bytes_per_second over the time
// between two checks of it (AnswerBudget::Stopped).
// When a visitor's answer or page finds no room (AnswerBudget::Charge), in this order:
//   1. answers whose clients have stopped taking them are closed, longest stopped first, when
//      they hold enough (of the same address when its own bound is the one passed);
//   2. past the total, it is lent the room within the loan;
//   3. else it is refused: an answer's connection is closed, a page is answered 503.
// Once a lent answer's reader is measured (its second check), the budget is brought back: stopped
// answers are closed first, then the slowest measured readers, until what was over is freed or
// the lent answer itself comes first (AnswerLedger::Measure). The owners' pages and their answers
// (the host's owners' and sign-in lanes, page_scheduler.h) take what they need whatever the
// bounds: they are never refused, never watched and never closed to make room. A page never waits
// for room: waiting would hold a worker and what it has built, and under a flood of clients that do
// not read would only come later to the same 503.
//
// AnswerBudget is thread-safe and must outlive every WaitingAnswer and PageCharge taken from it.
// It closes answers through the callback it is given, outside its locks.
#ifndef FOLIREX_PLATFORM_HOST_ANSWER_BUDGET_H_
#define FOLIREX_PLATFORM_HOST_ANSWER_BUDGET_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/host/answer_ledger.h"
#include "platform/host/body_memory.h"
#include "platform/host/response.h"

namespace folirex {

// The count of the budget's bytes against its bounds: at most `total` in all and `per_client` for
// one client address, save that an address holding none may hold one answer of any size within
// the total. A take may be lent room past the total, up to `loan` more in all.
class AnswerMemory {
 public:
  // kLent: taken past the total, within the loan.
  enum class Room { kTaken, kLent, kOverClient, kOverTotal };

  AnswerMemory(size_t total, size_t per_client, size_t loan = 0)
      : total_(total), per_client_(per_client), loan_(loan) {}
  AnswerMemory(const AnswerMemory&) = delete;
  AnswerMemory& operator=(const AnswerMemory&) = delete;

  // Takes bytes for `client` (may be null), or tells which bound they would pass, taking nothing;
  // lend: past the total within the loan when they do not fit in it.
  Room Take(ClientUse* client, size_t bytes, bool lend = false);
  // Takes bytes whatever the bounds: for the owners, and for an answer that answers chosen to be
  // closed will make room for once they have gone.
  void TakeAhead(ClientUse* client, size_t bytes);
  void Give(ClientUse* client, size_t bytes);
  size_t used() const { return used_.load(std::memory_order_relaxed); }
  // What is held past the total (lent, or taken ahead), 0 when within it.
  size_t over() const {
    const size_t held = used();
    return held > total_ ? held - total_ : 0;
  }

 private:
  const size_t total_;
  const size_t per_client_;
  const size_t loan_;
  std::atomic<size_t> used_{0};
};

// The bytes that one holder takes of an AnswerMemory, given back by Reset or when the holder goes.
class AnswerReservation {
 public:
  AnswerReservation() = default;
  AnswerReservation(AnswerReservation&& other) noexcept;
  AnswerReservation& operator=(AnswerReservation&& other) noexcept;
  ~AnswerReservation() { Reset(); }

  // Holds bytes for `client` unless they pass a bound (see AnswerMemory::Take, lend as there);
  // ahead: whatever the bounds, as AnswerMemory::TakeAhead. Any earlier hold is given back first.
  AnswerMemory::Room Hold(AnswerMemory& memory, std::shared_ptr<ClientUse> client, size_t bytes,
                          bool ahead = false, bool lend = false);
  void Reset();
  size_t bytes() const { return bytes_; }
  const ClientUse* client() const { return client_.get(); }

 private:
  AnswerMemory* memory_ = nullptr;
  std::shared_ptr<ClientUse> client_;
  size_t bytes_ = 0;
};

class AnswerBudget {
 public:
  struct Bounds {
    size_t max_answer_memory = 0;         // MaxAnswerMemory
    size_t max_client_answer_memory = 0;  // MaxClientAnswerMemory
    size_t answer_loan_memory = 0;
    // A reader that took less than this since the last check of its answer has stopped taking it
    // (min_bytes_per_second over the time between checks).
    uint64_t stopped_below = 0;
  };
  using Chosen = AnswerLedger::Chosen;
  // Closes the chosen answers (each by WaitingAnswer::End on its own thread, and only while its
  // answer `number` still waits); stalled: only those whose clients still do not take them.
  using CloseAnswers = std::function<void(std::vector<Chosen> chosen, bool stalled)>;

  // What a charge came to.
  enum class Charged { kTaken, kLent, kRefused };

  AnswerBudget(Bounds bounds, CloseAnswers close)
      : memory_(bounds.max_answer_memory, bounds.max_client_answer_memory,
                bounds.answer_loan_memory),
        stopped_below_(bounds.stopped_below),
        close_(std::move(close)) {}
  AnswerBudget(const AnswerBudget&) = delete;
  AnswerBudget& operator=(const AnswerBudget&) = delete;

  // Whether a reader that took `taken` bytes since the last check has stopped taking its answer.
  bool Stopped(uint64_t taken) const { return taken < stopped_below_; }
  size_t used() const { return memory_.used(); }
  size_t over() const { return memory_.over(); }
  // The visitors' answers waiting on their clients.
  size_t watched() const { return ledger_.size(); }

 private:
  friend class WaitingAnswer;
  friend class PageCharge;

  // Takes bytes for `client` (may be null) by the rules above: `take` takes them from memory_
  // (ahead: whatever the bounds; lend: within the loan past the total). owners: whatever the
  // bounds, at once.
  Charged Charge(const ClientUse* client, size_t bytes, bool owners,
                 const std::function<AnswerMemory::Room(bool ahead, bool lend)>& take);
  // Closes stopped answers (of `client` only, unless null) holding at least `bytes` in all;
  // false, closing none, when they hold less.
  bool CloseStalled(size_t bytes, const ClientUse* client);
  void Close(std::vector<Chosen> chosen, bool stalled);

  AnswerMemory memory_;
  AnswerLedger ledger_;
  const uint64_t stopped_below_;
  const CloseAnswers close_;
};

// One connection's answer while it waits on its client: what it holds of the budget, and its
// place in the ledger. Used on its connection's thread only (or under the connection's lock).
class WaitingAnswer {
 public:
  explicit WaitingAnswer(AnswerBudget& budget) : budget_(budget) {}
  ~WaitingAnswer() { End(); }
  WaitingAnswer(const WaitingAnswer&) = delete;
  WaitingAnswer& operator=(const WaitingAnswer&) = delete;

  // The answer `number` begins to wait, holding `bytes` for `client` (may be null); holder: what
  // AnswerBudget's close callback is handed for it, kept weakly. owners: the owners' answer. False,
  // holding nothing, when it is refused (its connection is to close).
  bool Begin(std::weak_ptr<void> holder, unsigned number, std::shared_ptr<ClientUse> client,
             size_t bytes, bool owners);
  // A check of the answer: its client took `taken` bytes since the last one, and has stopped
  // taking it (stalled) or not; now: steady-clock ticks. May close answers, this one too.
  void Checked(uint64_t taken, bool stalled, int64_t now);
  // The answer has gone (taken, or its connection closed): what it held goes back.
  void End();
  size_t bytes() const { return held_.bytes(); }
  bool lent() const { return lent_; }

 private:
  AnswerBudget& budget_;
  AnswerReservation held_;
  bool owners_ = false;
  bool lent_ = false;  // it was lent room past the total
  bool watched_ = false;
};

// What one page's answer holds of the budget while it is built and converted: the Response's
// body as it grows (the Response reports each growth here), then the answer converted to code
// page 936. Used by the one worker that runs the page.
class PageCharge : public ResponseCharge {
 public:
  // owners: the owners' page, never refused.
  PageCharge(AnswerBudget& budget, bool owners) : budget_(budget), owners_(owners) {}
  ~PageCharge() override { Release(); }
  PageCharge(const PageCharge&) = delete;
  PageCharge& operator=(const PageCharge&) = delete;

  // False when the budget refuses the growth (the page is answered 503).
  bool Grow(size_t bytes) override;
  // The converted answer is to hold `bytes`; made: it is made already and is counted whatever
  // the bound.
  bool HoldConverted(size_t bytes, bool made);
  // The body has gone (the converted answer stays).
  void DropBody();
  // Gives back everything: the answer's own hold takes over when it waits (WaitingAnswer).
  void Release();
  size_t bytes() const { return body_ + converted_; }

 private:
  bool Take(size_t bytes, bool whatever_the_bound);

  AnswerBudget& budget_;
  const bool owners_;
  size_t body_ = 0;
  size_t converted_ = 0;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_ANSWER_BUDGET_H_
