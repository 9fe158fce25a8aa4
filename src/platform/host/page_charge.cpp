#include "platform/host/page_charge.h"

namespace folirex {

bool PageCharge::Take(size_t bytes, bool whatever_the_bound) {
  if (bytes == 0) return true;
  if (owner_ || whatever_the_bound) {
    memory_.TakeAhead(nullptr, bytes);
    return true;
  }
  if (memory_.Take(nullptr, bytes) == AnswerMemory::Room::kTaken) return true;
  if (make_room_ && make_room_(bytes)) {
    memory_.TakeAhead(nullptr, bytes);
    return true;
  }
  // A new page's reader is not measured yet: it is lent the room, within the loan.
  return memory_.Take(nullptr, bytes, /*lend=*/true) != AnswerMemory::Room::kOverTotal;
}

bool PageCharge::Grow(size_t bytes) {
  if (bytes <= body_) return true;
  if (!Take(bytes - body_, false)) return false;
  body_ = bytes;
  return true;
}

bool PageCharge::HoldConverted(size_t bytes, bool made) {
  if (bytes < converted_) {
    memory_.Give(nullptr, converted_ - bytes);
  } else if (!Take(bytes - converted_, made)) {
    return false;
  }
  converted_ = bytes;
  return true;
}

void PageCharge::DropBody() {
  if (body_ > 0) memory_.Give(nullptr, body_);
  body_ = 0;
}

void PageCharge::Release() {
  DropBody();
  if (converted_ > 0) memory_.Give(nullptr, converted_);
  converted_ = 0;
}

}  // namespace folirex
