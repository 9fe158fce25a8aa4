#include "platform/host/connection_admission.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace folirex {
namespace {

using Id = ConnectionAdmission::Id;

// The rules said as plainly as they can be: one choice at a time, over every connection.
class AdmissionModel {
 public:
  explicit AdmissionModel(size_t bound) : bound_(bound) {}

  struct Connection {
    Id id;
    std::string address;
    bool chosen = false;
  };
  std::vector<Connection> connections;

  size_t Held(const std::string& address) const {
    return std::count_if(connections.begin(), connections.end(),
                         [&](const Connection& c) { return !c.chosen && c.address == address; });
  }
  size_t Open() const {
    return std::count_if(connections.begin(), connections.end(),
                         [](const Connection& c) { return !c.chosen; });
  }

  std::vector<Id> Choose(size_t count, const std::map<Id, int64_t>& since) {
    std::vector<Id> chosen;
    while (chosen.size() < count) {
      std::map<std::string, size_t> held;
      for (const Connection& c : connections) held[c.address] += c.chosen ? 0 : 1;
      size_t most = 0, holding = 0;
      for (const auto& [address, n] : held) {
        most = std::max(most, n);
        holding += n > 0 ? 1 : 0;
      }
      Connection* best = nullptr;
      auto rank = [&](const Connection& c) {
        return std::make_tuple(-static_cast<int64_t>(held[c.address]), since.at(c.id), c.id);
      };
      for (Connection& c : connections) {
        if (c.chosen || since.at(c.id) == 0) continue;
        // The only connection of its address, while another holds more than its share.
        if (held[c.address] == 1 && most > (bound_ + holding - 1) / holding) continue;
        if (best == nullptr || rank(c) < rank(*best)) best = &c;
      }
      if (best == nullptr) break;
      best->chosen = true;
      chosen.push_back(best->id);
    }
    return chosen;
  }

 private:
  size_t bound_;
};

// The fault this guards: the longest waiting were closed first, whoever held them, so a client
// that opens many connections pushed out the one slow connection of every other address.
TEST(ConnectionAdmissionTest, TheAddressesHoldingMostGiveUpConnectionsFirst) {
  ConnectionAdmission admission(6);
  std::map<Id, int64_t> since = {{1, 1}, {2, 2}, {3, 5}, {4, 6}, {5, 7}, {6, 8}};
  admission.Add(1, "10.0.0.2");  // the slow visitors, waiting longest
  admission.Add(2, "10.0.0.3");
  for (Id id = 3; id <= 6; ++id) admission.Add(id, "10.0.0.1");
  EXPECT_TRUE(admission.Full());
  auto waiting = [&](Id id) { return since.at(id); };
  EXPECT_EQ(admission.ChooseToClose(2, waiting), (std::vector<Id>{3, 4}));
  EXPECT_FALSE(admission.Full());
  EXPECT_EQ(admission.Held("10.0.0.1"), 2u);
  // A chosen connection that stopped waiting counts again.
  admission.Keep(3);
  EXPECT_EQ(admission.Held("10.0.0.1"), 3u);
  // The flooder's connections busy: the visitors' only connections stay while it holds more
  // than its share (two of six for three addresses).
  for (Id id = 3; id <= 6; ++id) since[id] = 0;
  EXPECT_TRUE(admission.ChooseToClose(1, waiting).empty());
  admission.Remove(4);  // chosen, gone now: the count stays
  EXPECT_EQ(admission.open(), 5u);
  admission.Remove(3);
  admission.Remove(5);
  EXPECT_EQ(admission.ChooseToClose(1, waiting), (std::vector<Id>{1}));
}

// Random arrivals, departures and choices at a small bound, against the model above: the same
// connections are chosen in the same order, and the counts agree.
TEST(ConnectionAdmissionTest, ChoosesAsTheModelOfItsRulesDoes) {
  const size_t bound = 12;
  ConnectionAdmission admission(bound);
  AdmissionModel model(bound);
  // One address that floods, and a few that hold little.
  const std::vector<std::string> addresses = {"a", "a", "a", "a", "b", "c", "d", "e", "f"};
  std::mt19937 rng(11);
  Id next = 1;
  std::vector<Id> gone;
  int choices = 0, refusals = 0;
  for (int step = 0; step < 20000; ++step) {
    auto& connections = model.connections;
    const unsigned op = rng() % 100;
    if (op < 35 && connections.size() < 30) {
      // The host's ids are addresses in memory: a gone connection's comes back.
      Id id = next++;
      if (!gone.empty() && rng() % 2 == 0) {
        id = gone.back();
        gone.pop_back();
      }
      const std::string& address = addresses[rng() % addresses.size()];
      admission.Add(id, address);
      connections.push_back({id, address});
    } else if (op < 65 && !connections.empty()) {
      const size_t at = rng() % connections.size();
      admission.Remove(connections[at].id);
      gone.push_back(connections[at].id);
      connections.erase(connections.begin() + static_cast<std::ptrdiff_t>(at));
    } else if (op < 75 && !connections.empty()) {
      auto& c = connections[rng() % connections.size()];
      admission.Keep(c.id);
      c.chosen = false;
    } else {
      std::map<Id, int64_t> since;
      for (const auto& c : connections) since[c.id] = rng() % 4 == 0 ? 0 : 1 + rng() % 20;
      const size_t count = 1 + rng() % 4;
      const std::vector<Id> chosen =
          admission.ChooseToClose(count, [&](Id id) { return since.at(id); });
      ASSERT_EQ(chosen, model.Choose(count, since)) << step;
      ++choices;
      refusals += chosen.empty() ? 1 : 0;
    }
    ASSERT_EQ(admission.open(), model.Open()) << step;
    ASSERT_EQ(admission.Full(), model.Open() >= bound) << step;
    for (const char* address : {"a", "b", "f"}) {
      ASSERT_EQ(admission.Held(address), model.Held(address)) << step;
    }
  }
  // Both outcomes were met often.
  EXPECT_GT(refusals, choices / 20);
  EXPECT_LT(refusals, choices / 2);
}

}  // namespace
}  // namespace folirex
