#include "platform/host/page_scheduler.h"

#include <algorithm>
#include <utility>

namespace folirex {

namespace {

PageScheduler::Limits Bounded(PageScheduler::Limits limits) {
  limits.workers = std::max<size_t>(1, limits.workers);
  limits.owner_workers = std::min(limits.owner_workers, limits.workers / 2);
  limits.sign_in_workers =
      std::clamp<size_t>(limits.sign_in_workers, 1, std::max<size_t>(1, limits.owner_workers));
  limits.per_client = std::max<size_t>(1, limits.per_client);
  return limits;
}

}  // namespace

PageScheduler::PageScheduler(Limits limits) : limits_(Bounded(limits)) {
  sign_in_.most = limits_.sign_in_workers;
  visitors_.most = limits_.workers - limits_.owner_workers;
}

bool PageScheduler::HasRoom(Lane lane) const {
  if (running_ >= limits_.workers) return false;
  if (lane == Lane::kOwner) return true;
  const FairLane& fair = lane == Lane::kSignIn ? sign_in_ : visitors_;
  return fair.running < fair.most;
}

void PageScheduler::MakeReady(FairLane& lane, const std::string& address, Client& client) {
  if (client.ready || client.waiting.empty() || client.running >= limits_.per_client) return;
  client.ready = true;
  lane.turn.push_back(address);
}

void PageScheduler::Forget(FairLane& lane, const std::string& address) {
  auto it = lane.clients.find(address);
  if (it != lane.clients.end() && it->second.running == 0 && it->second.waiting.empty()) {
    lane.clients.erase(it);
  }
}

bool PageScheduler::Submit(Lane lane, std::string_view client, Clock::time_point now, Start start) {
  std::vector<Decision> decisions;
  {
    std::lock_guard lock(mutex_);
    if (lane == Lane::kOwner) {
      if (owners_waiting_.empty() && HasRoom(lane)) {
        ++running_;
        ++owners_running_;
        return true;
      }
      owners_waiting_.push_back(std::move(start));
      return false;
    }
    FairLane& fair = LaneOf(lane);
    const std::string address(client);
    Client& entry = fair.clients[address];
    // Pages of the lanes served first, and this lane's waiting pages, go before it.
    const bool ahead = !owners_waiting_.empty() || !fair.turn.empty() || !entry.waiting.empty() ||
                       (lane == Lane::kVisitor && !sign_in_.turn.empty() && HasRoom(Lane::kSignIn));
    if (!ahead && HasRoom(lane) && entry.running < limits_.per_client) {
      ++entry.running;
      ++fair.running;
      ++running_;
      return true;
    }
    entry.waiting.push_back({std::move(start), now});
    ++fair.waiting;
    MakeReady(fair, address, entry);
    Pump(now, &decisions);
  }
  for (auto& [start_page, may] : decisions) start_page(may);
  return false;
}

void PageScheduler::Finish(Lane lane, std::string_view client, Clock::time_point now) {
  std::vector<Decision> decisions;
  {
    std::lock_guard lock(mutex_);
    --running_;
    if (lane == Lane::kOwner) {
      --owners_running_;
    } else {
      FairLane& fair = LaneOf(lane);
      --fair.running;
      const std::string address(client);
      auto it = fair.clients.find(address);
      if (it != fair.clients.end()) {
        --it->second.running;
        MakeReady(fair, address, it->second);
        Forget(fair, address);
      }
    }
    Pump(now, &decisions);
  }
  for (auto& [start_page, may] : decisions) start_page(may);
}

void PageScheduler::Pump(Clock::time_point now, std::vector<Decision>* decisions) {
  while (running_ < limits_.workers) {
    if (!owners_waiting_.empty()) {
      ++running_;
      ++owners_running_;
      decisions->emplace_back(std::move(owners_waiting_.front()), true);
      owners_waiting_.pop_front();
      continue;
    }
    if (HasRoom(Lane::kSignIn) && TakeFrom(Lane::kSignIn, now, decisions)) continue;
    if (HasRoom(Lane::kVisitor) && TakeFrom(Lane::kVisitor, now, decisions)) continue;
    break;
  }
}

bool PageScheduler::TakeFrom(Lane lane, Clock::time_point now, std::vector<Decision>* decisions) {
  FairLane& fair = LaneOf(lane);
  if (fair.turn.empty()) return false;
  const std::string address = std::move(fair.turn.front());
  fair.turn.pop_front();
  Client& entry = fair.clients.at(address);
  entry.ready = false;
  Waiting page = std::move(entry.waiting.front());
  entry.waiting.pop_front();
  --fair.waiting;
  if (now - page.since > limits_.max_wait) {
    decisions->emplace_back(std::move(page.start), false);
    // Its turn is not used up by a page that was refused.
    if (!entry.waiting.empty() && entry.running < limits_.per_client) {
      entry.ready = true;
      fair.turn.push_front(address);
    }
    Forget(fair, address);
    return true;
  }
  ++entry.running;
  ++fair.running;
  ++running_;
  decisions->emplace_back(std::move(page.start), true);
  MakeReady(fair, address, entry);
  return true;
}

size_t PageScheduler::running() const {
  std::lock_guard lock(mutex_);
  return running_;
}

size_t PageScheduler::waiting() const {
  std::lock_guard lock(mutex_);
  return owners_waiting_.size() + sign_in_.waiting + visitors_.waiting;
}

}  // namespace folirex
