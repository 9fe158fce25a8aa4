#include "platform/host/application.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/host_fixture.h"
#include "platform/host/http_host.h"

namespace folirex {
namespace {

int64_t Number(const Variant& v) {
  const auto* n = std::get_if<int64_t>(&v.raw());
  return n == nullptr ? -1 : *n;
}

TEST(ApplicationValues, KeysIgnoreCase) {
  Application app;
  EXPECT_TRUE(app.Get("server_path").IsEmpty());
  app.Set("Server_Path", "/cms/");
  EXPECT_EQ(std::get<std::string>(app.Get("SERVER_PATH").raw()), "/cms/");
  app.Set("server_path", "/");
  EXPECT_EQ(std::get<std::string>(app.Get("Server_Path").raw()), "/");
}

TEST(ApplicationShared, OneObjectPerNameMadeOnceForEveryThread) {
  struct Table {
    std::atomic<int> uses{0};
  };
  Application app;
  std::vector<Table*> seen(8);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&app, &seen, i] {
      Table& t = app.Shared<Table>("throttle");
      ++t.uses;
      seen[i] = &t;
    });
  }
  for (std::thread& t : threads) t.join();
  for (Table* t : seen) EXPECT_EQ(t, seen[0]);
  EXPECT_EQ(seen[0]->uses.load(), 8);
  EXPECT_NE(&app.Shared<Table>("another"), seen[0]);
  EXPECT_THROW(app.Shared<std::string>("throttle"), std::logic_error);
  // The lock of the values does not hold the slots back.
  app.Lock();
  std::thread other([&app, &seen] { EXPECT_EQ(&app.Shared<Table>("throttle"), seen[0]); });
  other.join();
  app.UnLock();
}

TEST(ApplicationLock, SequencesUnderLockAreNotInterleaved) {
  Application app;
  app.Set("count", 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&app] {
      for (int i = 0; i < 200; ++i) {
        app.Lock();
        int64_t n = Number(app.Get("count"));
        std::this_thread::yield();
        app.Set("count", static_cast<long long>(n + 1));
        app.UnLock();
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(Number(app.Get("count")), 1600);
}

TEST(ApplicationLock, OtherThreadsWaitUntilUnlock) {
  Application app;
  app.Lock();
  app.Lock();  // locks nest
  EXPECT_TRUE(app.LockedByCaller());
  std::atomic<bool> set_done{false};
  std::atomic<bool> other_saw_lock{true};
  std::thread other([&] {
    other_saw_lock = app.LockedByCaller();
    app.UnLock();  // not the owner: does nothing
    app.Set("date_today", "2024-1-2");
    set_done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_FALSE(set_done);
  app.UnLock();
  EXPECT_TRUE(app.LockedByCaller());  // one level still held
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(set_done);
  app.UnLock();
  EXPECT_FALSE(app.LockedByCaller());
  other.join();
  EXPECT_TRUE(set_done);
  EXPECT_FALSE(other_saw_lock);
  app.UnLock();  // an extra UnLock is harmless
  app.Set("k", 1);
  EXPECT_EQ(Number(app.Get("k")), 1);
}

TEST(ApplicationLock, HostReleasesALockAPageForgot) {
  testing::TempFolder site;
  HostOptions options;
  options.site_root = site.path();
  options.threads = 2;
  testing::RunningHost host(options, [](EntryKind, PageObjects& p) {
    if (p.request.QueryString("m") == "forget") {
      p.application.Lock();
      p.application.Set("date_today", "locked");
      p.response.Write("locked");
      p.response.End();  // ends the page while holding the lock
    }
    p.application.Set("date_today", "free");
    p.response.Write("free");
  });
  auto client = host.Client();
  ASSERT_EQ(client->Get("/asp.asp?m=forget")->body, "locked");
  // Another worker can take the Application again.
  for (int i = 0; i < 4; ++i) {
    auto other = host.Client();
    auto res = other->Get("/asp.asp");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body, "free");
  }
  EXPECT_EQ(std::get<std::string>(host.host().application().Get("date_today").raw()), "free");
}

}  // namespace
}  // namespace folirex
