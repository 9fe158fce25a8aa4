#include "platform/host/connection_admission.h"

#include <algorithm>
#include <queue>
#include <tuple>

namespace folirex {

ConnectionAdmission::ConnectionAdmission(size_t max_connections)
    : max_connections_(std::max<size_t>(1, max_connections)) {}

void ConnectionAdmission::Count(Entry& entry, bool counted) {
  Client& client = entry.client->second;
  if (counted) {
    if (client.held++ == 0) ++holding_;
    ++open_;
  } else {
    if (--client.held == 0) --holding_;
    --open_;
  }
}

void ConnectionAdmission::Add(Id id, std::string_view address) {
  ClientSlot& slot = *clients_.try_emplace(std::string(address)).first;
  auto [it, added] = entries_.emplace(id, Entry{&slot});
  if (!added) return;
  ++slot.second.all;
  Count(it->second, true);
}

void ConnectionAdmission::Remove(Id id) {
  auto it = entries_.find(id);
  if (it == entries_.end()) return;
  if (!it->second.chosen) Count(it->second, false);
  ClientSlot* slot = it->second.client;
  entries_.erase(it);
  if (--slot->second.all == 0) clients_.erase(clients_.find(slot->first));
}

void ConnectionAdmission::Keep(Id id) {
  auto it = entries_.find(id);
  if (it == entries_.end() || !it->second.chosen) return;
  it->second.chosen = false;
  Count(it->second, true);
}

size_t ConnectionAdmission::Held(std::string_view address) const {
  auto it = clients_.find(std::string(address));
  return it == clients_.end() ? 0 : it->second.held;
}

std::vector<ConnectionAdmission::Id> ConnectionAdmission::ChooseToClose(
    size_t count, const WaitingSince& waiting_since) {
  std::vector<Id> chosen;
  if (count == 0) return chosen;
  struct Waiting {
    int64_t since;
    Id id;
    Entry* entry;
  };
  // Each address's waiting connections as a heap whose front waited longest.
  auto waited_less = [](const Waiting& a, const Waiting& b) {
    return std::tie(a.since, a.id) > std::tie(b.since, b.id);
  };
  std::unordered_map<ClientSlot*, std::vector<Waiting>> waiting;
  for (auto& [id, entry] : entries_) {
    if (entry.chosen) continue;
    if (int64_t since = waiting_since(id); since != 0) {
      waiting[entry.client].push_back({since, id, &entry});
    }
  }
  // The addresses with waiting connections, the one to give up a connection first on top. Only
  // the address on top changes while the others are in the queue.
  using Candidate = std::pair<ClientSlot*, std::vector<Waiting>*>;
  auto gives_later = [](const Candidate& a, const Candidate& b) {
    const size_t held_a = a.first->second.held, held_b = b.first->second.held;
    if (held_a != held_b) return held_a < held_b;
    const Waiting &front_a = a.second->front(), &front_b = b.second->front();
    return std::tie(front_a.since, front_a.id) > std::tie(front_b.since, front_b.id);
  };
  std::priority_queue<Candidate, std::vector<Candidate>, decltype(gives_later)> order(gives_later);
  for (auto& [client, connections] : waiting) {
    std::make_heap(connections.begin(), connections.end(), waited_less);
    order.emplace(client, &connections);
  }
  // The most that an address outside the queue holds.
  size_t most_elsewhere = 0;
  for (auto& slot : clients_) {
    if (!waiting.contains(&slot)) most_elsewhere = std::max(most_elsewhere, slot.second.held);
  }
  while (chosen.size() < count && !order.empty()) {
    const Candidate top = order.top();
    Client& client = top.first->second;
    std::vector<Waiting>& connections = *top.second;
    // The address on top holds the most of those in the queue: when it holds one, so do they all.
    const size_t share = (max_connections_ + holding_ - 1) / holding_;
    if (client.held == 1 && std::max(most_elsewhere, client.held) > share) break;
    order.pop();
    std::pop_heap(connections.begin(), connections.end(), waited_less);
    const Waiting taken = connections.back();
    connections.pop_back();
    taken.entry->chosen = true;
    Count(*taken.entry, false);
    chosen.push_back(taken.id);
    if (connections.empty()) {
      most_elsewhere = std::max(most_elsewhere, client.held);
    } else {
      order.push(top);
    }
  }
  return chosen;
}

}  // namespace folirex
