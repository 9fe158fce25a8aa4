// What one page's answer holds of the answers' budget (AnswerMemory, body_memory.h) while it is
// built and converted: the Response's body as it grows (the Response reports each growth here),
// then the answer converted to code page 936. An owner's page takes what it needs whatever the
// bound, so that a console request is never refused for want of room; a visitor's takes it within
// the bound, having answers whose clients stopped taking them closed to make room (make_room), else
// is lent it past the bound within the loan (AnswerMemory::Take), and is refused past that (the
// host answers 503 and closes the connection). It does
// not wait for room: a page waiting would hold a worker and what it has built, and under a flood
// of clients that do not read, it would only come later to the same 503.
// What it holds goes back when it is destroyed, or by DropBody and Release.
//
// Used by the one worker that runs the page; the AnswerMemory must outlive it.
#ifndef FOLIREX_PLATFORM_HOST_PAGE_CHARGE_H_
#define FOLIREX_PLATFORM_HOST_PAGE_CHARGE_H_

#include <cstddef>
#include <functional>
#include <utility>

#include "platform/host/body_memory.h"
#include "platform/host/response.h"

namespace folirex {

class PageCharge : public ResponseCharge {
 public:
  // Closes answers that hold at least the bytes asked, taken ahead (AnswerMemory::TakeAhead) by
  // the caller; false when they hold less.
  using MakeRoom = std::function<bool(size_t)>;

  PageCharge(AnswerMemory& memory, bool owner, MakeRoom make_room)
      : memory_(memory), owner_(owner), make_room_(std::move(make_room)) {}
  ~PageCharge() override { Release(); }
  PageCharge(const PageCharge&) = delete;
  PageCharge& operator=(const PageCharge&) = delete;

  bool Grow(size_t bytes) override;
  // The converted answer is to hold `bytes`; made: it is made already and is counted whatever
  // the bound.
  bool HoldConverted(size_t bytes, bool made);
  // The body has gone (the converted answer stays).
  void DropBody();
  // Gives back everything.
  void Release();
  size_t bytes() const { return body_ + converted_; }

 private:
  bool Take(size_t bytes, bool whatever_the_bound);

  AnswerMemory& memory_;
  const bool owner_;
  const MakeRoom make_room_;
  size_t body_ = 0;
  size_t converted_ = 0;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_PAGE_CHARGE_H_
