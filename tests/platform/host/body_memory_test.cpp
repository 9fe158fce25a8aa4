#include "platform/host/body_memory.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

namespace folirex {
namespace {

// Random takes and gives against a model of the counters: every take that the model says fits
// is granted and every other refused, whatever the order; what is given back is free again.
TEST(BodyMemoryTest, SharesClientsAndTotalBoundTakesAsAModelDoes) {
  const size_t total = 1600, per_client = 150, sign_in = 300;
  BodyMemory memory(total, per_client, sign_in);
  EXPECT_EQ(memory.ShareLimit(BodyShare::kAnonymous), 200u);
  EXPECT_EQ(memory.ShareLimit(BodyShare::kSignIn), 300u);
  EXPECT_EQ(memory.ShareLimit(BodyShare::kConsole), total);
  // The sign-in's share stays within a sixteenth and a quarter of the whole.
  EXPECT_EQ(BodyMemory(1600, 150, 10).ShareLimit(BodyShare::kSignIn), 100u);
  EXPECT_EQ(BodyMemory(1600, 150, 100000).ShareLimit(BodyShare::kSignIn), 400u);

  ClientTable clients;
  std::vector<std::shared_ptr<ClientUse>> client = {clients.Find("10.0.0.1"),
                                                    clients.Find("10.0.0.2"), nullptr};
  struct Held {
    BodyShare share;
    size_t client;
    size_t bytes;
  };
  std::vector<Held> held;
  size_t used = 0, share_used[3] = {}, client_used[2] = {};
  std::mt19937 rng(7);
  for (int step = 0; step < 5000; ++step) {
    if (!held.empty() && rng() % 3 == 0) {
      const size_t at = rng() % held.size();
      const Held h = held[at];
      memory.Give(h.share, client[h.client].get(), h.bytes);
      used -= h.bytes;
      share_used[static_cast<int>(h.share)] -= h.bytes;
      if (h.client < 2 && h.share != BodyShare::kConsole) client_used[h.client] -= h.bytes;
      held.erase(held.begin() + static_cast<std::ptrdiff_t>(at));
      continue;
    }
    const auto share = static_cast<BodyShare>(rng() % 3);
    const size_t who = rng() % 3;
    const size_t bytes = 1 + rng() % 120;
    const bool counted = who < 2 && share != BodyShare::kConsole;
    const bool fits = used + bytes <= total &&
                      share_used[static_cast<int>(share)] + bytes <= memory.ShareLimit(share) &&
                      (!counted || client_used[who] + bytes <= per_client);
    ASSERT_EQ(memory.Fits(share, client[who].get(), bytes), fits) << step;
    ASSERT_EQ(memory.Take(share, client[who].get(), bytes), fits) << step;
    if (!fits) continue;
    held.push_back({share, who, bytes});
    used += bytes;
    share_used[static_cast<int>(share)] += bytes;
    if (counted) client_used[who] += bytes;
  }
  for (const Held& h : held) memory.Give(h.share, client[h.client].get(), h.bytes);
  EXPECT_TRUE(memory.Take(BodyShare::kConsole, nullptr, total));

  // An address's entry lives while it is held, and one address has one entry.
  EXPECT_EQ(clients.Find("10.0.0.1"), client[0]);
  EXPECT_EQ(clients.size(), 2u);
  client.clear();
  EXPECT_EQ(clients.size(), 0u);
}

}  // namespace
}  // namespace folirex
