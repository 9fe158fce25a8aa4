#include "platform/host/body_memory.h"

#include <algorithm>
#include <utility>

namespace folirex {

bool AddBounded(std::atomic<size_t>& counter, size_t limit, size_t bytes) {
  size_t used = counter.load(std::memory_order_relaxed);
  do {
    if (used > limit || bytes > limit - used) return false;
  } while (!counter.compare_exchange_weak(used, used + bytes, std::memory_order_relaxed));
  return true;
}

namespace {

size_t Index(BodyShare share) { return static_cast<size_t>(share); }

}  // namespace

std::shared_ptr<ClientUse> ClientTable::Find(const std::string& address) {
  std::lock_guard lock(mutex_);
  std::weak_ptr<ClientUse>& slot = clients_[address];
  if (std::shared_ptr<ClientUse> held = slot.lock()) return held;
  // The last holder removes the entry, unless a newer one has taken its place meanwhile.
  std::shared_ptr<ClientUse> made(new ClientUse, [this, address](ClientUse* use) {
    {
      std::lock_guard lock(mutex_);
      auto it = clients_.find(address);
      if (it != clients_.end() && it->second.expired()) clients_.erase(it);
    }
    delete use;
  });
  slot = made;
  return made;
}

size_t ClientTable::size() const {
  std::lock_guard lock(mutex_);
  return clients_.size();
}

BodyMemory::BodyMemory(size_t total, size_t per_client, size_t sign_in)
    : total_(total),
      per_client_(per_client),
      sign_in_(std::clamp(sign_in, total / 16, total / 4)) {}

size_t BodyMemory::ShareLimit(BodyShare share) const {
  switch (share) {
    case BodyShare::kAnonymous:
      return total_ / 8;
    case BodyShare::kSignIn:
      return sign_in_;
    case BodyShare::kConsole:
      break;
  }
  return total_;
}

bool BodyMemory::Fits(BodyShare share, const ClientUse* client, size_t bytes) const {
  auto fits = [bytes](size_t used, size_t limit) { return used <= limit && bytes <= limit - used; };
  if (!fits(used_.load(std::memory_order_relaxed), total_)) return false;
  if (!fits(share_used_[Index(share)].load(std::memory_order_relaxed), ShareLimit(share))) {
    return false;
  }
  return client == nullptr || !CountsForClient(share) ||
         fits(client->body_bytes.load(std::memory_order_relaxed), per_client_);
}

bool BodyMemory::Take(BodyShare share, ClientUse* client, size_t bytes) {
  std::atomic<size_t>& share_used = share_used_[Index(share)];
  if (!AddBounded(share_used, ShareLimit(share), bytes)) return false;
  const bool per_client = client != nullptr && CountsForClient(share);
  if (per_client && !AddBounded(client->body_bytes, per_client_, bytes)) {
    share_used.fetch_sub(bytes, std::memory_order_relaxed);
    return false;
  }
  if (!AddBounded(used_, total_, bytes)) {
    if (per_client) client->body_bytes.fetch_sub(bytes, std::memory_order_relaxed);
    share_used.fetch_sub(bytes, std::memory_order_relaxed);
    return false;
  }
  return true;
}

void BodyMemory::Give(BodyShare share, ClientUse* client, size_t bytes) {
  used_.fetch_sub(bytes, std::memory_order_relaxed);
  share_used_[Index(share)].fetch_sub(bytes, std::memory_order_relaxed);
  if (client != nullptr && CountsForClient(share)) {
    client->body_bytes.fetch_sub(bytes, std::memory_order_relaxed);
  }
}

BodyReservation::BodyReservation(BodyReservation&& other) noexcept
    : memory_(other.memory_),
      share_(other.share_),
      client_(std::move(other.client_)),
      bytes_(std::exchange(other.bytes_, 0)) {}

BodyReservation& BodyReservation::operator=(BodyReservation&& other) noexcept {
  if (this != &other) {
    Reset();
    memory_ = other.memory_;
    share_ = other.share_;
    client_ = std::move(other.client_);
    bytes_ = std::exchange(other.bytes_, 0);
  }
  return *this;
}

bool BodyReservation::GrowTo(size_t total) {
  if (total <= bytes_) return true;
  if (memory_ == nullptr || !memory_->Take(share_, client_.get(), total - bytes_)) return false;
  bytes_ = total;
  return true;
}

void BodyReservation::Reset() {
  if (bytes_ > 0) memory_->Give(share_, client_.get(), bytes_);
  bytes_ = 0;
}

}  // namespace folirex
