#include "platform/host/answer_ledger.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace folirex {

void AnswerLedger::Watch(Id id, std::weak_ptr<void> holder, unsigned number, size_t bytes,
                         const ClientUse* client, bool lent) {
  std::lock_guard lock(mutex_);
  Answer& answer = answers_[id];
  answer = Answer{};
  answer.holder = std::move(holder);
  answer.number = number;
  answer.bytes = bytes;
  answer.client = client;
  answer.lent = lent;
  answer.order = ++next_order_;
}

void AnswerLedger::Forget(Id id) {
  std::lock_guard lock(mutex_);
  answers_.erase(id);
}

size_t AnswerLedger::size() const {
  std::lock_guard lock(mutex_);
  return answers_.size();
}

std::vector<AnswerLedger::Chosen> AnswerLedger::Measure(Id id, uint64_t taken, bool stalled,
                                                        int64_t now, size_t over) {
  std::vector<Chosen> chosen;
  std::lock_guard lock(mutex_);
  auto it = answers_.find(id);
  if (it == answers_.end()) return chosen;
  Answer& measured = it->second;
  ++measured.checks;
  measured.taken = taken;
  if (!stalled) {
    measured.stalled_since = 0;
  } else if (measured.stalled_since == 0) {
    measured.stalled_since = std::max<int64_t>(1, now);
  }
  if (measured.checks < 2 || !measured.lent) return chosen;
  measured.lent = false;
  // An answer whose holder has gone gives its room back anyway: none closes for it.
  if (over == 0 || measured.holder.expired()) return chosen;
  const size_t wanted = std::min(over, measured.bytes);

  // Stopped ones first, longest stopped first; then the slowest, the newer first among equals.
  using Rank = std::tuple<bool, int64_t, uint64_t, uint64_t>;
  auto rank = [](const Answer& a) {
    return Rank{a.stalled_since == 0, a.stalled_since, a.taken, ~a.order};
  };
  std::vector<std::pair<Rank, Id>> candidates;
  for (const auto& [other, answer] : answers_) {
    if (answer.checks >= 2 && !answer.lent) candidates.emplace_back(rank(answer), other);
  }
  std::sort(candidates.begin(), candidates.end());
  size_t freed = 0;
  for (const auto& [unused, other] : candidates) {
    auto found = answers_.find(other);
    std::shared_ptr<void> holder = found->second.holder.lock();
    if (!holder) continue;
    freed += found->second.bytes;
    chosen.push_back(Chosen{other, found->second.number, std::move(holder)});
    answers_.erase(found);
    if (other == id || freed >= wanted) break;
  }
  return chosen;
}

std::vector<AnswerLedger::Chosen> AnswerLedger::ChooseStalled(size_t bytes,
                                                              const ClientUse* client) {
  std::vector<Chosen> chosen;
  std::lock_guard lock(mutex_);
  std::vector<std::pair<int64_t, Id>> candidates;
  for (const auto& [id, answer] : answers_) {
    if (answer.stalled_since != 0 && (client == nullptr || answer.client == client)) {
      candidates.emplace_back(answer.stalled_since, id);
    }
  }
  std::sort(candidates.begin(), candidates.end());
  size_t freed = 0;
  for (const auto& [since, id] : candidates) {
    if (freed >= bytes) break;
    const Answer& answer = answers_.at(id);
    std::shared_ptr<void> holder = answer.holder.lock();
    if (!holder) continue;
    freed += answer.bytes;
    chosen.push_back(Chosen{id, answer.number, std::move(holder)});
  }
  if (freed < bytes) return {};
  for (const Chosen& c : chosen) answers_.erase(c.id);
  return chosen;
}

}  // namespace folirex
