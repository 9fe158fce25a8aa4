#include "platform/host/answer_budget.h"

#include <utility>

namespace folirex {

AnswerMemory::Room AnswerMemory::Take(ClientUse* client, size_t bytes, bool lend) {
  if (client != nullptr && !AddBounded(client->answer_bytes, per_client_, bytes)) {
    // An address's one waiting answer may pass its share (a long page to one reader); the total
    // still bounds it, and a second waits for room as before.
    size_t none = 0;
    if (!client->answer_bytes.compare_exchange_strong(none, bytes)) return Room::kOverClient;
  }
  if (AddBounded(used_, total_, bytes)) return Room::kTaken;
  if (lend && AddBounded(used_, total_ + loan_, bytes)) return Room::kLent;
  if (client != nullptr) client->answer_bytes.fetch_sub(bytes, std::memory_order_relaxed);
  return Room::kOverTotal;
}

void AnswerMemory::TakeAhead(ClientUse* client, size_t bytes) {
  if (client != nullptr) client->answer_bytes.fetch_add(bytes, std::memory_order_relaxed);
  used_.fetch_add(bytes, std::memory_order_relaxed);
}

void AnswerMemory::Give(ClientUse* client, size_t bytes) {
  used_.fetch_sub(bytes, std::memory_order_relaxed);
  if (client != nullptr) client->answer_bytes.fetch_sub(bytes, std::memory_order_relaxed);
}

AnswerReservation::AnswerReservation(AnswerReservation&& other) noexcept
    : memory_(other.memory_),
      client_(std::move(other.client_)),
      bytes_(std::exchange(other.bytes_, 0)) {}

AnswerReservation& AnswerReservation::operator=(AnswerReservation&& other) noexcept {
  if (this != &other) {
    Reset();
    memory_ = other.memory_;
    client_ = std::move(other.client_);
    bytes_ = std::exchange(other.bytes_, 0);
  }
  return *this;
}

AnswerMemory::Room AnswerReservation::Hold(AnswerMemory& memory, std::shared_ptr<ClientUse> client,
                                           size_t bytes, bool ahead, bool lend) {
  Reset();
  AnswerMemory::Room room = AnswerMemory::Room::kTaken;
  if (ahead) {
    memory.TakeAhead(client.get(), bytes);
  } else {
    room = memory.Take(client.get(), bytes, lend);
    if (room != AnswerMemory::Room::kTaken && room != AnswerMemory::Room::kLent) return room;
  }
  memory_ = &memory;
  client_ = std::move(client);
  bytes_ = bytes;
  return room;
}

void AnswerReservation::Reset() {
  if (bytes_ > 0) memory_->Give(client_.get(), bytes_);
  bytes_ = 0;
  client_.reset();
}

AnswerBudget::Charged AnswerBudget::Charge(
    const ClientUse* client, size_t bytes, bool owners,
    const std::function<AnswerMemory::Room(bool ahead, bool lend)>& take) {
  using Room = AnswerMemory::Room;
  if (owners) {
    // The owners' answers and pages are never refused for want of room.
    take(/*ahead=*/true, /*lend=*/false);
    return Charged::kTaken;
  }
  const Room room = take(false, false);
  if (room == Room::kTaken) return Charged::kTaken;
  // 1. Answers whose clients stopped taking them make room (the address's own when its bound is
  // the one passed); the closing ones still hold it, so this takes it ahead of them.
  if (CloseStalled(bytes, room == Room::kOverClient ? client : nullptr)) {
    take(/*ahead=*/true, false);
    return Charged::kTaken;
  }
  if (room != Room::kOverTotal) return Charged::kRefused;
  // 2. Its reader is not measured yet: it is lent the room until it is (AnswerLedger::Measure).
  switch (take(false, /*lend=*/true)) {
    case Room::kTaken:
      return Charged::kTaken;
    case Room::kLent:
      return Charged::kLent;
    case Room::kOverClient:
    case Room::kOverTotal:
      break;
  }
  // 3. Past the loan.
  return Charged::kRefused;
}

bool AnswerBudget::CloseStalled(size_t bytes, const ClientUse* client) {
  std::vector<Chosen> chosen = ledger_.ChooseStalled(bytes, client);
  if (chosen.empty()) return bytes == 0;
  Close(std::move(chosen), true);
  return true;
}

void AnswerBudget::Close(std::vector<Chosen> chosen, bool stalled) {
  if (!chosen.empty() && close_) close_(std::move(chosen), stalled);
}

bool WaitingAnswer::Begin(std::weak_ptr<void> holder, unsigned number,
                          std::shared_ptr<ClientUse> client, size_t bytes, bool owners) {
  End();
  owners_ = owners;
  const AnswerBudget::Charged charged =
      budget_.Charge(client.get(), bytes, owners, [&](bool ahead, bool lend) {
        return held_.Hold(budget_.memory_, client, bytes, ahead, lend);
      });
  if (charged == AnswerBudget::Charged::kRefused) return false;
  lent_ = charged == AnswerBudget::Charged::kLent;
  // The owners' answers are never chosen to be closed, so never watched.
  if (!owners) {
    budget_.ledger_.Watch(this, std::move(holder), number, held_.bytes(), held_.client(), lent_);
    watched_ = true;
  }
  return true;
}

void WaitingAnswer::Checked(uint64_t taken, bool stalled, int64_t now) {
  if (!watched_) return;
  // A lent answer measured for the first time: the slowest make room again (maybe itself).
  budget_.Close(budget_.ledger_.Measure(this, taken, stalled, now, budget_.memory_.over()), false);
}

void WaitingAnswer::End() {
  if (watched_) budget_.ledger_.Forget(this);
  watched_ = false;
  lent_ = false;
  held_.Reset();
}

bool PageCharge::Take(size_t bytes, bool whatever_the_bound) {
  if (bytes == 0) return true;
  AnswerMemory& memory = budget_.memory_;
  // A page's bytes count toward no client address: its answer's own hold does, once it waits.
  return budget_.Charge(nullptr, bytes, owners_ || whatever_the_bound, [&](bool ahead, bool lend) {
    if (!ahead) return memory.Take(nullptr, bytes, lend);
    memory.TakeAhead(nullptr, bytes);
    return AnswerMemory::Room::kTaken;
  }) != AnswerBudget::Charged::kRefused;
}

bool PageCharge::Grow(size_t bytes) {
  if (bytes <= body_) return true;
  if (!Take(bytes - body_, false)) return false;
  body_ = bytes;
  return true;
}

bool PageCharge::HoldConverted(size_t bytes, bool made) {
  if (bytes < converted_) {
    budget_.memory_.Give(nullptr, converted_ - bytes);
  } else if (!Take(bytes - converted_, made)) {
    return false;
  }
  converted_ = bytes;
  return true;
}

void PageCharge::DropBody() {
  if (body_ > 0) budget_.memory_.Give(nullptr, body_);
  body_ = 0;
}

void PageCharge::Release() {
  DropBody();
  if (converted_ > 0) budget_.memory_.Give(nullptr, converted_);
  converted_ = 0;
}

}  // namespace folirex
