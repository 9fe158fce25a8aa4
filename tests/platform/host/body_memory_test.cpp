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

// An answer takes from the total and from its client's bound, nothing when it would pass either;
// one taken ahead of the room being made counts whatever the bounds; all goes back when let go.
// An address's one answer may pass its share.
TEST(AnswerMemoryTest, TotalAndClientBoundTheHeldAnswers) {
  using Room = AnswerMemory::Room;
  AnswerMemory memory(1000, 400);
  ClientTable clients;
  std::shared_ptr<ClientUse> a = clients.Find("10.0.0.1"), b = clients.Find("10.0.0.2");
  AnswerReservation first, second, third, ahead;
  EXPECT_EQ(first.Hold(memory, a, 400), Room::kTaken);
  EXPECT_EQ(second.Hold(memory, a, 1), Room::kOverClient);
  EXPECT_EQ(second.Hold(memory, b, 400), Room::kTaken);
  EXPECT_EQ(third.Hold(memory, nullptr, 201), Room::kOverTotal);
  EXPECT_EQ(b->answer_bytes, 400u);
  EXPECT_EQ(third.Hold(memory, nullptr, 200), Room::kTaken);
  EXPECT_EQ(ahead.Hold(memory, a, 300, /*ahead=*/true), Room::kTaken);
  EXPECT_EQ(memory.used(), 1300u);
  EXPECT_EQ(a->answer_bytes, 700u);
  first.Reset();
  ahead = AnswerReservation();
  EXPECT_EQ(a->answer_bytes, 0u);
  EXPECT_EQ(memory.used(), 600u);
  // An address that holds no answer may hold one past its share, within the total; not two.
  third.Reset();
  EXPECT_EQ(first.Hold(memory, a, 601), Room::kOverTotal);
  EXPECT_EQ(a->answer_bytes, 0u);
  EXPECT_EQ(first.Hold(memory, a, 500), Room::kTaken);
  EXPECT_EQ(ahead.Hold(memory, a, 1), Room::kOverClient);
  EXPECT_EQ(ahead.Hold(memory, b, 1), Room::kOverClient);
}

// A new answer may be lent room past the total, never past the loan, and never past its
// client's bound; a lent answer's bytes go back like any other's.
TEST(AnswerMemoryTest, ALoanPassesTheTotalByNoMoreThanItsBound) {
  using Room = AnswerMemory::Room;
  AnswerMemory memory(1000, 400, 300);
  ClientTable clients;
  std::shared_ptr<ClientUse> a = clients.Find("10.0.0.1"), b = clients.Find("10.0.0.2");
  AnswerReservation held, lent, refused;
  EXPECT_EQ(held.Hold(memory, nullptr, 900), Room::kTaken);
  EXPECT_EQ(lent.Hold(memory, a, 300), Room::kOverTotal);
  EXPECT_EQ(lent.Hold(memory, a, 300, false, /*lend=*/true), Room::kLent);
  EXPECT_EQ(memory.over(), 200u);
  EXPECT_EQ(refused.Hold(memory, b, 101, false, true), Room::kOverTotal);
  EXPECT_EQ(refused.Hold(memory, a, 101, false, true), Room::kOverClient);
  EXPECT_EQ(b->answer_bytes, 0u);
  EXPECT_EQ(refused.Hold(memory, b, 100, false, true), Room::kLent);
  EXPECT_EQ(memory.used(), 1300u);
  lent.Reset();
  refused.Reset();
  EXPECT_EQ(memory.over(), 0u);
  EXPECT_EQ(lent.Hold(memory, a, 100, false, true), Room::kTaken);
}

}  // namespace
}  // namespace folirex
