#include "platform/host/page_scheduler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace folirex {
namespace {

using Lane = PageScheduler::Lane;
using Clock = PageScheduler::Clock;

// Pages submitted by a test, and what became of them.
struct Pages {
  struct Page {
    Lane lane;
    std::string client;
    Clock::time_point since;
    enum { kWaiting, kRunning, kDone, kRefused } state = kWaiting;
  };
  std::vector<Page> pages;
  std::vector<int> started;  // in the order they started

  int Submit(PageScheduler& scheduler, Lane lane, const std::string& client,
             Clock::time_point now) {
    const int id = static_cast<int>(pages.size());
    pages.push_back({lane, client, now});
    if (scheduler.Submit(lane, client, now, [this, id](bool may) { Went(id, may); }))
      Went(id, true);
    return id;
  }
  void Went(int id, bool may) {
    ASSERT_EQ(pages[id].state, Page::kWaiting);
    pages[id].state = may ? Page::kRunning : Page::kRefused;
    if (may) started.push_back(id);
  }
  void Finish(PageScheduler& scheduler, int id, Clock::time_point now) {
    ASSERT_EQ(pages[id].state, Page::kRunning);
    pages[id].state = Page::kDone;
    scheduler.Finish(pages[id].lane, pages[id].client, now);
  }
};

// The fault this guards: every page shared one queue, first come first served, so the owners
// waited behind every visitor page that came before them, and one address took every worker.
TEST(PageSchedulerTest, OwnersFirstAndOneAddressTakesAFewWorkers) {
  PageScheduler scheduler({.workers = 4,
                           .owner_workers = 1,
                           .sign_in_workers = 1,
                           .per_client = 2,
                           .max_wait = std::chrono::seconds(10)});
  Pages p;
  const Clock::time_point t{};
  std::vector<int> flood;
  for (int i = 0; i < 10; ++i) flood.push_back(p.Submit(scheduler, Lane::kVisitor, "a", t));
  EXPECT_EQ(p.started, (std::vector<int>{0, 1}));
  const int other = p.Submit(scheduler, Lane::kVisitor, "b", t);
  const int third = p.Submit(scheduler, Lane::kVisitor, "c", t);  // the visitors' three are busy
  const int owner = p.Submit(scheduler, Lane::kOwner, "a", t);    // the kept worker
  const int sign_in = p.Submit(scheduler, Lane::kSignIn, "d", t);
  EXPECT_EQ(p.started, (std::vector<int>{0, 1, other, owner}));
  p.Finish(scheduler, flood[0], t);  // the sign-in goes before every visitor
  EXPECT_EQ(p.started.back(), sign_in);
  p.Finish(scheduler, sign_in, t);  // "a" was its turn after "c"
  EXPECT_EQ(p.started.back(), third);
  p.Finish(scheduler, other, t);
  EXPECT_EQ(p.started.back(), flood[2]);
  EXPECT_EQ(scheduler.waiting(), 7u);
  // A page waiting past the bound is refused when its turn comes.
  p.Finish(scheduler, third, t);
  p.Finish(scheduler, flood[1], t + std::chrono::seconds(11));
  for (int i = 3; i < 10; ++i) EXPECT_EQ(p.pages[flood[i]].state, Pages::Page::kRefused) << i;
  EXPECT_EQ(scheduler.waiting(), 0u);
  EXPECT_EQ(scheduler.running(), 2u);
}

// Random submissions and finishes against the rules: no lane past its workers and no address
// past its pages; no page waits while its lane, its address and the workers have room for it
// and nothing goes before it; each address's pages start in the order they came; while an
// address has a page waiting with room for it, another address of its lane starts one page at
// most; only pages waiting past the bound are refused.
TEST(PageSchedulerTest, KeepsItsRulesUnderRandomLoad) {
  const PageScheduler::Limits limits{.workers = 6,
                                     .owner_workers = 2,
                                     .sign_in_workers = 1,
                                     .per_client = 2,
                                     .max_wait = std::chrono::seconds(5)};
  PageScheduler scheduler(limits);
  ASSERT_EQ(scheduler.limits().owner_workers, limits.owner_workers);
  Pages p;
  std::mt19937 rng(7);
  const std::vector<std::string> clients = {"a", "a", "a", "a", "b", "c", "d"};
  Clock::time_point now{};
  // For each lane and ready address: what other addresses started since it became ready.
  std::map<std::pair<Lane, std::string>, std::map<std::string, int>> since_ready;
  int refused = 0;
  for (int step = 0; step < 20000; ++step) {
    now += std::chrono::milliseconds(rng() % 200);
    const size_t before = p.started.size();
    std::vector<int> running;
    for (int id = 0; id < static_cast<int>(p.pages.size()); ++id) {
      if (p.pages[id].state == Pages::Page::kRunning) running.push_back(id);
    }
    if (rng() % 2 == 0 || running.empty()) {
      const unsigned kind = rng() % 10;
      const Lane lane = kind == 0 ? Lane::kOwner : kind == 1 ? Lane::kSignIn : Lane::kVisitor;
      p.Submit(scheduler, lane, clients[rng() % clients.size()], now);
    } else {
      p.Finish(scheduler, running[rng() % running.size()], now);
    }
    // Counts as they stand.
    std::map<Lane, size_t> lane_running;
    std::map<std::pair<Lane, std::string>, size_t> client_running;
    std::map<std::pair<Lane, std::string>, int> first_waiting;
    size_t all = 0;
    for (int id = 0; id < static_cast<int>(p.pages.size()); ++id) {
      const auto& page = p.pages[id];
      if (page.state == Pages::Page::kRunning) {
        ++all;
        ++lane_running[page.lane];
        ++client_running[{page.lane, page.client}];
      }
      if (page.state == Pages::Page::kWaiting)
        first_waiting.try_emplace({page.lane, page.client}, id);
      if (page.state == Pages::Page::kRefused && page.since + limits.max_wait >= now) {
        FAIL() << "refused before its time " << step;
      }
    }
    ASSERT_LE(all, limits.workers) << step;
    ASSERT_LE(lane_running[Lane::kVisitor], limits.workers - limits.owner_workers) << step;
    ASSERT_LE(lane_running[Lane::kSignIn], limits.sign_in_workers) << step;
    for (const auto& [key, n] : client_running) {
      if (key.first != Lane::kOwner) {
        ASSERT_LE(n, limits.per_client) << step;
      }
    }
    // Which pages started in this step: each the first waiting of its address, in turn.
    for (size_t i = before; i < p.started.size(); ++i) {
      const auto& page = p.pages[p.started[i]];
      for (int id = 0; id < p.started[i]; ++id) {
        const auto& earlier = p.pages[id];
        ASSERT_FALSE(earlier.state == Pages::Page::kWaiting && earlier.lane == page.lane &&
                     earlier.client == page.client &&
                     (page.lane == Lane::kOwner || earlier.since + limits.max_wait >= now))
            << "an address's pages out of order " << step;
      }
      if (page.lane == Lane::kOwner) continue;
      since_ready.erase({page.lane, page.client});
      for (auto& [key, others] : since_ready) {
        // An address whose waiting page was refused in this step waits no more.
        if (key.first == page.lane && key.second != page.client && first_waiting.contains(key)) {
          ASSERT_LE(++others[page.client], 1)
              << "an address waited behind two of another's pages " << step << " " << key.second
              << " behind " << page.client << " lane " << static_cast<int>(page.lane);
        }
      }
    }
    for (const auto& [key, id] : first_waiting) {
      const bool ready = key.first == Lane::kOwner || client_running[key] < limits.per_client;
      if (!ready) {
        since_ready.erase(key);
        continue;
      }
      since_ready.try_emplace(key);
      // Room for it, and nothing of a lane served first waits: it should have started.
      const bool lane_room =
          key.first == Lane::kOwner ||
          (key.first == Lane::kSignIn
               ? lane_running[Lane::kSignIn] < limits.sign_in_workers
               : lane_running[Lane::kVisitor] < limits.workers - limits.owner_workers);
      ASSERT_FALSE(all < limits.workers && lane_room) << "a page waits with room for it " << step;
    }
    for (auto it = since_ready.begin(); it != since_ready.end();) {
      it = first_waiting.contains(it->first) ? std::next(it) : since_ready.erase(it);
    }
    refused = static_cast<int>(std::count_if(p.pages.begin(), p.pages.end(), [](const auto& page) {
      return page.state == Pages::Page::kRefused;
    }));
  }
  // Both ends were met: pages waited long enough to be refused, and most ran.
  EXPECT_GT(refused, 0);
  EXPECT_GT(p.started.size(), p.pages.size() / 2);
}

}  // namespace
}  // namespace folirex
